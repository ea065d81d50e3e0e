// A device named by the user, on the command line or in an editor's settings: by its id, or
// by its name or a part of it.
#pragma once

#include <CLI/CLI.hpp>

#include <optional>
#include <string>

#include "platform/midi_devices.h"

namespace tez::cli {

struct DeviceChoice {
    std::optional<int> id;  // the device chosen; none when `refusal` says why
    std::string refusal;    // "'midi' is part of more than one device's name: ..."
};

// `text` as a device: a decimal id (-1 the synthesizer, 0 the first port ...) is taken as it
// is; else the device whose name is `text` exactly, else the one whose name holds it in any
// case. An unknown or ambiguous name is refused with the devices it could mean (all of them
// for an unknown one), one "ID NAME" a line as `tez devices` lists them.
DeviceChoice ChooseDevice(const std::string& text, MidiDevices& devices);

// The device `text` chooses; else throws CLI::RuntimeError with exit status 2 and the refusal
// after the option's name ("--device: no device is named ...").
int ChosenDevice(const std::string& option, const std::string& text, MidiDevices& devices);

}  // namespace tez::cli
