// Builds small Standard MIDI Files for tests.
#pragma once

#include <gtest/gtest.h>
#include <cstdint>

#include <sstream>
#include <string>
#include <vector>

#include "playback/smf_player.h"
#include "playback/virtual_clock.h"
#include "recording_devices.h"

namespace tez::test {

inline void PutBigEndian(Bytes& out, std::uint32_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) {
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
}

// "90 3C 64" as bytes.
inline Bytes FromHex(const std::string& hex) {
    Bytes bytes;
    std::istringstream in(hex);
    for (unsigned value = 0; in >> std::hex >> value;) {
        bytes.push_back(static_cast<std::uint8_t>(value));
    }
    return bytes;
}

inline Bytes Chunk(const char* id, const Bytes& data) {
    Bytes out(id, id + 4);
    PutBigEndian(out, static_cast<std::uint32_t>(data.size()), 4);
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

inline Bytes Smf(std::uint16_t division, const std::vector<Bytes>& tracks,
                 std::uint16_t format = 1) {
    Bytes header;
    PutBigEndian(header, format, 2);
    PutBigEndian(header, static_cast<std::uint32_t>(tracks.size()), 2);
    PutBigEndian(header, division, 2);
    Bytes file = Chunk("MThd", header);
    for (const Bytes& track : tracks) {
        const Bytes chunk = Chunk("MTrk", track);
        file.insert(file.end(), chunk.begin(), chunk.end());
    }
    return file;
}

inline PlaybackOptions Options(std::uint64_t from, std::uint64_t to = kEndOfFile, int loops = 0,
                               double tempo = 1, int transpose = 0, std::uint16_t muted = 0,
                               std::uint16_t solo = 0, std::optional<std::uint64_t> resume = {}) {
    return {from, to, loops, tempo, transpose, muted, solo, resume, {}};
}

// A message a playback sends: in which callback, and from which event of the file.
struct Sent {
    std::uint64_t callback;
    EventSource source;  // track -1: the player's own message
    Bytes bytes;
};

// A device that keeps each message its player sends, with the callback and the event.
class SourceRecorder final : public MidiDevices {
    struct Output final : MidiOutput {
        explicit Output(SourceRecorder& to) : to(to) {}
        bool Send(std::span<const std::uint8_t> m) override {
            to.sent.push_back(
                {to.clock->Callback(), to.player.SendingSource(), {m.begin(), m.end()}});
            return true;
        }
        void Reset() override {}
        SourceRecorder& to;
    };

  public:
    int Count() override { return 1; }
    std::string Name(int) override { return "recorder"; }
    std::unique_ptr<MidiOutput> Open(int) override { return std::make_unique<Output>(*this); }

    CSmfPlayer player{*this};
    const VirtualClock* clock = nullptr;
    std::vector<Sent> sent;
};

// Every message the device's player sends in a playback to its end, on the virtual clock.
inline std::vector<Sent> Play(SourceRecorder& device) {
    device.sent.clear();
    VirtualClock clock(device.player);
    device.clock = &clock;
    clock.Start();
    EXPECT_TRUE(clock.RunToEnd()) << "the playback ends";
    return device.sent;
}

inline std::vector<Sent> Play(const Bytes& file, const PlaybackOptions& options = {}) {
    SourceRecorder device;
    EXPECT_EQ(device.player.LoadBytes(file), 1);
    device.player.SetOptions(options);
    return Play(device);
}

// The same as "callback: bytes".
inline std::vector<std::string> Timeline(const std::vector<Sent>& sent) {
    std::vector<std::string> lines;
    for (const Sent& s : sent) {
        lines.push_back(std::to_string(s.callback) + ": " + Hex(s.bytes));
    }
    return lines;
}

}  // namespace tez::test
