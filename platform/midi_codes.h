// The numbers of the MIDI messages, controllers and file events this program acts on.
#pragma once

#include <cstdint>

namespace tez::midi {

// The kind of a channel message: the top four bits of its status byte.
inline constexpr std::uint8_t kNoteOff = 0x80;
inline constexpr std::uint8_t kNoteOn = 0x90;
inline constexpr std::uint8_t kKeyPressure = 0xA0;
inline constexpr std::uint8_t kControlChange = 0xB0;
inline constexpr std::uint8_t kProgramChange = 0xC0;
inline constexpr std::uint8_t kChannelPressure = 0xD0;
inline constexpr std::uint8_t kPitchBend = 0xE0;

// System exclusive, a file's escape for any bytes, and a file's meta event.
inline constexpr std::uint8_t kSystemExclusive = 0xF0;
inline constexpr std::uint8_t kEscape = 0xF7;
inline constexpr std::uint8_t kMeta = 0xFF;

// Controllers.
inline constexpr std::uint8_t kBankSelect = 0;
inline constexpr std::uint8_t kDataEntry = 6;
inline constexpr std::uint8_t kBankSelectFine = 32;
inline constexpr std::uint8_t kDataEntryFine = 38;
inline constexpr std::uint8_t kSustain = 64;
inline constexpr std::uint8_t kDataIncrement = 96;
inline constexpr std::uint8_t kDataDecrement = 97;
inline constexpr std::uint8_t kNonRegisteredFine = 98;  // NRPN, the low 7 bits
inline constexpr std::uint8_t kNonRegistered = 99;      // NRPN, the high 7 bits
inline constexpr std::uint8_t kRegisteredFine = 100;    // RPN, the low 7 bits
inline constexpr std::uint8_t kRegistered = 101;        // RPN, the high 7 bits
inline constexpr std::uint8_t kAllSoundOff = 120;
inline constexpr std::uint8_t kResetAllControllers = 121;
inline constexpr std::uint8_t kAllNotesOff = 123;

// Meta event types.
inline constexpr std::uint8_t kMarker = 0x06;
inline constexpr std::uint8_t kEndOfTrack = 0x2F;
inline constexpr std::uint8_t kSetTempo = 0x51;

}  // namespace tez::midi
