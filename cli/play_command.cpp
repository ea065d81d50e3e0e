// `tez play FILE [--device ID|NAME] [--trace OUT] [range options]`: plays in real time until the
// end or a stop signal (Ctrl+C, SIGTERM, SIGHUP, SIGQUIT); the device is reset on the way out.
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "commands.h"
#include "device_choice.h"
#include "json_text.h"
#include "platform/monotonic_time.h"
#include "playback/smf_player.h"
#include "playback/virtual_clock.h"
#include "playback_source.h"
#include "range_options.h"
#include "score/atomic_file.h"
#include "score_input.h"
#include "score_watch.h"
#include "stop_signals.h"
#include "terminal_width.h"
#include "trace_recorder.h"

namespace tez::cli {
namespace {

constexpr auto kPoll = std::chrono::milliseconds(10);
constexpr auto kProgressEvery = std::chrono::milliseconds(100);
// Sound already handed to the audio system when the synthesizer is stopped.
constexpr auto kSynthesizerDrain = std::chrono::milliseconds(300);
constexpr std::size_t kTraceMessages = 4'000'000;
constexpr std::size_t kTraceBytes = 64'000'000;

struct PlayOptions {
    std::string file;
    std::string device = "-1";
    std::string trace;
    RangeArgs range;
    bool watch = false;
};

std::string Clock(std::uint64_t ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%llu:%02llu.%llu",
                  static_cast<unsigned long long>(ms / 60000),
                  static_cast<unsigned long long>(ms / 1000 % 60),
                  static_cast<unsigned long long>(ms / 100 % 10));
    return text;
}

// Waits until the playback ends or a stop signal comes; answers the signal, or 0. `poll` runs
// between the checks.
int AwaitEnd(CSmfPlayer& player, const sigset_t& signals, const std::string& total,
             const std::function<void()>& poll) {
    const bool showProgress = isatty(STDERR_FILENO) != 0;
    const auto start = std::chrono::steady_clock::now();
    auto nextProgress = start;
    int signal = 0;
    while (player.IsAnyTrackActive() != 0 && signal == 0 && !player.m_port.DeviceLost()) {
        const auto now = std::chrono::steady_clock::now();
        if (showProgress && now >= nextProgress) {
            const auto elapsed =
                std::chrono::duration_cast<std::chrono::milliseconds>(now - start).count();
            const std::string line =
                Clock(static_cast<std::uint64_t>(elapsed)) + " / " + total + " ";
            std::fprintf(stderr, "\r%s", FittedLine(line, TerminalColumns(STDERR_FILENO)).c_str());
            nextProgress += kProgressEvery;
        }
        signal = WaitForStopSignal(signals, kPoll);
        if (poll) {
            poll();
        }
    }
    if (showProgress) {
        std::fprintf(stderr, "\n");
    }
    return signal;
}

// Messages the device could never take are told once; a device gone away fails the command.
void ReportDeviceTrouble(const CMidiOutPort& port, int device) {
    if (const std::uint64_t dropped = port.DroppedMessages(); dropped > 0) {
        std::fprintf(stderr,
                     "tez: %llu %s that midi device %d could not take %s dropped (too large, or "
                     "too many at once)\n",
                     static_cast<unsigned long long>(dropped),
                     dropped == 1 ? "message" : "messages", device, dropped == 1 ? "was" : "were");
    }
    if (port.DeviceLost()) {
        throw CLI::RuntimeError("tez: midi device " + std::to_string(device) + " went away", 1);
    }
}

// The length shown beside the elapsed time: every pass of a counted loop, or one pass of an
// endless one.
std::string TotalTime(std::uint64_t onePassMs, std::int32_t loops) {
    if (loops < 0) {
        return Clock(onePassMs) + " a pass";
    }
    return Clock(onePassMs * (static_cast<std::uint64_t>(loops) + 1));
}

struct PlayStart {
    std::chrono::steady_clock::time_point called;
    std::chrono::steady_clock::duration took;
};

// The trace replaces an earlier one only once the playback is over, whole or not at all.
void WriteTrace(ReplacingFile& file, const std::string& path, const TraceRecorder& recorder,
                const TimingSummary& timing, const PlayStart& start) {
    std::FILE* out = ::fdopen(::dup(file.Descriptor()), "w");
    if (out == nullptr) {
        throw CLI::RuntimeError(FileError("cannot write", path, errno), 1);
    }
    recorder.Write(out, timing);
    std::fprintf(out, "# play started in %.3f ms\n# play called at %lld ns\n",
                 std::chrono::duration<double, std::milli>(start.took).count(),
                 static_cast<long long>(Nanoseconds(start.called)));
    const bool written = std::fflush(out) == 0 && std::ferror(out) == 0;
    const int reason = errno;
    std::fclose(out);
    if (!written || !file.Commit()) {
        throw CLI::RuntimeError(FileError("cannot write", path, written ? errno : reason), 1);
    }
}

// "tez: cannot open device 3 (name): why".
std::string DeviceError(MidiDevices& devices, int id) {
    const std::string name = devices.Name(id);
    std::string why = devices.OpenFailure(id);
    if (name.empty()) {
        why = "there is no such device; `tez devices` lists them";
    }
    return "tez: cannot open device " + std::to_string(id) +
           (name.empty() ? "" : " (" + PrintableName(name) + ")") + (why.empty() ? "" : ": " + why);
}

void Play(const PlayOptions& options) {
    const int device = ChosenDevice("--device", options.device, SystemMidiDevices());
    const sigset_t signals = BlockStopSignals();
    const bool tracing = !options.trace.empty();
    TraceRecorder recorder(SystemMidiDevices(), tracing ? kTraceMessages : 0,
                           tracing ? kTraceBytes : 0);
    // Loading a large SoundFont takes a while; done now, the music starts the moment Play runs.
    recorder.Prepare(device);
    CSmfPlayer player(recorder);
    recorder.Follow(player);
    NoteTable score;
    const PlaybackOptions range =
        LoadWithRange(player, options.file, options.range, LoopCount::kOptional, score);
    const std::string total = TotalTime(OnePassCallbacks(options.file, range), range.loops);

    player.m_deviceId = device;
    // Before Play: the follower gives the player somewhere to report its position.
    std::optional<ScoreFollower> follower;
    if (options.watch) {
        follower.emplace(player, options.file, options.range, std::move(score));
    }
    PlayStart start{std::chrono::steady_clock::now(), {}};
    player.Play();
    start.took = std::chrono::steady_clock::now() - start.called;
    if (!player.m_port.IsOpen()) {
        player.Stop();
        throw CLI::RuntimeError(DeviceError(recorder, device), 1);
    }
    // Opened once the score, the range and the device are checked: a refused command leaves
    // an earlier trace as it was, and a trace that cannot be written stops the command at once.
    std::optional<ReplacingFile> trace;
    if (tracing) {
        trace.emplace(options.trace);
        if (!trace->IsOpen()) {
            const int reason = errno;
            player.Stop();
            throw CLI::RuntimeError(FileError("cannot write", options.trace, reason), 1);
        }
    }
    const int signal = AwaitEnd(player, signals, total, [&] {
        if (follower) {
            follower->Poll();
        }
    });
    player.Stop();
    // What was sent before a device went away is traced too.
    if (trace) {
        WriteTrace(*trace, options.trace, recorder, player.LastRunTiming(), start);
    }
    ReportDeviceTrouble(player.m_port, device);
    if (device == -1) {
        std::this_thread::sleep_for(kSynthesizerDrain);
    }
    if (signal != 0) {
        throw CLI::RuntimeError("tez: stopped", StoppedExitStatus(signal));
    }
}

}  // namespace

void AddPlayCommand(CLI::App& app) {
    auto options = std::make_shared<PlayOptions>();
    CLI::App* command = app.add_subcommand("play", "Play a score or a MIDI file in real time");
    command->add_option("file", options->file, "Score (.tez) or Standard MIDI File")->required();
    command
        ->add_option("-d,--device", options->device,
                     "Output device: its id or (a part of) its name, as `tez devices` lists them; "
                     "-1, the default, is the built-in synthesizer")
        ->type_name("ID|NAME");
    command->add_option("--trace", options->trace,
                        "Write every message sent, with its callback and time, to this file");
    AddRangeOptions(*command, options->range);
    command->add_flag("--watch", options->watch,
                      "Convert the score again at each save and go on with the new version");
    command->footer(
        "Exit status: 0 played to the end, 1 the file cannot be loaded or the "
        "device or trace cannot be opened, 2 the command line is wrong (a position "
        "that is not there, a device name that fits no device or several), 128+N "
        "stopped by signal N (130 for Ctrl+C, 129 when the terminal closed).");
    command->callback([options] {
        if (options->watch && !IsScorePath(options->file)) {
            throw CLI::RuntimeError(
                "--watch follows a score (.tez); " + options->file + " is a MIDI file",
                kBadRangeExit);
        }
        Play(*options);
    });
}

}  // namespace tez::cli
