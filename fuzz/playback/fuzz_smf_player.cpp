// Any bytes as a MIDI file: loading and playing them to the end on the virtual clock must
// neither read out of bounds nor hang.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "playback/smf_player.h"
#include "playback/virtual_clock.h"

namespace {

class TouchingOutput final : public tez::MidiOutput {
  public:
    // Every byte sent is read, so that the sanitizers see each one.
    bool Send(std::span<const std::uint8_t> message) override {
        return std::count(message.begin(), message.end(), 0) >= 0;
    }
    void Reset() override {}
};

class TouchingDevices final : public tez::MidiDevices {
  public:
    int Count() override { return 0; }
    std::string Name(int) override { return {}; }
    std::unique_ptr<tez::MidiOutput> Open(int) override {
        return std::make_unique<TouchingOutput>();
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TouchingDevices devices;
    tez::CSmfPlayer player(devices);
    player.LoadBytes(std::span(data, size));
    tez::VirtualClock clock(player);
    clock.Start();
    // Each busy callback consumes at least one byte, so this ends; the bound keeps it quick.
    for (std::size_t i = 0; i < size + 16 && clock.TickNextBusy(); ++i) {
    }
    return 0;
}
