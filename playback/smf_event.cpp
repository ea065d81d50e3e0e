#include "playback/smf_event.h"

#include <initializer_list>

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

}  // namespace tez
