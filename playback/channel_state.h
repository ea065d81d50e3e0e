// What the channel messages so far have left in force on each of the 16 channels, and the
// tempo: the state a playback that starts in the middle sends first.
#pragma once

#include <array>
#include <cstdint>
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
    // Items kept per channel: controllers 0..127, then program, pitch bend, channel pressure.
    static constexpr int kProgram = 128;
    static constexpr int kPitchBend = 129;
    static constexpr int kPressure = 130;
    static constexpr int kItems = 131;

    explicit ChannelState(std::int32_t tempo) : m_tempo(tempo) { m_value.fill(kUnset); }

    // Takes in one event; `order` counts events, so the chase keeps the order they came in.
    void Apply(const SmfEvent& event, std::uint32_t order);
    // The messages that restore this state on a device, in the order the values were set.
    std::vector<ShortMessage> Chase() const;
    std::int32_t Tempo() const { return m_tempo; }

  private:
    static constexpr std::uint16_t kUnset = 0xFFFF;
    void Set(int channel, int item, std::uint16_t value, std::uint32_t order);

    std::array<std::uint16_t, 16 * kItems> m_value;
    std::array<std::uint32_t, 16 * kItems> m_order{};
    std::int32_t m_tempo;
};

}  // namespace tez
