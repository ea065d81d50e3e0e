// `tez dump FILE`: what the player would send, and in which callback, without waiting.
#include <cstdio>
#include <memory>
#include <string>

#include "commands.h"
#include "playback/smf_player.h"
#include "playback/virtual_clock.h"
#include "playback_source.h"

namespace tez::cli {
namespace {

// Prints every message as it is handed to the device, with the callback it belongs to.
class PrintingOutput final : public MidiOutput {
  public:
    explicit PrintingOutput(const VirtualClock* const& clock) : clock_(clock) {}

    bool Send(std::span<const std::uint8_t> message) override {
        std::printf("%llu", static_cast<unsigned long long>(clock_->Callback()));
        for (std::uint8_t byte : message) {
            std::printf(" %02X", byte);
        }
        std::printf("\n");
        return true;
    }
    void Reset() override {}

  private:
    const VirtualClock* const& clock_;
};

class PrintingDevices final : public MidiDevices {
  public:
    int Count() override { return 0; }
    std::string Name(int) override { return "dump"; }
    std::unique_ptr<MidiOutput> Open(int) override {
        return std::make_unique<PrintingOutput>(clock);
    }

    const VirtualClock* clock = nullptr;
};

void Dump(const std::string& path) {
    PrintingDevices devices;
    CSmfPlayer player(devices);
    LoadForPlayback(player, path, ScoreOutput::kInMemory);
    std::printf("# %s: format %d, %d tracks, division %d\n", path.c_str(), player.m_format,
                player.m_trackCount, player.m_division);
    VirtualClock clock(player);
    devices.clock = &clock;
    clock.Start();
    const std::optional<std::uint64_t> end = clock.RunToEnd();
    if (!end) {
        std::fflush(stdout);
        throw CLI::RuntimeError("the clock can never reach the next event", 1);
    }
    std::printf("# end %llu\n", static_cast<unsigned long long>(*end));
}

}  // namespace

void AddDumpCommand(CLI::App& app) {
    auto path = std::make_shared<std::string>();
    CLI::App* command =
        app.add_subcommand("dump", "Show what a playback sends, and when, without playing");
    command->add_option("file", *path, "Score (.tez) or Standard MIDI File")->required();
    command->footer(
        "Exit status: 0 listed to the end, 1 the file cannot be loaded or never "
        "ends.");
    command->callback([path] { Dump(*path); });
}

}  // namespace tez::cli
