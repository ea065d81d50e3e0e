// An independent check that bytes form a well-formed format-0 file as the score writer
// produces them: chunk lengths agree, every delta-time is followed by a complete event,
// every note-on meets its own note-off, and the track ends with End of Track.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace tez::testing {

struct SmfCheck {
    std::string error;  // empty when the file is well formed
    int noteOns = 0;
    std::uint64_t ticks = 0;
};

inline SmfCheck CheckScoreMidiFile(std::span<const std::uint8_t> file) {
    SmfCheck result;
    auto fail = [&](std::string why) {
        result.error = std::move(why);
        return result;
    };
    auto be32 = [&](std::size_t at) {
        return std::uint32_t(file[at]) << 24 | std::uint32_t(file[at + 1]) << 16 |
               std::uint32_t(file[at + 2]) << 8 | file[at + 3];
    };
    if (file.size() < 22)
        return fail("shorter than the two chunk headers");
    const std::array<std::uint8_t, 14> header = {'M', 'T', 'h', 'd', 0, 0, 0,
                                                 6,   0,   0,   0,   1, 0, 120};
    for (std::size_t i = 0; i < header.size(); ++i) {
        if (file[i] != header[i])
            return fail("header differs at byte " + std::to_string(i));
    }
    if (file[14] != 'M' || file[15] != 'T' || file[16] != 'r' || file[17] != 'k') {
        return fail("no MTrk");
    }
    if (be32(18) != file.size() - 22)
        return fail("track length disagrees with file size");
    std::array<int, 16 * 128> sounding{};
    std::size_t pos = 22;
    const std::size_t end = file.size();
    auto need = [&](std::size_t n) { return end - pos >= n; };
    for (;;) {
        std::uint32_t delta = 0;
        int bytes = 0;
        do {
            if (!need(1) || ++bytes > 4)
                return fail("bad delta-time at " + std::to_string(pos));
            delta = delta << 7 | (file[pos] & 0x7F);
        } while (file[pos++] & 0x80);
        result.ticks += delta;
        if (!need(1))
            return fail("delta-time without an event at " + std::to_string(pos));
        const std::uint8_t status = file[pos++];
        const int kind = status & 0xF0;
        const int channel = status & 0x0F;
        if (kind == 0x80 || kind == 0x90 || kind == 0xB0) {
            if (!need(2) || file[pos] > 127 || file[pos + 1] > 127)
                return fail("bad channel event");
            const int key = file[pos];
            if (kind == 0x90) {
                ++sounding[channel * 128 + key];
                ++result.noteOns;
            } else if (kind == 0x80 && --sounding[channel * 128 + key] < 0) {
                return fail("note-off without note-on at " + std::to_string(pos));
            }
            pos += 2;
        } else if (status == 0xFF || status == 0xF0) {
            if (status == 0xFF && !need(1))
                return fail("meta event without type");
            const std::uint8_t type = status == 0xFF ? file[pos++] : 0;
            if (!need(1) || file[pos] > 127)
                return fail("bad event length");
            const std::size_t length = file[pos++];
            if (!need(length))
                return fail("event runs past the track");
            pos += length;
            if (status == 0xFF && type == 0x2F) {
                if (pos != end)
                    return fail("bytes after End of Track");
                break;
            }
        } else {
            return fail("unexpected status " + std::to_string(status));
        }
    }
    for (int count : sounding) {
        if (count != 0)
            return fail("a note-on without its note-off");
    }
    return result;
}

}  // namespace tez::testing
