#include "roll/roll_colours.h"

#include <array>
#include <cstdio>

namespace tez::roll {
namespace {

constexpr std::array<Rgb, kChannels> kPalette{{
    {0xe6, 0x19, 0x4b},
    {0x43, 0x63, 0xd8},
    {0x3c, 0xb4, 0x4b},
    {0xf5, 0x82, 0x31},
    {0x91, 0x1e, 0xb4},
    {0x1a, 0xb0, 0xd8},
    {0xf0, 0x32, 0xe6},
    {0x9a, 0x63, 0x24},
    {0x80, 0x80, 0x00},
    {0x80, 0x00, 0x00},
    {0x46, 0x99, 0x90},
    {0x00, 0x00, 0x75},
    {0xd0, 0xa8, 0x00},
    {0xff, 0x6f, 0x9f},
    {0x70, 0x70, 0x70},
    {0x00, 0xa0, 0x70},
}};

// A note played at velocity 0 keeps this share of its colour; at 127 all of it.
constexpr double kSoftestShare = 0.3;

std::uint8_t TowardWhite(std::uint8_t value, double share) {
    return static_cast<std::uint8_t>(255.0 - (255.0 - value) * share + 0.5);
}

}  // namespace

Rgb ChannelColour(int channel) {
    return kPalette[static_cast<std::size_t>(channel & 15)];
}

Rgb NoteColour(int channel, int velocity) {
    const Rgb base = ChannelColour(channel);
    const double share = kSoftestShare + (1.0 - kSoftestShare) * (velocity & 127) / 127.0;
    return {TowardWhite(base.red, share), TowardWhite(base.green, share),
            TowardWhite(base.blue, share)};
}

std::string HexColour(Rgb colour) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", colour.red, colour.green, colour.blue);
    return text;
}

}  // namespace tez::roll
