// `tez dump FILE [range options] [--lines]`: what the player would send, and in which
// callback, without waiting.
#include <cstdio>
#include <memory>
#include <string>

#include "commands.h"
#include "count_text.h"
#include "json_text.h"
#include "playback/smf_player.h"
#include "playback/virtual_clock.h"
#include "playback_source.h"
#include "range_options.h"

namespace tez::cli {
namespace {

// Prints every message as it is handed to the device, with the callback it belongs to.
class PrintingOutput final : public MidiOutput {
  public:
    PrintingOutput(const VirtualClock* const& clock, const CSmfPlayer* source, bool score)
        : clock_(clock), source_(source), score_(score) {}

    bool Send(std::span<const std::uint8_t> message) override {
        std::printf("%llu", static_cast<unsigned long long>(clock_->Callback()));
        for (std::uint8_t byte : message) {
            std::printf(" %02X", byte);
        }
        PrintSource();
        std::printf("\n");
        return true;
    }
    void Reset() override {}

  private:
    // With --lines: the score line the message comes from; for a MIDI file its track and tick.
    void PrintSource() const {
        if (source_ == nullptr) {
            return;
        }
        const EventSource from = source_->SendingSource();
        if (score_ && from.line >= 0) {
            std::printf(" # line %d", from.line);
        } else if (!score_ && from.track >= 0) {
            std::printf(" # track %d tick %llu", from.track + 1,
                        static_cast<unsigned long long>(from.tick));
        }
    }

    const VirtualClock* const& clock_;
    const CSmfPlayer* source_;
    bool score_;
};

class PrintingDevices final : public MidiDevices {
  public:
    int Count() override { return 0; }
    std::string Name(int) override { return "dump"; }
    std::unique_ptr<MidiOutput> Open(int) override {
        return std::make_unique<PrintingOutput>(clock, source, score);
    }

    const VirtualClock* clock = nullptr;
    const CSmfPlayer* source = nullptr;  // set: print where each message comes from
    bool score = false;
};

struct DumpOptions {
    std::string path;
    RangeArgs range;
    bool lines = false;
};

void Dump(const DumpOptions& options) {
    const std::string& path = options.path;
    PrintingDevices devices;
    CSmfPlayer player(devices);
    NoteTable score;
    LoadWithRange(player, path, options.range, LoopCount::kRequired, score);
    devices.source = options.lines ? &player : nullptr;
    devices.score = IsScorePath(path);
    std::printf("# %s: format %d, %s, division %d\n", PrintableName(path).c_str(), player.m_format,
                Counted(static_cast<std::uint64_t>(player.m_trackCount), "track").c_str(),
                player.m_division);
    VirtualClock clock(player);
    devices.clock = &clock;
    clock.Start();
    const std::optional<std::uint64_t> end = clock.RunToEnd();
    if (!end) {
        std::fflush(stdout);
        throw CLI::RuntimeError("tez: the clock can never reach the next event", 1);
    }
    std::printf("# end %llu\n", static_cast<unsigned long long>(*end));
}

}  // namespace

void AddDumpCommand(CLI::App& app) {
    auto options = std::make_shared<DumpOptions>();
    CLI::App* command =
        app.add_subcommand("dump", "Show what a playback sends, and when, without playing");
    command->add_option("file", options->path, "Score (.tez) or Standard MIDI File")->required();
    AddRangeOptions(*command, options->range);
    command->add_flag("--lines", options->lines,
                      "End each message with its score line (MIDI file: its track and tick)");
    command->footer(
        "Exit status: 0 listed to the end, 1 the file cannot be loaded or never "
        "ends, 2 the command line is wrong (a position that is not there).");
    command->callback([options] { Dump(*options); });
}

}  // namespace tez::cli
