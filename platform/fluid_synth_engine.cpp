#include "platform/fluid_synth_engine.h"

#include <fluidsynth.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "platform/quiet_libraries.h"

namespace tez {
namespace {

constexpr const char* kSystemSoundFonts[] = {
    "/usr/share/sounds/sf2/default-GM.sf2",
    "/usr/share/sounds/sf3/default-GM.sf3",  // compressed samples, as MuseScore's fonts ship
    "/usr/share/sounds/sf2/FluidR3_GM.sf2",
    "/usr/share/sounds/sf2/TimGM6mb.sf2",
};

void IgnoreLogMessage(int, const char*, void*) {}

// FluidSynth reports to stderr by default; a library has no business printing.
void SilenceFluidSynthLog() {
    for (int level = FLUID_PANIC; level <= FLUID_DBG; ++level) {
        fluid_set_log_function(level, IgnoreLogMessage, nullptr);
    }
}

bool FileExists(const std::string& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

int DataByte(std::span<const std::uint8_t> message, std::size_t index) {
    return message[index] & 0x7F;
}

}  // namespace

std::string FindSoundFont() {
    if (const char* chosen = std::getenv("TEZ_SOUNDFONT"); chosen != nullptr && *chosen != 0) {
        return chosen;
    }
    for (const char* path : kSystemSoundFonts) {
        if (FileExists(path)) {
            return path;
        }
    }
    return {};
}

std::unique_ptr<FluidSynthEngine> FluidSynthEngine::Create(const std::string& soundFontPath,
                                                           double sampleRate, int cpuCores) {
    SilenceFluidSynthLog();
    QuietSystemLibraries();
    if (soundFontPath.empty() || !FileExists(soundFontPath)) {
        return nullptr;
    }
    std::unique_ptr<FluidSynthEngine> engine(new FluidSynthEngine);
    engine->settings_ = new_fluid_settings();
    if (engine->settings_ == nullptr) {
        return nullptr;
    }
    fluid_settings_setnum(engine->settings_, "synth.sample-rate", sampleRate);
    fluid_settings_setint(engine->settings_, "synth.cpu-cores", std::max(cpuCores, 1));
    engine->synth_ = new_fluid_synth(engine->settings_);
    if (engine->synth_ == nullptr ||
        fluid_synth_sfload(engine->synth_, soundFontPath.c_str(), 1) == FLUID_FAILED) {
        return nullptr;
    }
    return engine;
}

FluidSynthEngine::~FluidSynthEngine() {
    if (synth_ != nullptr) {
        delete_fluid_synth(synth_);
    }
    if (settings_ != nullptr) {
        delete_fluid_settings(settings_);
    }
}

bool FluidSynthEngine::Send(std::span<const std::uint8_t> message) {
    if (message.empty()) {
        return false;
    }
    const std::uint8_t status = message[0];
    if (status == 0xF0) {
        auto body = message.subspan(1);
        if (!body.empty() && body.back() == 0xF7) {
            body = body.first(body.size() - 1);
        }
        return fluid_synth_sysex(synth_, reinterpret_cast<const char*>(body.data()),
                                 static_cast<int>(body.size()), nullptr, nullptr, nullptr,
                                 0) == FLUID_OK;
    }
    if (status < 0x80 || status >= 0xF0) {
        return false;
    }
    const int channel = status & 0x0F;
    const std::size_t needed = (status & 0xE0) == 0xC0 ? 2 : 3;
    if (message.size() < needed) {
        return false;
    }
    int result = FLUID_FAILED;
    switch (status & 0xF0) {
        case 0x80:
            result = fluid_synth_noteoff(synth_, channel, DataByte(message, 1));
            break;
        case 0x90:
            result =
                fluid_synth_noteon(synth_, channel, DataByte(message, 1), DataByte(message, 2));
            break;
        case 0xA0:
            result = fluid_synth_key_pressure(synth_, channel, DataByte(message, 1),
                                              DataByte(message, 2));
            break;
        case 0xB0:
            result = fluid_synth_cc(synth_, channel, DataByte(message, 1), DataByte(message, 2));
            break;
        case 0xC0:
            result = fluid_synth_program_change(synth_, channel, DataByte(message, 1));
            break;
        case 0xD0:
            result = fluid_synth_channel_pressure(synth_, channel, DataByte(message, 1));
            break;
        case 0xE0:
            result = fluid_synth_pitch_bend(synth_, channel,
                                            DataByte(message, 1) | DataByte(message, 2) << 7);
            break;
    }
    return result == FLUID_OK;
}

void FluidSynthEngine::Reset() {
    fluid_synth_system_reset(synth_);
}

void FluidSynthEngine::RenderInterleaved(std::int16_t* samples, int frames) {
    fluid_synth_write_s16(synth_, frames, samples, 0, 2, samples, 1, 2);
}

int FluidSynthEngine::ActiveVoices() const {
    return fluid_synth_get_active_voice_count(synth_);
}

}  // namespace tez
