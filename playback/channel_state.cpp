#include "playback/channel_state.h"

#include <algorithm>

namespace tez {
namespace {

constexpr std::uint8_t kResetAllControllers = 121;
constexpr int kFirstModeMessage = 120;  // 120..127 act at once; nothing of them stays in force

// Reset All Controllers leaves these as they are (bank select, volume, pan), as devices do.
bool SurvivesControllerReset(int controller) {
    return controller == 0 || controller == 7 || controller == 10 || controller == 32;
}

}  // namespace

void ChannelState::Set(int channel, int item, std::uint16_t value, std::uint32_t order) {
    m_value[channel * kItems + item] = value;
    m_order[channel * kItems + item] = order;
}

void ChannelState::Apply(const SmfEvent& event, std::uint32_t order) {
    const std::uint8_t status = event.status;
    if (status < 0x80) {
        return;
    }
    if (status == 0xFF) {
        if (event.metaType == 0x51) {
            // Set Tempo as playback reads it: its first three bytes; 0 changes nothing.
            std::uint32_t tempo = 0;
            for (std::uint32_t i = 0; i < std::min<std::uint32_t>(event.length, 3); ++i) {
                tempo = tempo * 256 + event.data[i];
            }
            if (tempo != 0) {
                m_tempo = static_cast<std::int32_t>(tempo);
            }
        }
        return;
    }
    if (status >= 0xF0 || status < 0xB0) {
        return;  // notes and key pressure belong to notes that are not sounded again
    }
    const int channel = event.status & 0x0F;
    switch (event.status & 0xF0) {
        case 0xB0:
            if (event.Data1() < kFirstModeMessage) {
                Set(channel, event.Data1(), event.Data2(), order);
            } else if (event.Data1() == kResetAllControllers) {
                for (int item = 0; item < kItems; ++item) {
                    if (item >= kProgram ? item != kProgram : !SurvivesControllerReset(item)) {
                        m_value[channel * kItems + item] = kUnset;
                    }
                }
            }
            break;
        case 0xC0:
            Set(channel, kProgram, event.Data1(), order);
            break;
        case 0xD0:
            Set(channel, kPressure, event.Data1(), order);
            break;
        case 0xE0:
            Set(channel, kPitchBend, static_cast<std::uint16_t>(event.Data1() | event.Data2() << 7),
                order);
            break;
        default:
            break;  // notes and key pressure belong to notes that are not sounded again
    }
}

std::vector<ShortMessage> ChannelState::Chase() const {
    std::vector<std::pair<std::uint32_t, int>> set;  // (order, slot)
    for (int slot = 0; slot < 16 * kItems; ++slot) {
        if (m_value[slot] != kUnset) {
            set.emplace_back(m_order[slot], slot);
        }
    }
    std::sort(set.begin(), set.end());
    std::vector<ShortMessage> messages;
    messages.reserve(set.size());
    for (const auto& [order, slot] : set) {
        const auto channel = static_cast<std::uint8_t>(slot / kItems);
        const int item = slot % kItems;
        const std::uint16_t value = m_value[slot];
        if (item == kProgram) {
            messages.push_back(
                {static_cast<std::uint8_t>(0xC0 | channel), static_cast<std::uint8_t>(value), 0});
        } else if (item == kPressure) {
            messages.push_back(
                {static_cast<std::uint8_t>(0xD0 | channel), static_cast<std::uint8_t>(value), 0});
        } else if (item == kPitchBend) {
            messages.push_back({static_cast<std::uint8_t>(0xE0 | channel),
                                static_cast<std::uint8_t>(value & 0x7F),
                                static_cast<std::uint8_t>(value >> 7)});
        } else {
            messages.push_back({static_cast<std::uint8_t>(0xB0 | channel),
                                static_cast<std::uint8_t>(item), static_cast<std::uint8_t>(value)});
        }
    }
    return messages;
}

}  // namespace tez
