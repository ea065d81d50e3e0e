// Turns a note table into a format-0 Standard MIDI File.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "diagnostics.h"
#include "note_table.h"

namespace tez {

inline constexpr const char* kScoreMidiFileName = "tez_p.smf";
inline constexpr std::int32_t kScoreDivision = 120;      // ticks per quarter note
inline constexpr std::int32_t kScoreTempo = 480000;      // microseconds per quarter note
inline constexpr std::uint32_t kMaxVarLen = 0x0FFFFFFF;  // largest four-byte quantity

// One slot of the table of notes still sounding.
struct SoundingNote {
    std::int32_t key = 0;
    std::int32_t remaining = 0;
    std::int32_t channel = 0;
    std::int32_t active = 0;
};

// Facts about a written file, for the summary a caller may print.
struct ScoreMidiSummary {
    std::int32_t records = 0;
    std::int32_t notes = 0;
    std::uint64_t lengthTicks = 0;  // from the start of the track to End of Track
};

enum class WriteStatus {
    kOk,
    kCreateFailed,  // the output (or its temporary) cannot be created
    kWriteFailed,   // writing, flushing or renaming failed; the old file is untouched
    kOutOfMemory,
};

// Appends `value` as a variable-length quantity (one to four bytes).
void WriteVarLen(std::vector<std::uint8_t>& out, std::uint32_t value);

// The score line of each event of a written file, in file order; -1 for the events no line
// gave (the opening events, End of Track).
using EventLines = std::vector<std::int32_t>;

// Builds the whole file in memory.
std::vector<std::uint8_t> BuildScoreMidiFile(const NoteTable& table, Diagnostics* diagnostics,
                                             ScoreMidiSummary* summary = nullptr,
                                             EventLines* eventLines = nullptr);

// Writes the file to `path` (by default "tez_p.smf" in the current directory), replacing any
// earlier file atomically: a reader sees the old file or the new one, whole.
WriteStatus WriteScoreMidiFile(const NoteTable& table, const std::string& path = kScoreMidiFileName,
                               Diagnostics* diagnostics = nullptr,
                               ScoreMidiSummary* summary = nullptr,
                               EventLines* eventLines = nullptr);

// The tick of the written file at which a score line's music starts: the onset of the first
// record on that line or after it. Nothing when no record comes at or after `line`.
std::optional<std::uint64_t> LineOnsetTick(const NoteTable& table, std::int32_t line);
// The tick of the onset of the first record with this marker number (M).
std::optional<std::uint64_t> MarkerOnsetTick(const NoteTable& table, std::int32_t marker);

}  // namespace tez
