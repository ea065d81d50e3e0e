#include "score_layout.h"

#include <array>
#include <charconv>

namespace tez {
namespace {

constexpr std::size_t kFields = 6;
constexpr std::array<char, kFields> kLetters = {'I', 'K', 'V', 'L', 'W', 'M'};

std::array<std::int32_t, kFields> FieldsOf(const NoteRecord& r) {
    return {r.interval, r.key, r.velocity, r.length, r.channel, r.marker};
}

constexpr std::array<std::int32_t, kFields> kDefaults = {0, -1, 0, 0, 1, 0};

// Characters of the value's decimal form, its sign included.
std::size_t Digits(std::int32_t value) {
    char text[16];
    return static_cast<std::size_t>(std::to_chars(text, text + sizeof text, value).ptr - text);
}

}  // namespace

std::string LayoutScore(std::span<const NoteRecord> records) {
    std::array<std::size_t, kFields> width{};  // 0: the column is not used
    for (const NoteRecord& record : records) {
        const auto fields = FieldsOf(record);
        for (std::size_t f = 0; f < kFields; ++f) {
            if (fields[f] != kDefaults[f]) {
                width[f] = std::max(width[f], 1 + Digits(fields[f]));
            }
        }
    }
    std::string text;
    text.reserve(records.size() * 20);
    std::int64_t onset = 0;
    std::int64_t bar = 0;
    for (const NoteRecord& record : records) {
        onset += record.interval;
        if (onset / kLayoutBarTicks != bar && !text.empty()) {
            text += '\n';
        }
        bar = onset / kLayoutBarTicks;
        const auto fields = FieldsOf(record);
        std::size_t pending = 0;  // blanks owed to the columns left empty so far
        for (std::size_t f = 0; f < kFields; ++f) {
            if (width[f] == 0) {
                continue;
            }
            if (fields[f] == kDefaults[f]) {
                pending += width[f] + 1;
                continue;
            }
            text.append(pending, ' ');
            const std::size_t start = text.size();
            text += kLetters[f];
            char digits[16];
            const auto end = std::to_chars(digits, digits + sizeof digits, fields[f]).ptr;
            text.append(digits, end);
            pending = width[f] - (text.size() - start) + 1;
        }
        text += '\n';
    }
    return text;
}

}  // namespace tez
