// The score text reader and the growable table of note records it fills.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "diagnostics.h"

namespace tez {

// One parsed score line.
struct NoteRecord {
    std::int32_t interval = 0;  // I: ticks from the previous record's onset
    std::int32_t key = -1;      // K: 0..127 note, 128 sustain pedal, negative neither
    std::int32_t velocity = 0;  // V
    std::int32_t length = 0;    // L: ticks from note-on to note-off
    std::int32_t channel = 1;   // W: the second MIDI channel unless the score says otherwise
    std::int32_t marker = 0;    // M: a marker whose text is the number's digits
    std::int32_t tempo = 0;     // beats per minute; no keyword sets it
};
static_assert(sizeof(NoteRecord) == 28);

constexpr std::int32_t kNoteTableStep = 1024;
// Letters and digits one line may carry; the line feed and a terminating 0 follow them.
constexpr std::int32_t kLineBufferSize = 1024;
constexpr std::int32_t kMaxLineLetters = kLineBufferSize - 2;

// Where on its line a value the writer may have to repair was written.
struct ValueColumn {
    std::int32_t record = 0;
    std::int32_t column = 0;  // 1-based byte column of the value's first digit
    char letter = 0;          // the field's upper-case letter
};

// The records of one score. `records` always holds `capacity` entries; the entry at
// `count` exists and holds the defaults while reading, so the parser can fill it in place.
struct NoteTable {
    std::vector<NoteRecord> records;
    std::int32_t capacity = 0;
    std::int32_t count = 0;
    std::int32_t lastIndex = -1;  // below 0: the table holds no note record
    // The score line each record came from, for warnings that name it.
    std::vector<std::int32_t> sourceLines;
    // Only values out of their MIDI range are kept here, in record order, so the common score
    // costs nothing.
    std::vector<ValueColumn> valueColumns;

    bool HasRecords() const { return lastIndex >= 0; }
};

enum class ReadStatus {
    kOk,
    kOpenFailed,   // the score file cannot be opened
    kOutOfMemory,  // the table could not be allocated or grown; nothing usable was read
};

// Releases the records and leaves the table without an array.
void FreeNoteTable(NoteTable& table);
// Gives the table 1024 default records, none of them filled yet. False when memory runs out (the
// table is then empty).
bool AllocateNoteTable(NoteTable& table);
// Adds 1024 default records, keeping the existing ones. False when memory runs out.
bool GrowNoteTable(NoteTable& table);

// Parses one assembled line: `line[0..last]` holds letters and digits, then a line feed,
// then 0. Stores into record `recordIndex`. True when a keyword field was stored.
// A number larger than a signed 32-bit value saturates and adds a diagnostic for `lineNumber`.
// `columns`, when given, holds the byte column each of `line`'s letters and digits came from.
bool ParseScoreLine(NoteTable& table, const std::int32_t* line, std::int32_t last,
                    std::int32_t recordIndex, std::int32_t lineNumber, Diagnostics* diagnostics,
                    const std::int32_t* columns = nullptr);

// The column of the value of field `letter` (upper case) in record `record`, 0 when unknown.
std::int32_t ColumnOfValue(const NoteTable& table, std::int32_t record, char letter);

// Replaces the table by the records of the score file at `path`.
// On kOpenFailed the table is fresh and empty, `lastIndex` keeps its previous value and
// errno says why.
ReadStatus ReadScore(NoteTable& table, const std::string& path, Diagnostics* diagnostics);
// The same for a score already in memory.
ReadStatus ReadScoreText(NoteTable& table, std::string_view text, Diagnostics* diagnostics);

}  // namespace tez
