// `tez devices`: every MIDI output device, one line each: its id, then its name.
#include <cstdio>

#include "commands.h"
#include "platform/midi_devices.h"

namespace tez::cli {
namespace {

void ListDevices() {
    MidiDevices& devices = SystemMidiDevices();
    const int count = devices.Count();
    for (int id = -1; id < count; ++id) {
        std::printf("%d %s\n", id, devices.Name(id).c_str());
    }
}

}  // namespace

void AddDevicesCommand(CLI::App& app) {
    CLI::App* command = app.add_subcommand("devices", "List the MIDI output devices");
    command->footer("Exit status: 0.");
    command->callback(ListDevices);
}

}  // namespace tez::cli
