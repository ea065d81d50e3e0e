#include "note_table.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <new>

namespace tez {
namespace {

bool IsAsciiLetter(std::int32_t c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool IsAsciiDigit(std::int32_t c) {
    return c >= '0' && c <= '9';
}

std::int32_t* FieldFor(NoteRecord& record, std::int32_t letter) {
    switch (letter) {
        case 'I':
        case 'i':
            return &record.interval;
        case 'K':
        case 'k':
            return &record.key;
        case 'V':
        case 'v':
            return &record.velocity;
        case 'L':
        case 'l':
            return &record.length;
        case 'W':
        case 'w':
            return &record.channel;
        case 'M':
        case 'm':
            return &record.marker;
        default:
            return nullptr;
    }
}

// A run of digits being accumulated. Values past the signed 32-bit range saturate,
// so a long run of digits can never overflow.
struct PendingNumber {
    std::int64_t value = -1;  // -1: no digit yet
    std::int32_t firstDigit = 0;
    bool saturated = false;

    void Add(std::int32_t digit, std::int32_t position) {
        constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
        if (value < 0) {
            value = 0;
            firstDigit = position;
        }
        value = value * 10 + (digit - '0');
        if (value > kMax) {
            value = kMax;
            saturated = true;
        }
    }
};

char UpperCase(std::int32_t letter) {
    return static_cast<char>(letter >= 'a' ? letter - ('a' - 'A') : letter);
}

// Beyond these the writer repairs a value (a key of 128 is the sustain pedal).
bool MayNeedRepair(char letter, std::int64_t value) {
    switch (letter) {
        case 'I':
        case 'L':
            return value > 0x0FFFFFFF;
        case 'K':
            return value > 128;
        case 'V':
            return value > 127;
        case 'W':
            return value > 15;
        default:
            return false;
    }
}

void WarnSaturated(const std::int32_t* line, std::int32_t letterAt, std::int32_t end,
                   std::int32_t lineNumber, std::int32_t column, Diagnostics* diagnostics) {
    if (diagnostics == nullptr)
        return;
    std::string digits;
    for (std::int32_t i = letterAt + 1; i < end; ++i)
        digits.push_back(static_cast<char>(line[i]));
    diagnostics->push_back({lineNumber,
                            "number " + digits + " after " + static_cast<char>(line[letterAt]) +
                                " is larger than 2147483647; read as 2147483647",
                            column});
}

}  // namespace

void FreeNoteTable(NoteTable& table) {
    table.records = {};
    table.sourceLines = {};
    table.valueColumns = {};
    table.capacity = 0;
}

bool AllocateNoteTable(NoteTable& table) {
    FreeNoteTable(table);
    try {
        table.records.assign(kNoteTableStep, NoteRecord{});
        table.sourceLines.reserve(kNoteTableStep);
    } catch (const std::bad_alloc&) {
        FreeNoteTable(table);
        return false;
    }
    table.capacity = kNoteTableStep;
    table.count = 0;
    return true;
}

bool GrowNoteTable(NoteTable& table) {
    // The table grows by 1024 records at a time as far as anyone can see; the vector
    // underneath grows geometrically, so a score of n lines costs O(n) copying, not O(n^2).
    try {
        table.records.resize(static_cast<std::size_t>(table.capacity) + kNoteTableStep);
    } catch (const std::bad_alloc&) {
        return false;
    }
    table.capacity += kNoteTableStep;
    return true;
}

bool ParseScoreLine(NoteTable& table, const std::int32_t* line, std::int32_t last,
                    std::int32_t recordIndex, std::int32_t lineNumber, Diagnostics* diagnostics,
                    const std::int32_t* columns) {
    if (last < 0)
        return false;
    NoteRecord& record = table.records[static_cast<std::size_t>(recordIndex)];
    std::int32_t letterAt = -1;
    PendingNumber number;
    bool stored = false;
    for (std::int32_t i = 0; i <= last; ++i) {
        const std::int32_t c = line[i];
        if (IsAsciiLetter(c) || c == '\n') {
            if (letterAt >= 0 && number.value >= 0) {
                if (std::int32_t* field = FieldFor(record, line[letterAt])) {
                    *field = static_cast<std::int32_t>(number.value);
                    stored = true;
                    const std::int32_t column = columns != nullptr ? columns[number.firstDigit] : 0;
                    const char letter = UpperCase(line[letterAt]);
                    if (column > 0 && MayNeedRepair(letter, number.value))
                        table.valueColumns.push_back({recordIndex, column, letter});
                    if (number.saturated)
                        WarnSaturated(line, letterAt, i, lineNumber, column, diagnostics);
                }
            }
            number = {};
            letterAt = i;
        } else if (IsAsciiDigit(c)) {
            number.Add(c, i);
        }
    }
    return stored;
}

std::int32_t ColumnOfValue(const NoteTable& table, std::int32_t record, char letter) {
    const auto& columns = table.valueColumns;
    auto it = std::lower_bound(columns.begin(), columns.end(), record,
                               [](const ValueColumn& v, std::int32_t r) { return v.record < r; });
    std::int32_t found = 0;  // a field written twice on a line keeps its last value
    for (; it != columns.end() && it->record == record; ++it) {
        if (it->letter == letter)
            found = it->column;
    }
    return found;
}

}  // namespace tez
