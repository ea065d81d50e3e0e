// An open document's text as the client holds it, and the protocol's positions in it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace tez::cli {

// What a position's character counts: UTF-16 code units (the protocol's default) or bytes.
enum class PositionEncoding { kUtf16, kUtf8 };

struct TextPosition {
    std::int64_t line = 0;       // 0-based
    std::int64_t character = 0;  // 0-based, in the session's encoding
};

// The text of line `line` (0-based) without its line feed; empty past the end.
std::string_view LineOf(std::string_view text, std::int64_t line);
// The byte offset of `position` in `text`, clamped to the text (a character past its line's
// end is the line's end, a line past the end is the text's end).
std::size_t OffsetOf(std::string_view text, TextPosition position, PositionEncoding encoding);
// Units of `encoding` in the first `bytes` bytes of `line`.
std::int64_t UnitsIn(std::string_view line, std::size_t bytes, PositionEncoding encoding);
// The number of lines a client sees: line feeds plus one.
std::int64_t LineCount(std::string_view text);

// Each version of the text is a value of its own, so a conversion in flight keeps the one it
// started with while editing goes on.
struct TextDocument {
    std::int64_t version = 0;
    std::shared_ptr<const std::string> text = std::make_shared<const std::string>();

    // textDocument/didChange with a range: the text between `start` and `end` replaced.
    void Replace(TextPosition start, TextPosition end, std::string_view with,
                 PositionEncoding encoding);
    // textDocument/didChange without a range.
    void ReplaceAll(std::string with) {
        text = std::make_shared<const std::string>(std::move(with));
    }
};

}  // namespace tez::cli
