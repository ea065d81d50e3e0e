// What the language server knows of one version of a score: converted in memory, as `tez play`
// converts it, and described line by line for the editor.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "score/diagnostics.h"
#include "score/note_table.h"
#include "score/smf_writer.h"

namespace tez::cli {

struct ScoreVersion {
    std::int64_t documentVersion = 0;
    std::shared_ptr<const std::string> text;
    NoteTable table;
    Diagnostics warnings;  // every repair, in the order of the score
    std::string error;     // why nothing can be played ("no notes (no tezdata.)"); empty: it can
    std::vector<std::uint8_t> file;  // the MIDI file, when it can be played
    EventLines eventLines;
};

// Reads and converts the text; never throws (running out of memory becomes the error).
std::shared_ptr<const ScoreVersion> ConvertScore(std::shared_ptr<const std::string> text,
                                                 std::int64_t documentVersion);

// Where the written file's music stands at a tick: 120 ticks a quarter at 125 quarters a
// minute (4 ms a tick), bars of 4/4 counted from the "start" marker one beat in.
struct MusicalTime {
    std::uint64_t milliseconds = 0;
    std::int64_t bar = 1;  // before the start marker: 0
    std::int64_t beat = 1;
    std::int64_t tick = 0;
};
MusicalTime TimeAtTick(std::uint64_t tick);
// "1:02.345".
std::string ClockText(std::uint64_t milliseconds);
// "C4" for key 60, "F#3" for 54.
std::string KeyName(std::int32_t key);
// "quarter", "dotted eighth", "eighth triplet"; empty where no note value fits.
std::string NoteValueName(std::int32_t ticks);

// The records read from score line `line` (1-based): the first index and how many.
struct LineRecords {
    std::int32_t first = 0;
    std::int32_t count = 0;
};
LineRecords RecordsOfLine(const NoteTable& table, std::int32_t line);

// The hover of a line in Markdown; empty when the line holds no record.
std::string DescribeLine(const ScoreVersion& version, std::int32_t line);

struct MarkerPlace {
    std::int32_t line = 0;  // 1-based
    std::int32_t marker = 0;
    std::uint64_t tick = 0;
};
std::vector<MarkerPlace> Markers(const NoteTable& table);

// The score in the aligned layout: on each line that holds one record its fields in the order
// I V K L W M, those at their defaults left out, each column as wide as its widest value.
// Lines without a record (or with several) are kept as they are. Nothing when the text is
// already in that layout.
std::optional<std::string> FormatScore(std::string_view text, const NoteTable& table);

}  // namespace tez::cli
