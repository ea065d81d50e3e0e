#include "playback/channel_state.h"

#include <algorithm>

#include "platform/midi_codes.h"
#include "playback/smf_bytes.h"

namespace tez {
namespace {

using namespace midi;

constexpr int kFirstModeMessage = 120;  // 120..127 act at once; nothing of them stays in force
constexpr std::uint8_t kNull = 0x7F;    // a parameter number of 7F 7F selects none
constexpr std::uint32_t kNonRegisteredBit = 1u << 14;

// Reset All Controllers leaves these as they are, as General MIDI devices do: bank select,
// volume, pan, the sound controllers and the effect depths.
bool SurvivesControllerReset(int controller) {
    return controller == kBankSelect || controller == kBankSelectFine || controller == 7 ||
           controller == 39 || controller == 10 || controller == 42 ||
           (controller >= 70 && controller <= 79) || (controller >= 91 && controller <= 95);
}

// Data entry and its steps change the selected parameter; they are no state of their own.
bool IsParameterValue(int controller) {
    return controller == kDataEntry || controller == kDataEntryFine ||
           controller == kDataIncrement || controller == kDataDecrement;
}

bool IsSelection(int controller) {
    return controller >= kNonRegisteredFine && controller <= kRegistered;
}

ShortMessage Message(std::uint8_t kind, int channel, std::uint8_t data1, std::uint8_t data2 = 0) {
    return {static_cast<std::uint8_t>(kind | channel), data1, data2};
}

}  // namespace

void ChannelState::Apply(const SmfEvent& event) {
    ++m_events;
    if (event.status < kControlChange) {
        return;  // notes and key pressure belong to notes that are not sounded again
    }
    if (IsLongMessage(event)) {
        ++m_longMessages;
        if (IsDeviceReset(event)) {
            m_channels = {};
            m_parameters.clear();
        }
        return;
    }
    if (event.status == kMeta && event.metaType == kSetTempo) {
        // Set Tempo as playback reads it; 0 changes nothing.
        const std::uint32_t tempo = ReadTempo(event.data, event.length);
        if (tempo != 0) {
            m_tempo = static_cast<std::int32_t>(tempo);
        }
        return;
    }
    if (!event.IsChannelMessage()) {
        return;
    }
    const int channel = event.status & 0x0F;
    Channel& state = m_channels[channel];
    switch (event.status & 0xF0) {
        case kControlChange:
            Control(channel, event.Data1(), event.Data2());
            break;
        case kProgramChange:
            state.program = event.Data1();
            state.programBank = {state.controller[kBankSelect], state.controller[kBankSelectFine]};
            break;
        case kChannelPressure:
            state.pressure = event.Data1();
            break;
        case kPitchBend:
            state.bend = static_cast<std::uint16_t>(event.Data1() | event.Data2() << 7);
            break;
    }
}

void ChannelState::Control(int channel, std::uint8_t controller, std::uint8_t value) {
    Channel& state = m_channels[channel];
    if (controller == kResetAllControllers) {
        ResetControllers(state);
    } else if (controller >= kFirstModeMessage) {
        return;
    } else if (!IsParameterValue(controller)) {
        state.controller[controller] = value;
        state.order[controller] = m_events;
    } else if (Parameter* parameter = Selected(channel)) {
        EnterValue(*parameter, controller, value);
    }
}

void ChannelState::EnterValue(Parameter& parameter, std::uint8_t controller, std::uint8_t value) {
    if (controller == kDataEntry || controller == kDataEntryFine) {
        const bool fine = controller == kDataEntryFine;
        (fine ? parameter.fine : parameter.coarse) = value;
        parameter.fineLast = fine;
    } else if (parameter.coarse != kUnset) {
        // A step of the whole 14-bit value; from a value never set there is nothing to step.
        const int whole = parameter.coarse << 7 | (parameter.fine == kUnset ? 0 : parameter.fine);
        const int stepped = std::clamp(whole + (controller == kDataIncrement ? 1 : -1), 0, 16383);
        parameter.coarse = static_cast<std::uint8_t>(stepped >> 7);
        parameter.fine = static_cast<std::uint8_t>(stepped & 0x7F);
        parameter.fineLast = true;
    }
}

void ChannelState::ResetControllers(Channel& state) {
    for (int controller = 0; controller < kFirstModeMessage; ++controller) {
        if (IsSelection(controller) && state.controller[controller] != kUnset) {
            state.controller[controller] = kNull;  // the reset deselects the parameter
        } else if (!SurvivesControllerReset(controller)) {
            state.controller[controller] = kUnset;
        }
    }
    state.bend = 0xFFFF;
    state.pressure = kUnset;
}

// The parameter data entry changes now: the kind whose number was set last, unless none was
// set or the number is 7F 7F.
ChannelState::Parameter* ChannelState::Selected(int channel) {
    const Channel& state = m_channels[channel];
    const auto latest = [&](std::uint8_t coarse, std::uint8_t fine) {
        return std::max(state.order[coarse], state.order[fine]);
    };
    const std::uint32_t registered = latest(kRegistered, kRegisteredFine);
    const std::uint32_t nonRegistered = latest(kNonRegistered, kNonRegisteredFine);
    if (registered == 0 && nonRegistered == 0) {
        return nullptr;
    }
    const bool isNonRegistered = nonRegistered > registered;
    const auto numberPart = [&](std::uint8_t controller) {
        const std::uint8_t value = state.controller[controller];
        return value == kUnset ? kNull : value;
    };
    const std::uint8_t coarse = numberPart(isNonRegistered ? kNonRegistered : kRegistered);
    const std::uint8_t fine = numberPart(isNonRegistered ? kNonRegisteredFine : kRegisteredFine);
    if (coarse == kNull && fine == kNull) {
        return nullptr;
    }
    const std::uint32_t key = static_cast<std::uint32_t>(channel) << 15 |
                              (isNonRegistered ? kNonRegisteredBit : 0) | coarse << 7 | fine;
    return &m_parameters[key];
}

std::vector<ShortMessage> ChannelState::Chase() const {
    std::vector<ShortMessage> messages;
    for (int channel = 0; channel < 16; ++channel) {
        ChaseChannel(channel, messages);
    }
    return messages;
}

void ChannelState::ChaseChannel(int channel, std::vector<ShortMessage>& out) const {
    const Channel& state = m_channels[channel];
    const auto control = [&](std::uint8_t controller, std::uint8_t value) {
        if (value != kUnset) {
            out.push_back(Message(kControlChange, channel, controller, value));
        }
    };
    if (state.program != kUnset) {
        control(kBankSelect, state.programBank[0]);
        control(kBankSelectFine, state.programBank[1]);
        out.push_back(Message(kProgramChange, channel, state.program));
    }
    const auto first = m_parameters.lower_bound(static_cast<std::uint32_t>(channel) << 15);
    const auto last = m_parameters.lower_bound(static_cast<std::uint32_t>(channel + 1) << 15);
    for (auto it = first; it != last; ++it) {
        const auto [key, parameter] = *it;
        if (parameter.coarse == kUnset && parameter.fine == kUnset) {
            continue;  // only stepped, never given a value
        }
        const bool nonRegistered = (key & kNonRegisteredBit) != 0;
        control(nonRegistered ? kNonRegistered : kRegistered, (key >> 7) & 0x7F);
        control(nonRegistered ? kNonRegisteredFine : kRegisteredFine, key & 0x7F);
        // In the order they came: a device may clear the fine part when the coarse one comes.
        control(parameter.fineLast ? kDataEntry : kDataEntryFine,
                parameter.fineLast ? parameter.coarse : parameter.fine);
        control(parameter.fineLast ? kDataEntryFine : kDataEntry,
                parameter.fineLast ? parameter.fine : parameter.coarse);
    }
    std::vector<std::pair<std::uint32_t, std::uint8_t>> set;  // (order, controller)
    for (int controller = 0; controller < kFirstModeMessage; ++controller) {
        const bool bankAsAtProgram =
            state.program != kUnset &&
            (controller == kBankSelect || controller == kBankSelectFine) &&
            state.controller[controller] == state.programBank[controller != 0];
        if (state.controller[controller] != kUnset && !bankAsAtProgram) {
            set.emplace_back(state.order[controller], static_cast<std::uint8_t>(controller));
        }
    }
    std::sort(set.begin(), set.end());
    for (const auto& [order, controller] : set) {
        control(controller, state.controller[controller]);
    }
    if (state.bend != 0xFFFF) {
        out.push_back(Message(kPitchBend, channel, state.bend & 0x7F, state.bend >> 7));
    }
    if (state.pressure != kUnset) {
        out.push_back(Message(kChannelPressure, channel, state.pressure));
    }
}

}  // namespace tez
