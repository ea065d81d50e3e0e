// Writes note records as score text a musician can read and edit.
#pragma once

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>

#include "note_table.h"

namespace tez {

// Ticks of a bar of four quarters: a blank line stands before the first record of each bar.
inline constexpr std::int64_t kLayoutBarTicks = 480;

namespace layout {

constexpr std::size_t kFields = 6;
constexpr std::array<char, kFields> kLetters = {'I', 'K', 'V', 'L', 'W', 'M'};
constexpr std::array<std::int32_t, kFields> kDefaults = {0, -1, 0, 0, 1, 0};

template <typename Record>
std::array<std::int32_t, kFields> FieldsOf(const Record& r) {
    return {r.interval, r.key, r.velocity, r.length, r.channel, r.marker};
}

// Characters of the value's decimal form, its sign included.
inline std::size_t Digits(std::int32_t value) {
    char text[16];
    return static_cast<std::size_t>(std::to_chars(text, text + sizeof text, value).ptr - text);
}

// "00" to "99": the two last digits of a number at once.
inline constexpr auto kDigitPairs = [] {
    std::array<char, 200> pairs{};
    for (std::size_t i = 0; i < 100; ++i) {
        pairs[2 * i] = static_cast<char>('0' + i / 10);
        pairs[2 * i + 1] = static_cast<char>('0' + i % 10);
    }
    return pairs;
}();

// Writes `value` at `out` and answers the end: a short path for the small numbers most
// fields hold.
inline char* WriteNumber(char* out, char* limit, std::int32_t value) {
    if (value < 0 || value >= 1000) {
        return std::to_chars(out, limit, value).ptr;
    }
    if (value < 10) {
        *out = static_cast<char>('0' + value);
        return out + 1;
    }
    if (value >= 100) {
        *out++ = static_cast<char>('0' + value / 100);
        value %= 100;
    }
    std::memcpy(out, &kDigitPairs[static_cast<std::size_t>(value) * 2], 2);
    return out + 2;
}

}  // namespace layout

// One line a record, the fields in the order I K V L W M, each only where it differs from its
// default, in columns as wide as their widest value; a blank line (no record) at each bar.
// The same records always give the same bytes, and reading them gives the records back
// (a record must differ from the defaults somewhere, or its line would read as no record).
// `Record` is any record with the fields of a NoteRecord. The text goes to `sink(data, size)`
// in pieces, so that a large score is written out without being held whole.
template <typename Record, typename Sink>
void LayoutRecords(std::span<const Record> records, Sink&& sink) {
    using namespace layout;
    // The widest value of a column is its largest or its smallest.
    std::array<std::int32_t, kFields> low = kDefaults;
    std::array<std::int32_t, kFields> high = kDefaults;
    for (const Record& record : records) {
        const auto fields = FieldsOf(record);
        for (std::size_t f = 0; f < kFields; ++f) {
            low[f] = std::min(low[f], fields[f]);
            high[f] = std::max(high[f], fields[f]);
        }
    }
    std::array<std::size_t, kFields> width{};  // 0: the column is not used
    for (std::size_t f = 0; f < kFields; ++f) {
        if (low[f] != kDefaults[f] || high[f] != kDefaults[f]) {
            width[f] = 1 + std::max(low[f] != kDefaults[f] ? Digits(low[f]) : 0,
                                    high[f] != kDefaults[f] ? Digits(high[f]) : 0);
        }
    }
    // Each write costs the file system about the same whatever its size (the file's times,
    // its locks): a megabyte a piece makes that small next to the copying.
    constexpr std::size_t kPiece = 1 << 20;
    // Every field at its widest: a letter, 11 characters of a number and a space.
    constexpr std::size_t kLongestLine = kFields * 13;
    constexpr auto kSpaces = [] {
        std::array<char, kLongestLine> spaces{};
        spaces.fill(' ');
        return spaces;
    }();
    // A small score takes no more than it needs.
    const std::size_t pieceSize = std::min(kPiece, records.size() * (1 + kLongestLine));
    std::string piece(pieceSize + 1 + kLongestLine, '\0');  // a blank line, then a line
    char* const start = piece.data();
    char* out = start;
    std::int64_t onset = 0;
    std::int64_t nextBar = kLayoutBarTicks;
    for (const Record& record : records) {
        onset += record.interval;
        if (onset >= nextBar) {
            nextBar = (onset / kLayoutBarTicks + 1) * kLayoutBarTicks;
            if (&record != records.data()) {
                *out++ = '\n';
            }
        }
        // The line starts as spaces, each field written over them at its column: a copy of
        // a fixed size is a few stores, where filling each gap would be a call per field.
        std::memcpy(out, kSpaces.data(), kSpaces.size());
        const auto fields = FieldsOf(record);
        char* column = out;
        char* lineEnd = out;  // after the last field written: nothing trails it
        for (std::size_t f = 0; f < kFields; ++f) {
            if (fields[f] != kDefaults[f]) {
                *column = kLetters[f];
                lineEnd = WriteNumber(column + 1, column + width[f], fields[f]);
            }
            column += width[f] + (width[f] != 0);
        }
        out = lineEnd;
        *out++ = '\n';
        if (static_cast<std::size_t>(out - start) >= pieceSize) {
            sink(start, static_cast<std::size_t>(out - start));
            out = start;
        }
    }
    if (out != start) {
        sink(start, static_cast<std::size_t>(out - start));
    }
}

// The same, as one text.
template <typename Record>
std::string LayoutRecords(std::span<const Record> records) {
    std::string text;
    LayoutRecords(records,
                  [&text](const char* data, std::size_t size) { text.append(data, size); });
    return text;
}

inline std::string LayoutScore(std::span<const NoteRecord> records) {
    return LayoutRecords(records);
}

}  // namespace tez
