#include "platform/live_synthesizer.h"

#include <fluidsynth.h>

#include <cstdlib>
#include <filesystem>

#include <cstring>
#include "platform/fluid_synth_output.h"
#include "platform/quiet_libraries.h"

namespace tez {
namespace {

constexpr double kSampleRate = 48000.0;
// Tried in this order unless TEZ_AUDIO_DRIVER names one.
constexpr const char* kAudioDrivers[] = {"pulseaudio", "pipewire", "alsa", "jack"};

fluid_audio_driver_t* StartAudio(FluidSynthEngine& engine, const char* driverName) {
    QuietSystemLibraries();
    // FluidSynth's JACK driver would start a server of its own; only an existing one is used.
    if (std::strcmp(driverName, "jack") == 0 && !JackServerRuns()) {
        return nullptr;
    }
    // Four periods of 256 frames, about 21 ms at 48 kHz: sound starts promptly after Play,
    // and little is still queued when a playback ends.
    fluid_settings_setint(engine.Settings(), "audio.period-size", 256);
    fluid_settings_setint(engine.Settings(), "audio.periods", 4);
    if (fluid_settings_setstr(engine.Settings(), "audio.driver", driverName) != FLUID_OK) {
        return nullptr;
    }
    return new_fluid_audio_driver(engine.Settings(), engine.Synth());
}

}  // namespace

LiveSynthesizer::~LiveSynthesizer() {
    if (driver_ != nullptr) {
        delete_fluid_audio_driver(driver_);
    }
}

std::string LiveSynthesizer::Name() const {
    const std::string soundFont = FindSoundFont();
    if (soundFont.empty()) {
        return "FluidSynth";
    }
    return "FluidSynth (" + std::filesystem::path(soundFont).stem().string() + ")";
}

bool LiveSynthesizer::Prepare() {
    std::lock_guard lock(mutex_);
    return StartLocked();
}

std::unique_ptr<MidiOutput> LiveSynthesizer::Open() {
    std::lock_guard lock(mutex_);
    if (!StartLocked()) {
        return nullptr;
    }
    return std::make_unique<FluidSynthOutput>(*engine_);
}

bool LiveSynthesizer::StartLocked() {
    if (tried_) {
        return driver_ != nullptr;
    }
    tried_ = true;
    engine_ = FluidSynthEngine::Create(FindSoundFont(), kSampleRate);
    if (engine_ == nullptr) {
        return false;
    }
    if (const char* wanted = std::getenv("TEZ_AUDIO_DRIVER"); wanted != nullptr && *wanted != 0) {
        driver_ = StartAudio(*engine_, wanted);
    } else {
        for (const char* name : kAudioDrivers) {
            driver_ = StartAudio(*engine_, name);
            if (driver_ != nullptr) {
                break;
            }
        }
    }
    if (driver_ == nullptr) {
        engine_.reset();
    }
    return driver_ != nullptr;
}

}  // namespace tez
