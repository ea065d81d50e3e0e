// Turns a MIDI file, read through the playback's own loader and timeline, into score records
// that play the same, and counts everything a score cannot hold.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "playback/smf_player.h"
#include "playback/smf_timeline.h"

namespace tez {

// Where the records' ticks come from.
enum class ImportTiming {
    kExact,  // each event at the score tick nearest its time under the whole tempo map
    kBeats,  // a quarter note of the file becomes 120 ticks; the tempo map is dropped
};

// One score line, with the score's defaults; packed, as a large file has millions.
struct ImportedRecord {
    std::int32_t interval = 0;
    std::int32_t length = 0;
    std::int16_t key = -1;
    std::int16_t marker = 0;  // up to 1999
    std::uint8_t velocity = 0;
    std::uint8_t channel = 1;
};

// What the score could not hold, or held another way.
enum class LossKind : std::uint8_t {
    kCutShort,
    kNoTiming,
    kSmpte,
    kTempo,
    kProgram,
    kBank,
    kController,  // detail: the controller number
    kPitchBend,
    kKeyPressure,
    kChannelPressure,
    kSystemExclusive,
    kText,
    kLyric,
    kMarkerText,
    kOtherMeta,  // detail: the meta event's type
    kNoteOffVelocity,
    kPedalValue,
    kOverlapOrder,
    kStrayNoteOff,
    kUnendedNote,
    kAfterEnd,
};

// Where in the file something was met first.
struct LossPlace {
    std::int32_t track = -1;    // 0-based; -1: the file as a whole
    std::int32_t channel = -1;  // -1: not a channel message
    std::uint64_t tick = 0;     // of the file
};

struct ImportLoss {
    LossKind kind = LossKind::kText;
    std::int32_t detail = -1;
    std::uint64_t count = 0;
    LossPlace first;
    // True when the music is kept all the same, in another form (tempo changes in exact
    // time); such a line is a note, not a warning.
    bool keptOtherwise = false;
};

// One stretch of the tempo map under --beats: from `tick` of the file it plays
// `tempo` / 480,000 times as fast as the file did.
struct TempoStretch {
    std::uint64_t tick = 0;
    std::int32_t tempo = 0;
};

struct MidiImport {
    LoadResult load = LoadResult::kOk;
    int openError = 0;  // errno when the file cannot be opened
    std::vector<ImportedRecord> records;
    std::vector<ImportLoss> losses;              // by kind, then detail
    std::vector<std::string> trackNames;         // empty where a track has none
    std::vector<TempoStretch> stretches;         // --beats: those whose speed changed
    ImportTiming timing = ImportTiming::kExact;  // as done: SMPTE files take exact time
};

// Imports the file a player has loaded (the load decides: a file that plays, imports). The
// events ahead of the "start" marker of a file this program wrote are its opening, not music.
MidiImport ImportLoaded(CSmfPlayer& player, ImportTiming timing);
// Loads `path` as a playback does and imports it. A file that does not load leaves `load`
// saying why and no records.
MidiImport ImportMidiFile(const std::string& path, ImportTiming timing);
// The same for a file in memory.
MidiImport ImportMidiBytes(std::span<const std::uint8_t> file, ImportTiming timing);

// Whether the file gave a score: it loaded, perhaps cut short or without timing.
bool ImportedScore(const MidiImport& import);
// Why a file gave no score: the system's reason it cannot be read, or what it lacks.
std::string DescribeUnreadable(const MidiImport& import);

// "412 pitch bends not kept": the report's words for one kind, without its place.
std::string DescribeLoss(const ImportLoss& loss, const MidiImport& import);
// The report's line for one kind, but the file's name that starts it: "track 2 (Piano),
// channel 1: warning: 412 pitch bends not kept, the first at tick 480".
std::string DescribeLossAt(const ImportLoss& loss, const MidiImport& import);
// A word for each kind, for machine-read reports: "pitch-bend".
const char* LossKindName(LossKind kind);
// True when anything was not kept.
bool LostAnything(const MidiImport& import);

}  // namespace tez
