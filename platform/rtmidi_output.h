// One open RtMidi output port.
#pragma once

#include <memory>

#include "platform/midi_devices.h"

class RtMidiOut;

namespace tez {

class RtMidiOutput final : public MidiOutput {
  public:
    explicit RtMidiOutput(std::unique_ptr<RtMidiOut> port);
    ~RtMidiOutput() override;

    bool Send(std::span<const std::uint8_t> message) override;
    // All Sound Off, All Notes Off, sustain off and Reset All Controllers on every channel.
    void Reset() override;

  private:
    std::unique_ptr<RtMidiOut> port_;
};

}  // namespace tez
