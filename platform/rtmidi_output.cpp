#include "platform/rtmidi_output.h"

#include <RtMidi.h>

#include <array>

namespace tez {

RtMidiOutput::RtMidiOutput(std::unique_ptr<RtMidiOut> port) : port_(std::move(port)) {}

RtMidiOutput::~RtMidiOutput() = default;

bool RtMidiOutput::Send(std::span<const std::uint8_t> message) {
    if (message.empty()) {
        return false;
    }
    try {
        port_->sendMessage(message.data(), message.size());
    } catch (const RtMidiError&) {
        return false;
    }
    return true;
}

void RtMidiOutput::Reset() {
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
            Send(message);
        }
    }
}

}  // namespace tez
