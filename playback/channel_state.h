// What the events of a file so far have left in force on a device that heard them, the notes
// sounding and the tempo: the state a playback that starts in the middle, or changes course,
// moves the device to first.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <vector>

#include "playback/device_state.h"
#include "playback/smf_event.h"

namespace tez {

class ChannelState {
  public:
    explicit ChannelState(std::int32_t tempo) : m_tempo(tempo) {}

    // Takes in one event, in the order a playback sends them.
    void Apply(const SmfEvent& event);
    // Sends what brings `device` to this state, only what differs. Per channel: bank and
    // program as a pair; each parameter as a select-and-value set; the controllers in the
    // order they were set, which also selects the parameter in force; pitch bend; pressure.
    // What the file never set goes back to a General MIDI device's default where the device
    // is known to have another value, and is left as it is where nothing is known of it.
    void MoveDevice(const DeviceState& device, ShortSink& out) const;
    // The notes sounding, per channel and key (channel * 128 + key): how many, and the
    // velocity of the latest.
    std::uint8_t Sounding(int index) const { return m_sounding[static_cast<std::size_t>(index)]; }
    std::uint8_t Velocity(int index) const { return m_velocity[static_cast<std::size_t>(index)]; }
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
    void Note(const SmfEvent& event);
    void MoveProgram(int channel, const DeviceState& device, ShortSink& out) const;
    // True when it selected a parameter.
    bool MoveParameters(int channel, const DeviceState& device, ShortSink& out) const;
    void MoveControllers(int channel, const DeviceState& device, bool reselect,
                         ShortSink& out) const;

    std::array<Channel, 16> m_channels;
    // Key: the channel, then 1 for non-registered, then the parameter's 14-bit number.
    std::map<std::uint32_t, Parameter> m_parameters;
    std::array<std::uint8_t, 16 * 128> m_sounding{};
    std::array<std::uint8_t, 16 * 128> m_velocity{};
    std::uint32_t m_events = 0;
    std::uint32_t m_longMessages = 0;
    std::int32_t m_tempo;
};

}  // namespace tez
