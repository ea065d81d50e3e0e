// What the events of a file so far have left in force on a device that heard them, and the
// tempo: the state a playback that starts in the middle sends first.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <vector>

#include "playback/smf_event.h"

namespace tez {

// One channel message to send, of 2 or 3 bytes.
struct ShortMessage {
    std::uint8_t status = 0;
    std::uint8_t data1 = 0;
    std::uint8_t data2 = 0;
};

class ChannelState {
  public:
    explicit ChannelState(std::int32_t tempo) : m_tempo(tempo) {}

    // Takes in one event, in the order a playback sends them.
    void Apply(const SmfEvent& event);
    // The channel messages that bring a device which has heard the system exclusive messages
    // taken in (and nothing else since it started) to this state. Per channel: bank and
    // program as a pair; each parameter as a select-and-value set; the controllers in the
    // order they were set, which also selects the parameter in force; pitch bend; pressure.
    // Only what the file set: a value it never sent is left as the device has it.
    std::vector<ShortMessage> Chase() const;
    std::int32_t Tempo() const { return m_tempo; }
    // How many system exclusive messages (and escaped bytes) were taken in; a device hears
    // them all again, in their order, before the channel messages.
    std::uint32_t LongMessages() const { return m_longMessages; }

  private:
    static constexpr std::uint8_t kUnset = 0xFF;

    // A registered or non-registered parameter's value, as data entry set it.
    struct Parameter {
        std::uint8_t coarse = kUnset;
        std::uint8_t fine = kUnset;
        bool fineLast = false;  // the fine part came after the coarse one
    };
    struct Channel {
        Channel() { controller.fill(kUnset); }
        std::array<std::uint8_t, 128> controller;
        std::array<std::uint32_t, 128> order{};  // 0: never set
        std::uint8_t program = kUnset;
        std::array<std::uint8_t, 2> programBank{kUnset, kUnset};  // bank select when it came
        std::uint16_t bend = 0xFFFF;
        std::uint8_t pressure = kUnset;
    };

    void Control(int channel, std::uint8_t controller, std::uint8_t value);
    static void EnterValue(Parameter& parameter, std::uint8_t controller, std::uint8_t value);
    void ResetControllers(Channel& channel);
    Parameter* Selected(int channel);
    void ChaseChannel(int channel, std::vector<ShortMessage>& out) const;

    std::array<Channel, 16> m_channels;
    // Key: the channel, then 1 for non-registered, then the parameter's 14-bit number.
    std::map<std::uint32_t, Parameter> m_parameters;
    std::uint32_t m_events = 0;
    std::uint32_t m_longMessages = 0;
    std::int32_t m_tempo;
};

}  // namespace tez
