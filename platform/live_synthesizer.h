// The built-in synthesizer sounding through the system's audio. The SoundFont is loaded
// and the audio driver started once, on the first open, and kept for later playbacks.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "platform/fluid_synth_engine.h"
#include "platform/midi_devices.h"
#include "platform/scheduled_synth.h"

struct _fluid_audio_driver_t;

namespace tez {

class LiveSynthesizer {
  public:
    LiveSynthesizer() = default;
    ~LiveSynthesizer();
    LiveSynthesizer(const LiveSynthesizer&) = delete;
    LiveSynthesizer& operator=(const LiveSynthesizer&) = delete;

    // The name shown in device lists, e.g. "FluidSynth (TimGM6mb)".
    std::string Name() const;
    // Starts the synthesizer if it is not running yet; nullptr when it cannot start.
    std::unique_ptr<MidiOutput> Open();
    // Loads the SoundFont and starts the audio now, so that a later Open is quick.
    bool Prepare();
    // Why the synthesizer did not start; empty while it runs or has not been tried.
    std::string Failure();

  private:
    bool StartLocked();

    std::mutex mutex_;
    bool tried_ = false;
    std::string failure_;
    std::unique_ptr<FluidSynthEngine> engine_;
    std::unique_ptr<ScheduledSynth> scheduled_;  // the audio side, fed by the open outputs
    _fluid_audio_driver_t* driver_ = nullptr;
};

}  // namespace tez
