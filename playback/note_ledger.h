// The notes of a playback with options: which are sent and on which key (transposition,
// muted and soloed channels), which sound and which pedals are held, so that a note-off goes
// only to a note that sounds and an end leaves nothing sounding; and which channels heard
// more than notes, for the reset at a loop seam.
#pragma once

#include <array>
#include <cstdint>

#include "playback/midi_out_port.h"

namespace tez {

class NoteLedger {
  public:
    // -24..24 semitones (channel 9, the drums, stays); bit n of a mask: channel n.
    void SetShape(std::int32_t transpose, std::uint16_t muted, std::uint16_t solo);
    // Whether a channel message is sent, and its key after transposing.
    bool Shape(std::uint8_t status, std::uint8_t& key, std::uint8_t velocity) const;
    // Keeps account of a message sent; `fromFile`: an event of the file, not one of the
    // player's own. True for a note-on.
    bool Sent(std::uint8_t status, std::uint8_t data1, std::uint8_t data2, bool fromFile);
    // A note-off for every note sounding, then each held pedal lifted.
    void EndSoundingNotes(CMidiOutPort& port);
    // Reset All Controllers and a centred bend (which not every device resets with them) on
    // each channel the file's messages since the last call sent more than notes.
    void ResetTouchedChannels(CMidiOutPort& port);
    // Forgets every note, pedal and channel touched: the device starts without them.
    void Clear();

  private:
    bool Silenced(int channel) const;

    // Notes sounding, per channel and key: each note-on sent counts up, each note-off down.
    std::array<std::uint8_t, 16 * 128> m_sounding{};
    std::uint16_t m_pedalDown = 0;  // bit n: the sustain pedal of channel n is held
    std::uint16_t m_touched = 0;    // bit n: channel n was sent more than notes
    std::int32_t m_transpose = 0;
    std::uint16_t m_muted = 0;
    std::uint16_t m_solo = 0;
};

}  // namespace tez
