#include "playback/smf_bytes.h"

#include <algorithm>

namespace tez {

std::uint16_t SwapBytes16(std::uint16_t value) {
    return static_cast<std::uint16_t>((value >> 8) | ((value & 0xFF) << 8));
}

std::int32_t ReadVarLen(const std::uint8_t*& pos) {
    std::uint32_t value = 0;
    std::uint8_t byte = 0;
    do {
        byte = *pos++;
        value = (value << 7) + (byte & 0x7F);
    } while ((byte & 0x80) != 0);
    return static_cast<std::int32_t>(value);
}

bool ReadVarLen(const std::uint8_t*& pos, const std::uint8_t* end, std::uint32_t& value) {
    value = 0;
    while (pos < end) {
        const std::uint8_t byte = *pos++;
        value = (value << 7) + (byte & 0x7F);
        if ((byte & 0x80) == 0) {
            return true;
        }
    }
    return false;
}

std::uint32_t ReadBigEndian32(const std::uint8_t* bytes) {
    return static_cast<std::uint32_t>(bytes[0]) << 24 | static_cast<std::uint32_t>(bytes[1]) << 16 |
           static_cast<std::uint32_t>(bytes[2]) << 8 | bytes[3];
}

std::uint16_t ReadBigEndian16(const std::uint8_t* bytes) {
    return static_cast<std::uint16_t>(bytes[0] << 8 | bytes[1]);
}

std::uint32_t ReadTempo(const std::uint8_t* bytes, std::uint32_t count) {
    constexpr std::uint32_t kSlowestTempo = 0x7FFF'FFFF;
    std::uint32_t tempo = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        tempo = tempo > (kSlowestTempo >> 8) ? kSlowestTempo
                                             : std::min(tempo * 256 + bytes[i], kSlowestTempo);
    }
    return tempo;
}

}  // namespace tez
