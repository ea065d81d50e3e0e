// Byte-level reading of Standard MIDI File data.
#pragma once

#include <cstdint>

namespace tez {

// Exchanges the two bytes: a big-endian word read in little-endian order gives its value.
std::uint16_t SwapBytes16(std::uint16_t value);

// Reads one variable-length quantity at `pos` and moves `pos` past it. Trusts the bytes:
// it reads on until a byte without the top bit. Bits beyond 32 are lost.
std::int32_t ReadVarLen(const std::uint8_t*& pos);

// The same, never reading at or beyond `end`. False when the quantity is cut off by `end`
// (then `pos` is `end` and `value` holds what was read).
bool ReadVarLen(const std::uint8_t*& pos, const std::uint8_t* end, std::uint32_t& value);

std::uint32_t ReadBigEndian32(const std::uint8_t* bytes);
std::uint16_t ReadBigEndian16(const std::uint8_t* bytes);

// The microseconds per quarter note of a Set Tempo's data: every byte counts, most
// significant first. A value beyond the signed 32-bit tempo is held at the slowest tempo
// the clock can take, the nearest to what it asks. 0 when the data says 0 or is empty.
std::uint32_t ReadTempo(const std::uint8_t* bytes, std::uint32_t count);

}  // namespace tez
