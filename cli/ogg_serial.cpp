#include "ogg_serial.h"

#include <array>
#include <cstring>

namespace tez::cli {
namespace {

// The page layout of RFC 3533.
constexpr std::size_t kHeaderSize = 27;
constexpr std::size_t kSerialOffset = 14;
constexpr std::size_t kChecksumOffset = 22;
constexpr std::size_t kSegmentCountOffset = 26;

// Ogg's CRC-32: polynomial 0x04C11DB7, not reflected, initial value and final XOR 0.
constexpr std::array<std::uint32_t, 256> MakeCrcTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t r = i << 24;
        for (int bit = 0; bit < 8; ++bit)
            r = (r & 0x80000000u) ? (r << 1) ^ 0x04C11DB7u : r << 1;
        table[i] = r;
    }
    return table;
}
constexpr std::array<std::uint32_t, 256> kCrcTable = MakeCrcTable();

std::uint32_t PageChecksum(const std::uint8_t* page, std::size_t size) {
    std::uint32_t crc = 0;
    for (std::size_t i = 0; i < size; ++i)
        crc = (crc << 8) ^ kCrcTable[((crc >> 24) ^ page[i]) & 0xFF];
    return crc;
}

void PutLittleEndian(std::uint8_t* at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace

bool SetOggSerialNumber(std::vector<std::uint8_t>& ogg, std::uint32_t serial) {
    std::size_t at = 0;
    while (at < ogg.size()) {
        std::uint8_t* page = ogg.data() + at;
        if (ogg.size() - at < kHeaderSize || std::memcmp(page, "OggS", 4) != 0)
            return false;
        const std::size_t segments = page[kSegmentCountOffset];
        if (ogg.size() - at < kHeaderSize + segments)
            return false;
        std::size_t size = kHeaderSize + segments;
        for (std::size_t i = 0; i < segments; ++i)
            size += page[kHeaderSize + i];
        if (ogg.size() - at < size)
            return false;
        PutLittleEndian(page + kSerialOffset, serial);
        PutLittleEndian(page + kChecksumOffset, 0);
        PutLittleEndian(page + kChecksumOffset, PageChecksum(page, size));
        at += size;
    }
    return true;
}

}  // namespace tez::cli
