// How wide the terminal is, so that a line redrawn in place never wraps onto a second one.
#pragma once

#include <string>

namespace tez::cli {

// The columns of the terminal on `fd`, else $COLUMNS, else 80.
int TerminalColumns(int fd);

// `line` cut to fit `columns` with the cursor after it: one column stays free, since a
// terminal wraps once the last column is written.
std::string FittedLine(const std::string& line, int columns);

}  // namespace tez::cli
