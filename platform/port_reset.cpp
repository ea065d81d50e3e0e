#include "platform/port_reset.h"

#include <array>
#include <cstdint>

#include "platform/midi_codes.h"

namespace tez {

void SendPortReset(MidiOutput& output) {
    for (std::uint8_t channel = 0; channel < 16; ++channel) {
        const std::uint8_t status = midi::kControlChange | channel;
        for (const auto& [controller, value] :
             std::array<std::array<std::uint8_t, 2>, 4>{{{midi::kAllSoundOff, 0},
                                                         {midi::kAllNotesOff, 0},
                                                         {midi::kSustain, 0},
                                                         {midi::kResetAllControllers, 0}}}) {
            const std::array<std::uint8_t, 3> message{status, controller, value};
            output.Send(message);
        }
    }
}

}  // namespace tez
