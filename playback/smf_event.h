// Reading one event of a track: the single reading rule shared by playback and by the index
// that lets a playback start anywhere.
#pragma once

#include <cstddef>
#include <cstdint>

#include "playback/smf_bytes.h"

namespace tez {

struct SmfEvent {
    std::uint8_t status = 0;             // 0: nothing to act on (no status in effect)
    std::uint8_t metaType = 0;           // for status FF
    const std::uint8_t* data = nullptr;  // channel data bytes, system exclusive body, meta data
    std::uint32_t length = 0;            // bytes at `data`

    bool IsChannelMessage() const { return status >= 0x80 && status < 0xF0; }
    std::uint8_t Data1() const { return length > 0 ? data[0] : 0; }
    std::uint8_t Data2() const { return length > 1 ? data[1] : 0; }
};

// A system exclusive message, or bytes a file escapes to send as they stand.
inline bool IsLongMessage(const SmfEvent& event) {
    return event.status == 0xF0 || (event.status == 0xF7 && event.length > 0);
}

// General MIDI System On (and General MIDI 2 On), GS Reset or XG System On: a system exclusive
// message after which a device starts afresh, every channel at its defaults. `body` follows F0.
bool IsDeviceReset(const std::uint8_t* body, std::uint32_t length);
inline bool IsDeviceReset(const SmfEvent& event) {
    return event.status == 0xF0 && IsDeviceReset(event.data, event.length);
}

// Reads the event at `pos` and the delta time after it, never at or beyond `end`. True while
// the track goes on: `pos` is then at the next event and the delta is added to `time`. False
// when the track ends here: at its end-of-track event, or where its data cannot be read whole
// (an event that was read whole is still in `event`; an incomplete one leaves it empty).
// The running status becomes the event's status, as every event carries one. Inline, as a
// pass over a large file reads millions of events.
inline bool ReadSmfEvent(const std::uint8_t*& pos, const std::uint8_t* end,
                         std::uint8_t& runningStatus, std::uint64_t& time, SmfEvent& event) {
    event = {};
    const std::uint8_t* p = pos;
    if (p >= end) {
        return false;  // the data ends without an end-of-track event
    }
    std::uint8_t status = runningStatus;
    if (*p >= 0x80) {
        status = *p++;
    }
    const auto remaining = [&] { return static_cast<std::size_t>(end - p); };
    std::uint32_t count = 0;
    if (status >= 0x80 && status < 0xF0) {
        const std::size_t dataBytes = (status & 0xE0) == 0xC0 ? 1 : 2;  // program, pressure: 1
        if (remaining() < dataBytes) {
            return false;
        }
        event = {status, 0, p, static_cast<std::uint32_t>(dataBytes)};
        p += dataBytes;
    } else if (status == 0xF0 || status == 0xF7) {
        if (!ReadVarLen(p, end, count) || count > remaining()) {
            return false;
        }
        event = {status, 0, p, count};
        p += count;
    } else if (status == 0xFF) {
        if (remaining() < 1) {
            return false;
        }
        const std::uint8_t type = *p++;
        if (!ReadVarLen(p, end, count)) {
            return false;
        }
        if (type == 0x2F) {
            pos = p;
            event = {status, type, p, 0};
            return false;
        }
        if (count > remaining()) {
            return false;
        }
        event = {status, type, p, count};
        p += count;
    }
    runningStatus = status;
    std::uint32_t delta = 0;
    if (p < end && *p < 0x80) {
        delta = *p++;  // most delta times are one byte
    } else if (!ReadVarLen(p, end, delta)) {
        pos = end;  // no whole delta time follows: nothing more can be timed
        return false;
    }
    pos = p;
    time += delta;
    return true;
}

}  // namespace tez
