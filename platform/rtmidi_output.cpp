#include "platform/rtmidi_output.h"

#include <RtMidi.h>

#include "platform/port_reset.h"

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
    SendPortReset(*this);
}

}  // namespace tez
