#include <algorithm>
#include <cstdio>
#include <new>

#include <CLI/CLI.hpp>

#include "commands.h"
#include "json_text.h"
#include "option_values.h"
#include "range_options.h"

namespace {
constexpr int kUsageError = 2;

// The first argument when it is neither an option nor one of the commands.
const char* UnknownCommand(CLI::App& app, int argc, char** argv) {
    if (argc < 2 || argv[1][0] == '-') {
        return nullptr;
    }
    for (const CLI::App* command : app.get_subcommands({})) {
        if (command->check_name(argv[1])) {
            return nullptr;
        }
    }
    return argv[1];
}
}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"tez: converts letter-and-number scores to Standard MIDI Files and plays them"};
    app.name(argv[0]);  // as it was called, for the usage lines
    app.set_version_flag("--version", std::string("tezplayer ") + TEZ_VERSION_STRING);
    app.require_subcommand(1);
    app.footer(
        "Exit status: 2 for a mistake on the command line; each command's --help gives "
        "the rest.");
    tez::cli::AddConvertCommand(app);
    tez::cli::AddCheckCommand(app);
    tez::cli::AddPlayCommand(app);
    tez::cli::AddDumpCommand(app);
    tez::cli::AddImportCommand(app);
    tez::cli::AddDevicesCommand(app);
    tez::cli::AddRenderCommand(app);
    tez::cli::AddRollCommand(app);
    tez::cli::AddLspCommand(app);
    tez::cli::RefuseEmptyValues(app);
    if (argc < 2) {
        // No command: what there is to choose from, as for any other mistake on the command
        // line on standard error.
        std::fputs(app.help().c_str(), stderr);
        return kUsageError;
    }
    if (const char* command = UnknownCommand(app, argc, argv)) {
        std::fprintf(stderr, "tez: unknown command '%s'; try 'tez --help'\n",
                     tez::PrintableName(command).c_str());
        return kUsageError;
    }
    try {
        std::vector<std::string> arguments =
            tez::cli::PlaceLoopCounts(std::vector<std::string>(argv + 1, argv + argc));
        // CLI11 takes them last first.
        std::reverse(arguments.begin(), arguments.end());
        app.parse(arguments);
    } catch (const CLI::RuntimeError& failure) {
        // A command that failed: its short message (none when it reported already), then
        // the exit code it chose.
        if (*failure.what() != '\0')
            std::fprintf(stderr, "%s\n", failure.what());
        return failure.get_exit_code();
    } catch (const CLI::ParseError& error) {
        // --help and --version succeed; every mistake on the command line exits 2, as is usual
        // on Unix, rather than with CLI11's own numbers.
        return app.exit(error) == 0 ? 0 : kUsageError;
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "tez: out of memory\n");
        return 1;
    }
    return 0;
}
