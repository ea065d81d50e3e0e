#include "platform/port_reset.h"

#include <array>
#include <cstdint>

namespace tez {

void SendPortReset(MidiOutput& output) {
    constexpr std::uint8_t kAllSoundOff = 120;
    constexpr std::uint8_t kResetAllControllers = 121;
    constexpr std::uint8_t kAllNotesOff = 123;
    constexpr std::uint8_t kSustain = 64;
    for (std::uint8_t channel = 0; channel < 16; ++channel) {
        const std::uint8_t status = 0xB0 | channel;
        for (const auto& [controller, value] :
             std::array<std::array<std::uint8_t, 2>, 4>{{{kAllSoundOff, 0},
                                                         {kAllNotesOff, 0},
                                                         {kSustain, 0},
                                                         {kResetAllControllers, 0}}}) {
            const std::array<std::uint8_t, 3> message{status, controller, value};
            output.Send(message);
        }
    }
}

}  // namespace tez
