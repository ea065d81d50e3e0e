// Text as a JSON string literal.
#pragma once

#include <string>
#include <string_view>

namespace tez::cli {

// Quotes and escapes `text`; bytes that are not UTF-8 become U+FFFD, so the result is
// always valid JSON whatever a file name holds.
std::string JsonString(std::string_view text);

}  // namespace tez::cli
