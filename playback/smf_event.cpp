#include "playback/smf_event.h"

#include <cstddef>
#include <initializer_list>

#include "playback/smf_bytes.h"

namespace tez {

bool IsDeviceReset(const std::uint8_t* body, std::uint32_t length) {
    const auto starts = [&](std::initializer_list<int> bytes, std::uint32_t skip) {
        std::uint32_t i = 0;
        for (int byte : bytes) {
            if (i >= length || (byte >= 0 && body[i] != byte)) {
                return false;
            }
            ++i;
        }
        return skip <= length;
    };
    // -1 stands for any byte: the device number.
    const bool generalMidi = starts({0x7E, -1, 0x09}, 4) && (body[3] == 0x01 || body[3] == 0x03);
    const bool gs = starts({0x41, -1, 0x42, 0x12, 0x40, 0x00, 0x7F}, 7);
    const bool xg = starts({0x43, -1, 0x4C, 0x00, 0x00, 0x7E, 0x00}, 7) && (body[1] & 0xF0) == 0x10;
    return generalMidi || gs || xg;
}

bool ReadSmfEvent(const std::uint8_t*& pos, const std::uint8_t* end, std::uint8_t& runningStatus,
                  std::uint64_t& time, SmfEvent& event) {
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
