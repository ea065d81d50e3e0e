// `tez devices [--format text|json]`: every MIDI output device, one line each: its id, then
// its name; or a JSON array of {"id", "name"}.
#include <nlohmann/json.hpp>

#include <cstdio>
#include <memory>
#include <string>

#include "commands.h"
#include "platform/midi_devices.h"

namespace tez::cli {
namespace {

void ListDevices(const std::string& format) {
    MidiDevices& devices = SystemMidiDevices();
    const int count = devices.Count();
    if (format == "json") {
        nlohmann::json list = nlohmann::json::array();
        for (int id = -1; id < count; ++id) {
            list.push_back({{"id", id}, {"name", devices.Name(id)}});
        }
        // A name that is not UTF-8 still gives valid JSON.
        std::printf("%s\n",
                    list.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
        return;
    }
    for (int id = -1; id < count; ++id) {
        std::printf("%d %s\n", id, devices.Name(id).c_str());
    }
}

}  // namespace

void AddDevicesCommand(CLI::App& app) {
    auto format = std::make_shared<std::string>("text");
    CLI::App* command = app.add_subcommand("devices", "List the MIDI output devices");
    command
        ->add_option("--format", *format,
                     "text: one device a line, its id then its name; json: an array of "
                     "{\"id\": ID, \"name\": NAME}")
        ->check(CLI::IsMember({"text", "json"}).description(""))
        ->type_name("text|json");
    command->footer("Exit status: 0, 2 the command line is wrong.");
    command->callback([format] { ListDevices(*format); });
}

}  // namespace tez::cli
