#include "lsp_document.h"

#include <algorithm>
#include <cstring>

namespace tez::cli {
namespace {

// Bytes of the UTF-8 sequence a lead byte starts (a stray continuation byte counts alone).
std::size_t SequenceLength(unsigned char lead) {
    if (lead >= 0xF0) {
        return 4;
    }
    if (lead >= 0xE0) {
        return 3;
    }
    if (lead >= 0xC0) {
        return 2;
    }
    return 1;
}

// The offset at which line `line` starts; text.size() past the end.
std::size_t LineStart(std::string_view text, std::int64_t line) {
    std::size_t at = 0;
    for (std::int64_t i = 0; i < line; ++i) {
        const void* feed = std::memchr(text.data() + at, '\n', text.size() - at);
        if (feed == nullptr) {
            return text.size();
        }
        at = static_cast<std::size_t>(static_cast<const char*>(feed) - text.data()) + 1;
    }
    return at;
}

}  // namespace

std::string_view LineOf(std::string_view text, std::int64_t line) {
    const std::size_t start = LineStart(text, std::max<std::int64_t>(line, 0));
    const std::size_t end = text.find('\n', start);
    return text.substr(start, end == std::string_view::npos ? text.size() - start : end - start);
}

std::int64_t UnitsIn(std::string_view line, std::size_t bytes, PositionEncoding encoding) {
    bytes = std::min(bytes, line.size());
    if (encoding == PositionEncoding::kUtf8) {
        return static_cast<std::int64_t>(bytes);
    }
    std::int64_t units = 0;
    for (std::size_t i = 0; i < bytes;) {
        const std::size_t length = SequenceLength(static_cast<unsigned char>(line[i]));
        units += length == 4 ? 2 : 1;
        i += length;
    }
    return units;
}

std::size_t OffsetOf(std::string_view text, TextPosition position, PositionEncoding encoding) {
    const std::size_t start = LineStart(text, std::max<std::int64_t>(position.line, 0));
    const std::size_t feed = text.find('\n', start);
    const std::size_t end = feed == std::string_view::npos ? text.size() : feed;
    if (encoding == PositionEncoding::kUtf8) {
        return start + std::min<std::size_t>(
                           static_cast<std::size_t>(std::max<std::int64_t>(position.character, 0)),
                           end - start);
    }
    std::size_t at = start;
    for (std::int64_t units = 0; at < end && units < position.character;) {
        const std::size_t length = SequenceLength(static_cast<unsigned char>(text[at]));
        units += length == 4 ? 2 : 1;
        at = std::min(at + length, end);
    }
    return at;
}

std::int64_t LineCount(std::string_view text) {
    return static_cast<std::int64_t>(std::count(text.begin(), text.end(), '\n')) + 1;
}

void TextDocument::Replace(TextPosition start, TextPosition end, std::string_view with,
                           PositionEncoding encoding) {
    const std::string& old = *text;
    std::size_t from = OffsetOf(old, start, encoding);
    std::size_t to = OffsetOf(old, end, encoding);
    if (to < from) {
        std::swap(from, to);
    }
    auto next = std::make_shared<std::string>();
    next->reserve(old.size() - (to - from) + with.size());
    next->append(old, 0, from).append(with).append(old, to, std::string::npos);
    text = std::move(next);
}

}  // namespace tez::cli
