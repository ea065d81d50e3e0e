// The colours of the piano roll: one per channel, shaded by velocity.
#pragma once

#include <cstdint>
#include <string>

namespace tez::roll {

struct Rgb {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
};

inline constexpr int kChannels = 16;

// Sixteen colours told apart at a glance; channel 9 (the drums) a dark red.
Rgb ChannelColour(int channel);
// A note's fill: its channel's colour, paler the softer it is played.
Rgb NoteColour(int channel, int velocity);
// "#rrggbb".
std::string HexColour(Rgb colour);

}  // namespace tez::roll
