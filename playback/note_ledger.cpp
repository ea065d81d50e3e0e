#include "playback/note_ledger.h"

#include <algorithm>

#include "platform/midi_codes.h"

namespace tez {
namespace {

using namespace midi;

constexpr int kDrumChannel = 9;

std::uint16_t Bit(int channel) {
    return static_cast<std::uint16_t>(1u << channel);
}

}  // namespace

void NoteLedger::SetShape(std::int32_t transpose, std::uint16_t muted, std::uint16_t solo) {
    m_transpose = transpose;
    m_muted = muted;
    m_solo = solo;
}

void NoteLedger::Clear() {
    m_sounding.fill(0);
    m_pedalDown = 0;
}

bool NoteLedger::Silenced(int channel) const {
    return (m_muted & Bit(channel)) != 0 || (m_solo != 0 && (m_solo & Bit(channel)) == 0);
}

bool NoteLedger::Shape(std::uint8_t status, std::uint8_t& key, std::uint8_t velocity) const {
    const int type = status & 0xF0;
    const int channel = status & 0x0F;
    if (type != kNoteOff && type != kNoteOn && type != kKeyPressure) {
        return true;
    }
    if (channel != kDrumChannel) {
        const int moved = key + m_transpose;
        if (moved < 0 || moved > 127) {
            return false;
        }
        key = static_cast<std::uint8_t>(moved);
    }
    if (type == kKeyPressure || (type == kNoteOn && velocity != 0)) {
        return !Silenced(channel);
    }
    // A note-off only for a note that sounds: not for one begun before the start, muted, or
    // moved out of range.
    return m_sounding[channel * 128 + key] > 0;
}

bool NoteLedger::Sent(std::uint8_t status, std::uint8_t data1, std::uint8_t data2) {
    const int type = status & 0xF0;
    const int channel = status & 0x0F;
    std::uint8_t& count = m_sounding[channel * 128 + (data1 & 0x7F)];
    if (type == kNoteOn && data2 != 0) {
        count = static_cast<std::uint8_t>(std::min(count + 1, 255));
        m_velocity[static_cast<std::size_t>(channel * 128 + (data1 & 0x7F))] = data2;
        return true;
    }
    if (type == kNoteOff || type == kNoteOn) {
        count = static_cast<std::uint8_t>(count > 0 ? count - 1 : 0);
        return false;
    }
    if (type == kControlChange && data1 == kSustain) {
        m_pedalDown = static_cast<std::uint16_t>(data2 >= 64 ? m_pedalDown | Bit(channel)
                                                             : m_pedalDown & ~Bit(channel));
    }
    return false;
}

void NoteLedger::EndSoundingNotes(ShortSink& out) {
    EndNotesNotIn({}, out);
    // A held pedal would keep the ended notes ringing.
    for (int channel = 0; channel < 16; ++channel) {
        if ((m_pedalDown & Bit(channel)) != 0) {
            out.Send({static_cast<std::uint8_t>(kControlChange | channel), kSustain, 0});
        }
    }
    m_pedalDown = 0;
}

void NoteLedger::EndNotesNotIn(const std::array<std::uint8_t, 16 * 128>& keep, ShortSink& out) {
    for (int index = 0; index < 16 * 128; ++index) {
        const auto at = static_cast<std::size_t>(index);
        if (m_sounding[at] == 0 || (keep[at] != 0 && keep[at] == m_velocity[at])) {
            continue;
        }
        const auto status = static_cast<std::uint8_t>(kNoteOff | index / 128);
        for (std::uint8_t& count = m_sounding[at]; count > 0; --count) {
            out.Send({status, static_cast<std::uint8_t>(index % 128), 0});
        }
    }
}

}  // namespace tez
