// JACK MIDI through libjack: the ports that take MIDI, and an output that writes each
// message at the frame its due time maps to, one period after it was due.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/midi_devices.h"

namespace tez {

// The full names ("client:port") of the JACK ports that take MIDI, in the server's order;
// empty while no JACK server runs. Never starts a server.
std::vector<std::string> JackMidiInputPorts();

// A client of ours with one MIDI output port connected to `portName`; nullptr when the
// server or the port is not there.
std::unique_ptr<MidiOutput> OpenJackMidiOutput(const std::string& portName);

}  // namespace tez
