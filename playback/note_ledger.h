// The notes of a playback with options: which are sent and on which key (transposition,
// muted and soloed channels), which sound and which pedals are held, so that a note-off goes
// only to a note that sounds and an end leaves nothing sounding.
#pragma once

#include <array>
#include <cstdint>

#include "playback/device_state.h"

namespace tez {

class NoteLedger {
  public:
    // -24..24 semitones (channel 9, the drums, stays); bit n of a mask: channel n.
    void SetShape(std::int32_t transpose, std::uint16_t muted, std::uint16_t solo);
    // Whether a channel message is sent, and its key after transposing.
    bool Shape(std::uint8_t status, std::uint8_t& key, std::uint8_t velocity) const;
    // Keeps account of a message sent. True for a note-on.
    bool Sent(std::uint8_t status, std::uint8_t data1, std::uint8_t data2);
    // A note-off for every note sounding, then each held pedal lifted.
    void EndSoundingNotes(ShortSink& out);
    // A note-off for each note sounding (per channel and key, channel * 128 + key) that
    // `keep` does not hold sounding with the same velocity.
    void EndNotesNotIn(const std::array<std::uint8_t, 16 * 128>& keep, ShortSink& out);
    // How many notes sound on channel * 128 + key, and the velocity of the latest.
    std::uint8_t Sounding(int index) const { return m_sounding[static_cast<std::size_t>(index)]; }
    std::uint8_t Velocity(int index) const { return m_velocity[static_cast<std::size_t>(index)]; }
    // Forgets every note and pedal: the device starts without them.
    void Clear();

  private:
    bool Silenced(int channel) const;

    // Notes sounding, per channel and key: each note-on sent counts up, each note-off down.
    std::array<std::uint8_t, 16 * 128> m_sounding{};
    std::array<std::uint8_t, 16 * 128> m_velocity{};
    std::uint16_t m_pedalDown = 0;  // bit n: the sustain pedal of channel n is held
    std::int32_t m_transpose = 0;
    std::uint16_t m_muted = 0;
    std::uint16_t m_solo = 0;
};

}  // namespace tez
