#include "platform/live_synthesizer.h"

#include <fluidsynth.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/quiet_libraries.h"
#include "platform/scheduled_synth.h"

namespace tez {
namespace {

constexpr int kSampleRate = 48000;
// Periods of 512 frames asked for, about 11 ms at 48 kHz: sound starts promptly after Play, and
// little is still queued when a playback ends. The server may impose others; the music is
// counted in the frames rendered, whatever the periods' size. PulseAudio keeps only one period
// buffered for the stream; with 256 frames a loaded machine lets it run dry now and then, and every
// time the server puts silence into the sound and everything after it comes that much later.
constexpr int kPeriodFrames = 512;
constexpr int kPeriods = 4;
// Tried in this order unless TEZ_AUDIO_DRIVER names one.
constexpr const char* kAudioDrivers[] = {"pulseaudio", "pipewire", "alsa", "jack"};

int RenderAudio(void* synth, int frames, int nfx, float* fx[], int nout, float* out[]) {
    static_cast<ScheduledSynth*>(synth)->Render(frames, nfx, fx, nout, out);
    return FLUID_OK;
}

fluid_audio_driver_t* StartAudio(FluidSynthEngine& engine, ScheduledSynth& synth,
                                 const char* driverName) {
    QuietSystemLibraries();
    // FluidSynth's JACK driver would start a server of its own; only an existing one is used.
    if (std::strcmp(driverName, "jack") == 0 && !JackServerRuns()) {
        return nullptr;
    }
    fluid_settings_setint(engine.Settings(), "audio.period-size", kPeriodFrames);
    fluid_settings_setint(engine.Settings(), "audio.periods", kPeriods);
    if (fluid_settings_setstr(engine.Settings(), "audio.driver", driverName) != FLUID_OK) {
        return nullptr;
    }
    // Our own processing callback: it runs the playback's millisecond callbacks as it renders.
    return new_fluid_audio_driver2(engine.Settings(), RenderAudio, &synth);
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
    return std::make_unique<ScheduledSynthOutput>(*scheduled_);
}

std::string LiveSynthesizer::Failure() {
    std::lock_guard lock(mutex_);
    return failure_;
}

bool LiveSynthesizer::StartLocked() {
    if (tried_) {
        return driver_ != nullptr;
    }
    tried_ = true;
    const std::string soundFont = FindSoundFont();
    engine_ = FluidSynthEngine::Create(soundFont, kSampleRate);
    if (engine_ == nullptr) {
        failure_ = soundFont.empty() ? "no SoundFont found; set TEZ_SOUNDFONT"
                                     : "cannot load the SoundFont " + soundFont;
        return false;
    }
    scheduled_ = std::make_unique<ScheduledSynth>(*engine_, kSampleRate);
    std::string tried;
    if (const char* wanted = std::getenv("TEZ_AUDIO_DRIVER"); wanted != nullptr && *wanted != 0) {
        driver_ = StartAudio(*engine_, *scheduled_, wanted);
        tried = wanted;
    } else {
        for (const char* name : kAudioDrivers) {
            driver_ = StartAudio(*engine_, *scheduled_, name);
            tried += (tried.empty() ? "" : ", ") + std::string(name);
            if (driver_ != nullptr) {
                break;
            }
        }
    }
    if (driver_ == nullptr) {
        failure_ = "no audio server reachable (tried " + tried + ")";
        scheduled_.reset();
        engine_.reset();
    }
    return driver_ != nullptr;
}

}  // namespace tez
