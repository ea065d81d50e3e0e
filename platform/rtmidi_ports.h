// The system's MIDI output ports through RtMidi: ALSA sequencer ports, then JACK MIDI
// ports while a JACK server runs.
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
        int api;             // RtMidi::Api
        unsigned int index;  // the port's number within its API
        std::string name;
    };

    void AddPortsOf(RtMidiOut& lister, int api);

    std::unique_ptr<RtMidiOut> alsa_;  // null when there is no sequencer
    std::unique_ptr<RtMidiOut> jack_;  // null while no JACK server runs
    std::vector<Port> ports_;
};

}  // namespace tez
