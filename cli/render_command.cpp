// `tez render FILE -o OUT [--format F] [--rate HZ] [--soundfont SF2] [range options]`: the
// playback through the built-in synthesizer into an audio file, as fast as the machine allows.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "audio_file_writer.h"
#include "commands.h"
#include "json_text.h"
#include "option_values.h"
#include "platform/fluid_synth_engine.h"
#include "platform/fluid_synth_output.h"
#include "playback/smf_player.h"
#include "playback/virtual_clock.h"
#include "playback_source.h"
#include "range_options.h"
#include "render_progress.h"
#include "sample_hash.h"
#include "score/atomic_file.h"
#include "score_input.h"
#include "stop_signals.h"

namespace tez::cli {
namespace {

constexpr int kDefaultSampleRate = 48000;
constexpr int kMinSampleRate = 22050;
constexpr int kMaxSampleRate = 96000;
constexpr int kChannels = 2;
constexpr int kCallbacksPerWrite = 1000;
// After the last event the sound rings on; it is rendered until it has died away, and for
// this long at most.
constexpr int kMaxTailCallbacks = 30'000;
constexpr int kSilentLevel = 2;  // of 32767: below the last bit of most playback

struct RenderOptions {
    std::string file;
    std::string output;
    std::string format;  // empty: from the output's extension
    int sampleRate = kDefaultSampleRate;
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

// Renders callback by callback into blocks that are hashed and written together. A callback
// is a millisecond, so at 22050 Hz the callbacks take 22 or 23 frames in turn.
class Renderer {
  public:
    Renderer(FluidSynthEngine& engine, AudioFileWriter& out, std::string path, int sampleRate,
             RenderProgress& progress, const sigset_t& stopSignals)
        : engine_(engine),
          out_(out),
          path_(std::move(path)),
          sampleRate_(sampleRate),
          progress_(progress),
          stopSignals_(stopSignals),
          block_(static_cast<std::size_t>((sampleRate + 999) / 1000 * kChannels *
                                          kCallbacksPerWrite)) {}

    // Renders the audio of one callback.
    void RenderCallback() {
        const auto frames = static_cast<int>((callbacks_ + 1) * sampleRate_ / 1000 -
                                             callbacks_ * sampleRate_ / 1000);
        const std::size_t samples = static_cast<std::size_t>(frames) * kChannels;
        if (filled_ + samples > block_.size()) {
            Flush();
        }
        engine_.RenderInterleaved(&block_[filled_], frames);
        lastQuiet_ = IsSilent(std::span(block_).subspan(filled_, samples));
        filled_ += samples;
        ++callbacks_;
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
        const auto samples = std::span<const std::int16_t>(block_).first(filled_);
        hash_.Add(samples);
        if (!out_.Append(samples)) {
            throw CLI::RuntimeError(
                "tez: cannot write " + PrintableName(path_) + ": " + out_.Error(), 1);
        }
        filled_ = 0;
        progress_.Update(callbacks_);
        // A stop ends the render here; the unfinished output is removed on the way out.
        if (const int signal = WaitForStopSignal(stopSignals_, std::chrono::nanoseconds(0))) {
            progress_.Clear();
            throw CLI::RuntimeError("tez: stopped; " + PrintableName(path_) + " left as it was",
                                    StoppedExitStatus(signal));
        }
    }

    std::uint64_t Callbacks() const { return callbacks_; }
    std::string Hash() { return hash_.Hex(); }

  private:
    FluidSynthEngine& engine_;
    AudioFileWriter& out_;
    std::string path_;
    std::uint64_t sampleRate_;
    RenderProgress& progress_;
    const sigset_t& stopSignals_;
    std::vector<std::int16_t> block_;
    std::size_t filled_ = 0;
    std::uint64_t callbacks_ = 0;
    bool lastQuiet_ = true;
    SampleHash hash_;
};

AudioFormat ChooseFormat(const RenderOptions& options) {
    const std::optional<AudioFormat> format = options.format.empty()
                                                  ? AudioFormatForPath(options.output)
                                                  : AudioFormatNamed(options.format);
    if (!format) {
        throw CLI::RuntimeError("tez: cannot tell the audio format of " + options.output +
                                    " from its extension; name one with --format",
                                2);
    }
    return *format;
}

// The synthesizer with `soundFont`, or the reason it cannot have it.
std::unique_ptr<FluidSynthEngine> LoadSynthesizer(const std::string& soundFont, int sampleRate) {
    if (soundFont.empty()) {
        throw CLI::RuntimeError("tez: no soundfont found; name one with --soundfont", 1);
    }
    if (::access(soundFont.c_str(), R_OK) != 0) {
        throw CLI::RuntimeError(FileError("cannot open soundfont", soundFont, errno), 1);
    }
    // Every processor renders: the samples are the same as on one, only sooner.
    const int cores = static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 16u));
    auto engine = FluidSynthEngine::Create(soundFont, sampleRate, cores);
    if (engine == nullptr) {
        throw CLI::RuntimeError(
            "tez: cannot load soundfont " + PrintableName(soundFont) + ": not a SoundFont", 1);
    }
    return engine;
}

void Render(const RenderOptions& options) {
    // Before the synthesizer's threads start, so that they inherit the mask.
    const sigset_t stopSignals = BlockStopSignals();
    const std::string soundFont = options.soundFont.empty() ? FindSoundFont() : options.soundFont;
    const AudioFormat format = ChooseFormat(options);
    const std::unique_ptr<FluidSynthEngine> engine = LoadSynthesizer(soundFont, options.sampleRate);
    OfflineSynthesizer synthesizer(*engine);
    CSmfPlayer player(synthesizer);
    NoteTable score;
    const PlaybackOptions range =
        LoadWithRange(player, options.file, options.range, LoopCount::kRequired, score);

    std::string error;
    const std::unique_ptr<AudioFileWriter> out =
        AudioFileWriter::Open(options.output, format, options.sampleRate, kChannels, error);
    if (out == nullptr) {
        throw CLI::RuntimeError("tez: " + error, 1);
    }
    RenderProgress progress(options.file, range);
    Renderer renderer(*engine, *out, options.output, options.sampleRate, progress, stopSignals);
    VirtualClock clock(player);
    clock.Start();
    while (player.IsAnyTrackActive() != 0) {
        const std::optional<std::uint64_t> idle = player.CallbacksUntilDue();
        if (!idle) {
            throw CLI::RuntimeError("tez: the clock can never reach the next event", 1);
        }
        for (std::uint64_t i = 0; i <= *idle; ++i) {
            clock.Tick();
            renderer.RenderCallback();
        }
    }
    renderer.RenderTail();
    renderer.Flush();
    progress.Clear();
    if (!out->Finish()) {
        throw CLI::RuntimeError(
            "tez: cannot write " + PrintableName(options.output) + ": " + out->Error(), 1);
    }
    // The audio may be on standard output; the summary then goes to standard error.
    std::fprintf(options.output == kStandardOutputName ? stderr : stdout,
                 "%s: %.3f s, %d Hz, %s, sha256 of the samples %s\n",
                 PrintableName(options.output).c_str(),
                 static_cast<double>(renderer.Callbacks()) / 1000.0, options.sampleRate,
                 AudioFormatName(format), renderer.Hash().c_str());
}

}  // namespace

void AddRenderCommand(CLI::App& app) {
    auto options = std::make_shared<RenderOptions>();
    CLI::App* command = app.add_subcommand(
        "render", "Render a score or a MIDI file to an audio file (WAV, FLAC, Ogg Vorbis)");
    command->add_option("file", options->file, "Score (.tez) or Standard MIDI File")->required();
    command
        ->add_option("-o,--output", options->output,
                     "Audio file to write; its extension names the format; - is standard "
                     "output (FLAC unless --format says otherwise)")
        ->required();
    command
        ->add_option("--format", options->format,
                     "wav, flac, ogg (Vorbis), au or raw (16-bit little-endian)")
        ->check(CLI::IsMember({"wav", "flac", "ogg", "au", "raw"}).description(""))
        ->type_name("wav|flac|ogg|au|raw");
    command->add_option("--rate", options->sampleRate, "Sample rate in Hz (default 48000)")
        ->transform(WholeNumberIn(kMinSampleRate, kMaxSampleRate, "Hz"))
        ->type_name("22050-96000");
    command->add_option("--soundfont", options->soundFont,
                        "SoundFont (default: $TEZ_SOUNDFONT or the system's General MIDI one)");
    command->footer(
        "Prints the length, rate, format and the SHA-256 of the 16-bit samples.\n"
        "Exit status: 0 rendered, 1 the input, the SoundFont or the output failed (OUT is "
        "then left as it was), 2 the command line is wrong (an unknown format), 128+N "
        "stopped by signal N (OUT left as it was).");
    AddRangeOptions(*command, options->range);
    command->callback([options] { Render(*options); });
}

}  // namespace tez::cli
