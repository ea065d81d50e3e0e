// Any bytes as a MIDI file: loading and playing them to the end on the virtual clock must
// neither read out of bounds nor hang, as written and again with a range, loops, a tempo
// factor, a transposition and a channel choice taken from the input's last bytes, and then
// once more moved part way through to other options, the way a live change moves it.
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

// Any part, up to three passes, any shaping: read from the 12 bytes at `b`.
tez::PlaybackOptions OptionsFrom(const std::uint8_t* b) {
    tez::PlaybackOptions options;
    options.fromTick = static_cast<std::uint64_t>(b[0] << 8 | b[1]);
    options.toTick = (b[2] & 1) != 0
                         ? tez::kEndOfFile
                         : options.fromTick + static_cast<std::uint64_t>(b[3] << 8 | b[4]);
    options.loops = b[5] % 3;
    options.tempoFactor = 0.25 + 3.75 * b[6] / 255.0;
    options.transpose = b[7] % 49 - 24;
    options.mutedChannels = static_cast<std::uint16_t>(b[8] << 8 | b[9]);
    options.soloChannels = (b[2] & 2) != 0 ? static_cast<std::uint16_t>(b[10] << 8 | b[11]) : 0;
    return options;
}

// Each busy callback of a pass consumes at least one byte; the bound keeps it quick.
void PlayToTheEnd(tez::CSmfPlayer& player, std::size_t bound) {
    tez::VirtualClock clock(player);
    clock.Start();
    for (std::size_t i = 0; i < bound && clock.TickNextBusy(); ++i) {
    }
    player.Stop();
}

// Plays `busy` busy callbacks, then holds and goes on from where the music stands with
// `next`, as a live change of tempo, key or score does.
void PlayMovedOnce(tez::CSmfPlayer& player, std::size_t busy, tez::PlaybackOptions next,
                   std::size_t bound) {
    tez::VirtualClock clock(player);
    clock.Start();
    for (std::size_t i = 0; i < busy && clock.TickNextBusy(); ++i) {
    }
    const std::uint64_t resume = player.Hold();
    if (resume > next.fromTick && resume < next.toTick) {
        next.resumeTick = resume;
    }
    player.SetOptions(next);
    clock.Continue();
    for (std::size_t i = 0; i < bound && clock.TickNextBusy(); ++i) {
    }
    player.Stop();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TouchingDevices devices;
    tez::CSmfPlayer player(devices);
    player.LoadBytes(std::span(data, size));
    PlayToTheEnd(player, size + 16);
    if (size >= 12) {
        player.SetOptions(OptionsFrom(data + size - 12));
        PlayToTheEnd(player, 4 * size + 64);
    }
    if (size >= 24) {
        player.SetOptions(OptionsFrom(data + size - 12));
        PlayMovedOnce(player, data[size - 13] % 64, OptionsFrom(data + size - 24), 4 * size + 64);
    }
    return 0;
}
