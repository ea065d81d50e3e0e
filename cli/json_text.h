// Text from outside (file names, reasons) made safe to print: as a JSON string literal, or
// as plain text for a terminal.
#pragma once

#include <string>
#include <string_view>

namespace tez::cli {

// Quotes and escapes `text`; bytes that are not UTF-8 become U+FFFD, so the result is
// always valid JSON whatever a file name holds.
std::string JsonString(std::string_view text);

// `text` with its control characters written as escapes (\n, \t, \x1b), so that a file's
// name cannot move the cursor, clear the screen or forge a line of the report.
std::string PrintableName(std::string_view text);

}  // namespace tez::cli
