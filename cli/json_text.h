// Text from outside (file names, reasons) made safe to print: as a JSON string literal here,
// as plain text for a terminal by PrintableName.
#pragma once

#include <string>
#include <string_view>

#include "playback/printable_name.h"

namespace tez::cli {

// Quotes and escapes `text`; bytes that are not UTF-8 become U+FFFD, so the result is
// always valid JSON whatever a file name holds.
std::string JsonString(std::string_view text);

}  // namespace tez::cli
