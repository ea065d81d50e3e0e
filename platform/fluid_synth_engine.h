// A FluidSynth synthesizer with one General MIDI SoundFont, fed with MIDI bytes.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

struct _fluid_hashtable_t;
struct _fluid_synth_t;

namespace tez {

// The SoundFont to use: $TEZ_SOUNDFONT when set, else the first of the system's General
// MIDI SoundFonts that exists. Empty when there is none.
std::string FindSoundFont();

class FluidSynthEngine {
  public:
    // Loads the SoundFont into a new synthesizer. nullptr when either fails. `cpuCores`
    // above 1 renders the voices on that many threads (the same samples, sooner): for
    // rendering to a file, where nothing else waits for the processor.
    static std::unique_ptr<FluidSynthEngine> Create(const std::string& soundFontPath,
                                                    double sampleRate, int cpuCores = 1);
    ~FluidSynthEngine();
    FluidSynthEngine(const FluidSynthEngine&) = delete;
    FluidSynthEngine& operator=(const FluidSynthEngine&) = delete;

    // Plays one message: a channel message, or system exclusive from F0. Other bytes are
    // ignored. Safe to call while another thread renders.
    bool Send(std::span<const std::uint8_t> message);
    // Every voice off at once and every channel back to its initial state.
    void Reset();
    // Renders interleaved 16-bit stereo.
    void RenderInterleaved(std::int16_t* samples, int frames);
    int ActiveVoices() const;

    _fluid_hashtable_t* Settings() const { return settings_; }
    _fluid_synth_t* Synth() const { return synth_; }

  private:
    FluidSynthEngine() = default;

    _fluid_hashtable_t* settings_ = nullptr;
    _fluid_synth_t* synth_ = nullptr;
};

}  // namespace tez
