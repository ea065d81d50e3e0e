// Builds small Standard MIDI Files for tests.
#pragma once

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

// Every message a playback sends, as "callback: bytes", on the virtual clock, up to
// callback `maxCallbacks`.
inline std::vector<std::string> Timeline(CSmfPlayer& player, RecordingDevices& devices,
                                         std::uint64_t maxCallbacks = UINT64_MAX) {
    std::vector<std::string> lines;
    VirtualClock clock(player);
    clock.Start();
    std::size_t seen = devices.Events().size();
    auto collect = [&] {
        const std::vector<std::string> events = devices.Events();
        for (; seen < events.size(); ++seen) {
            if (events[seen].starts_with("send ")) {
                lines.push_back(std::to_string(clock.Callback() - 1) + ": " +
                                events[seen].substr(5));
            }
        }
    };
    while (player.IsAnyTrackActive() != 0 && clock.Callback() < maxCallbacks &&
           clock.TickNextBusy()) {
        collect();
    }
    return lines;
}

}  // namespace tez::test
