// Rewrites the stream serial number of an Ogg file held in memory.
#pragma once

#include <cstdint>
#include <vector>

namespace tez::cli {

// Any fixed value serves: one logical stream per file.
inline constexpr std::uint32_t kOggSerialNumber = 0x74657A31;

// Gives every page `serial` and its matching checksum. False when the bytes are not a
// sequence of whole Ogg pages.
bool SetOggSerialNumber(std::vector<std::uint8_t>& ogg, std::uint32_t serial);

}  // namespace tez::cli
