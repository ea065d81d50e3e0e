// What tezplayer answers on the command line without opening a window.
#pragma once

#include <optional>

namespace tez {

// Prints the help for --help or the version for --version to standard output and gives the
// exit status; nothing when the arguments ask for the window.
std::optional<int> AnswerWithoutWindow(int argc, char** argv);

}  // namespace tez
