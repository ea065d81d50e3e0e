// The system's MIDI output ports: ALSA sequencer ports through RtMidi, then JACK MIDI ports
// through libjack while a JACK server runs.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/midi_devices.h"

class RtMidiOut;

namespace tez {

class RtMidiPorts {
  public:
    RtMidiPorts();
    ~RtMidiPorts();
    RtMidiPorts(const RtMidiPorts&) = delete;
    RtMidiPorts& operator=(const RtMidiPorts&) = delete;

    // Looks the ports up again and answers how many there are.
    int Refresh();
    int Count() const { return static_cast<int>(ports_.size()); }
    std::string Name(int index) const;
    std::unique_ptr<MidiOutput> Open(int index);

  private:
    struct Port {
        int api;             // RtMidi::Api: LINUX_ALSA or UNIX_JACK
        unsigned int index;  // the port's number within its API
        std::string name;
    };

    void AddPortsOf(RtMidiOut& lister, int api);

    std::unique_ptr<RtMidiOut> alsa_;  // null when there is no sequencer
    std::vector<Port> ports_;
};

}  // namespace tez
