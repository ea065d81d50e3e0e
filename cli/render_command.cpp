// `tez render FILE -o OUT.wav [--soundfont SF2] [range options]`: the playback through the built-in
// synthesizer into a WAV file, as fast as the machine allows.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "commands.h"
#include "platform/fluid_synth_engine.h"
#include "platform/fluid_synth_output.h"
#include "playback/smf_player.h"
#include "playback/virtual_clock.h"
#include "playback_source.h"
#include "range_options.h"
#include "wav_writer.h"

namespace tez::cli {
namespace {

constexpr int kSampleRate = 48000;
constexpr int kChannels = 2;
constexpr int kFramesPerCallback = kSampleRate / 1000;
constexpr int kCallbacksPerWrite = 1000;
// After the last event the sound rings on; it is rendered until it has died away, and for
// this long at most.
constexpr int kMaxTailCallbacks = 30'000;
constexpr int kSilentLevel = 2;  // of 32767: below the last bit of most playback

struct RenderOptions {
    std::string file;
    std::string output;
    std::string soundFont;
    RangeArgs range;
};

class OfflineSynthesizer final : public MidiDevices {
  public:
    explicit OfflineSynthesizer(FluidSynthEngine& engine) : engine_(engine) {}
    int Count() override { return 0; }
    std::string Name(int id) override { return id == -1 ? "FluidSynth (offline)" : ""; }
    std::unique_ptr<MidiOutput> Open(int id) override {
        return id == -1 ? std::make_unique<FluidSynthOutput>(engine_) : nullptr;
    }

  private:
    FluidSynthEngine& engine_;
};

bool IsSilent(std::span<const std::int16_t> samples) {
    for (std::int16_t sample : samples) {
        if (sample > kSilentLevel || sample < -kSilentLevel) {
            return false;
        }
    }
    return true;
}

class Renderer {
  public:
    Renderer(FluidSynthEngine& engine, WavWriter& wav)
        : engine_(engine), wav_(wav), block_(kFramesPerCallback * kChannels * kCallbacksPerWrite) {}

    // Renders the audio of one callback.
    void RenderCallback() {
        engine_.RenderInterleaved(&block_[filled_], kFramesPerCallback);
        lastQuiet_ = IsSilent(std::span(block_).subspan(filled_, kFramesPerCallback * kChannels));
        filled_ += kFramesPerCallback * kChannels;
        if (filled_ == block_.size()) {
            Flush();
        }
    }

    void RenderTail() {
        for (int i = 0; i < kMaxTailCallbacks; ++i) {
            if (engine_.ActiveVoices() == 0 && lastQuiet_) {
                break;
            }
            RenderCallback();
        }
    }

    void Flush() {
        if (!wav_.Append(std::span(block_).first(filled_))) {
            throw CLI::RuntimeError("cannot write the wav file", 1);
        }
        filled_ = 0;
    }

  private:
    FluidSynthEngine& engine_;
    WavWriter& wav_;
    std::vector<std::int16_t> block_;
    std::size_t filled_ = 0;
    bool lastQuiet_ = true;
};

void Render(const RenderOptions& options) {
    const std::string soundFont = options.soundFont.empty() ? FindSoundFont() : options.soundFont;
    if (soundFont.empty()) {
        throw CLI::RuntimeError("no soundfont found; name one with --soundfont", 1);
    }
    auto engine = FluidSynthEngine::Create(soundFont, kSampleRate);
    if (engine == nullptr) {
        throw CLI::RuntimeError("cannot load soundfont " + soundFont, 1);
    }
    OfflineSynthesizer synthesizer(*engine);
    CSmfPlayer player(synthesizer);
    NoteTable score;
    LoadWithRange(player, options.file, ScoreOutput::kInMemory, options.range, LoopCount::kRequired,
                  score);

    WavWriter wav(kSampleRate, kChannels);
    if (!wav.Open(options.output)) {
        throw CLI::RuntimeError("cannot write " + options.output, 1);
    }
    Renderer renderer(*engine, wav);
    VirtualClock clock(player);
    clock.Start();
    while (player.IsAnyTrackActive() != 0) {
        const std::optional<std::uint64_t> idle = player.CallbacksUntilDue();
        if (!idle) {
            throw CLI::RuntimeError("the clock can never reach the next event", 1);
        }
        for (std::uint64_t i = 0; i <= *idle; ++i) {
            clock.Tick();
            renderer.RenderCallback();
        }
    }
    renderer.RenderTail();
    renderer.Flush();
    if (!wav.Finish()) {
        throw CLI::RuntimeError("cannot write " + options.output, 1);
    }
}

}  // namespace

void AddRenderCommand(CLI::App& app) {
    auto options = std::make_shared<RenderOptions>();
    CLI::App* command =
        app.add_subcommand("render", "Render a score or a MIDI file to a WAV file (48 kHz)");
    command->add_option("file", options->file, "Score (.tez) or Standard MIDI File")->required();
    command->add_option("-o,--output", options->output, "WAV file to write")->required();
    command->add_option("--soundfont", options->soundFont,
                        "SoundFont (default: $TEZ_SOUNDFONT or the system's General MIDI one)");
    AddRangeOptions(*command, options->range);
    command->callback([options] { Render(*options); });
}

}  // namespace tez::cli
