#include "command_line.h"

#include <cstdio>
#include <string_view>

namespace tez {

namespace {

constexpr const char* kHelp =
    "Usage: tezplayer [SCORE]\n"
    "Opens the tezplayer window; with SCORE, opens that score as File > Open does.\n"
    "\n"
    "  --help     print this help and exit\n"
    "  --version  print the version and exit\n";

}  // namespace

std::optional<int> AnswerWithoutWindow(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--") {
            break;
        }
        if (argument == "--help" || argument == "-h") {
            std::printf("%s", kHelp);
            return 0;
        }
        if (argument == "--version") {
            std::printf("tezplayer %s\n", TEZ_VERSION_STRING);
            return 0;
        }
    }
    return std::nullopt;
}

}  // namespace tez
