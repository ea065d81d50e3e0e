// Reading one event of a track: the single reading rule shared by playback and by the index
// that lets a playback start anywhere.
#pragma once

#include <cstdint>

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
// The running status becomes the event's status, as every event carries one.
bool ReadSmfEvent(const std::uint8_t*& pos, const std::uint8_t* end, std::uint8_t& runningStatus,
                  std::uint64_t& time, SmfEvent& event);

}  // namespace tez
