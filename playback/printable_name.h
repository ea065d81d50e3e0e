// Text from outside (file and track names) made safe to show in a report.
#pragma once

#include <string>
#include <string_view>

namespace tez {

// `text` with its control characters written as escapes (\n, \t, \x1b), so that a name
// cannot move a terminal's cursor, clear the screen or forge a line of a report.
std::string PrintableName(std::string_view text);

}  // namespace tez
