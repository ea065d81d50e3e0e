// Any bytes as a MIDI file: loading and playing them to the end on the virtual clock must
// neither read out of bounds nor hang.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "playback/smf_player.h"
#include "playback/virtual_clock.h"

namespace {

class DiscardingOutput final : public tez::MidiOutput {
  public:
    bool Send(std::span<const std::uint8_t> message) override {
        // Touch every byte so that the sanitizers see each one read.
        std::uint8_t sum = 0;
        for (std::uint8_t b : message) {
            sum = static_cast<std::uint8_t>(sum + b);
        }
        return sum != 0 || !message.empty();
    }
    void Reset() override {}
};

class DiscardingDevices final : public tez::MidiDevices {
  public:
    int Count() override { return 0; }
    std::string Name(int) override { return {}; }
    std::unique_ptr<tez::MidiOutput> Open(int) override {
        return std::make_unique<DiscardingOutput>();
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    DiscardingDevices devices;
    tez::CSmfPlayer player(devices);
    player.LoadBytes(std::span(data, size));
    tez::VirtualClock clock(player);
    clock.Start();
    // Each busy callback consumes at least one byte, so this ends; the bound keeps it quick.
    for (std::size_t i = 0; i < size + 16 && clock.TickNextBusy(); ++i) {
    }
    return 0;
}
