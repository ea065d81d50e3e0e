#include "score_layout.h"

#include <algorithm>
#include <array>
#include <charconv>

#include "huge_pages.h"

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
    std::size_t lineWidth = 2;  // the line feed, and a blank line before it
    for (const std::size_t w : width) {
        lineWidth += w + 1;
    }
    std::string text(records.size() * lineWidth, '\0');
    AdviseHugePages(text.data(), text.size());
    char* out = text.data();
    std::int64_t onset = 0;
    std::int64_t bar = 0;
    for (const NoteRecord& record : records) {
        onset += record.interval;
        if (onset / kLayoutBarTicks != bar && out != text.data()) {
            *out++ = '\n';
        }
        bar = onset / kLayoutBarTicks;
        const auto fields = FieldsOf(record);
        char* lineEnd = out;  // after the last field written: nothing trails it
        for (std::size_t f = 0; f < kFields; ++f) {
            if (width[f] == 0) {
                continue;
            }
            if (fields[f] != kDefaults[f]) {
                std::fill(lineEnd, out, ' ');
                *out = kLetters[f];
                lineEnd = std::to_chars(out + 1, out + width[f], fields[f]).ptr;
            }
            out += width[f] + 1;
        }
        out = lineEnd;
        *out++ = '\n';
    }
    text.resize(static_cast<std::size_t>(out - text.data()));
    return text;
}

}  // namespace tez
