// The built-in synthesizer as an output device: messages go to a FluidSynth engine.
#pragma once

#include "platform/fluid_synth_engine.h"
#include "platform/midi_devices.h"

namespace tez {

class FluidSynthOutput final : public MidiOutput {
  public:
    // The engine must outlive the output.
    explicit FluidSynthOutput(FluidSynthEngine& engine) : engine_(engine) {}

    bool Send(std::span<const std::uint8_t> message) override { return engine_.Send(message); }
    // The synthesizer's own full reset: every voice off, every channel as at start.
    void Reset() override { engine_.Reset(); }

  private:
    FluidSynthEngine& engine_;
};

}  // namespace tez
