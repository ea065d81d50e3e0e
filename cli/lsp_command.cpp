// `tez lsp`: the language server on standard input and output, for any editor.
#include <csignal>
#include <memory>
#include <optional>
#include <string>

#include "commands.h"
#include "device_choice.h"
#include "lsp_server.h"
#include "lsp_transport.h"

namespace tez::cli {
namespace {

void Serve(const std::string& deviceText) {
    const int device = ChosenDevice("--device", deviceText, SystemMidiDevices());
    // A client that goes away mid-answer must not kill the server before it silences the
    // device: a failed write is seen, and the end of input ends the loop.
    std::signal(SIGPIPE, SIG_IGN);
    StdioTransport transport;
    int status = 0;
    {
        LanguageServer server([&](std::string_view content) { transport.Send(content); },
                              SystemMidiDevices(), device);
        std::string content;
        bool malformed = false;
        while (!server.ExitRequested() && transport.Receive(content, malformed)) {
            server.Handle(malformed ? std::nullopt : std::optional<std::string_view>(content));
        }
        status = server.ExitStatus();
    }  // the server stops the playback here: every note ends, the device is reset
    if (status != 0) {
        throw CLI::RuntimeError("", status);
    }
}

}  // namespace

void AddLspCommand(CLI::App& app) {
    auto device = std::make_shared<std::string>("-1");
    CLI::App* command = app.add_subcommand(
        "lsp", "Serve the Language Server Protocol on standard input and output, for editors");
    command
        ->add_option("-d,--device", *device,
                     "The device to play on until the client's settings name one: its id or "
                     "(a part of) its name, as `tez devices` lists them (default -1, the "
                     "built-in synthesizer)")
        ->type_name("ID|NAME");
    command->footer(
        "Exit status: 0 after the client's shutdown and exit, 1 when it left without shutdown, 2 "
        "the command line is wrong (a device that is not there).");
    command->callback([device] { Serve(*device); });
}

}  // namespace tez::cli
