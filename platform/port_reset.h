// What a MIDI port is sent so that no note keeps sounding on the instrument behind it.
#pragma once

#include "platform/midi_devices.h"

namespace tez {

// All Sound Off, All Notes Off, sustain off and Reset All Controllers on every channel.
void SendPortReset(MidiOutput& output);

}  // namespace tez
