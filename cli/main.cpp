#include <CLI/CLI.hpp>

#include "commands.h"

int main(int argc, char** argv) {
    CLI::App app{"tez: converts letter-and-number scores to Standard MIDI Files and plays them"};
    app.set_version_flag("--version", std::string("tezplayer ") + TEZ_VERSION_STRING);
    app.require_subcommand(1);
    tez::cli::AddConvertCommand(app);
    CLI11_PARSE(app, argc, argv);
    return 0;
}
