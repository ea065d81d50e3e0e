#include "playback/channel_state.h"

#include <algorithm>

#include "platform/midi_codes.h"
#include "playback/smf_bytes.h"

namespace tez {
namespace {

using namespace midi;

constexpr std::uint8_t kNull = 0x7F;  // a parameter number of 7F 7F selects none
constexpr std::uint32_t kNonRegisteredBit = 1u << 14;
constexpr std::uint16_t kBendCentre = 0x2000;

ShortMessage Message(std::uint8_t kind, int channel, std::uint8_t data1, std::uint8_t data2 = 0) {
    return {static_cast<std::uint8_t>(kind | channel), data1, data2};
}

}  // namespace

void ChannelState::Apply(const SmfEvent& event) {
    ++m_events;
    if (event.status < kControlChange) {
        Note(event);
        return;
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

void ChannelState::Note(const SmfEvent& event) {
    const int type = event.status & 0xF0;
    if (type != kNoteOn && type != kNoteOff) {
        return;  // key pressure belongs to a note that is not sounded again
    }
    const std::size_t index = static_cast<std::size_t>((event.status & 0x0F) * 128 + (event.Data1() & 0x7F));
    std::uint8_t& count = m_sounding[index];
    if (type == kNoteOn && event.Data2() != 0) {
        count = static_cast<std::uint8_t>(std::min(count + 1, 255));
        m_velocity[index] = event.Data2();
    } else if (count > 0) {
        --count;
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

void ChannelState::MoveDevice(const DeviceState& device, ShortSink& out) const {
    for (int channel = 0; channel < 16; ++channel) {
        MoveProgram(channel, device, out);
        const bool selected = MoveParameters(channel, device, out);
        MoveControllers(channel, device, selected, out);
        const Channel& want = m_channels[static_cast<std::size_t>(channel)];
        const DeviceState::Channel& has = device.At(channel);
        const bool bendKnown = want.bend != 0xFFFF || has.bend != 0xFFFF;
        const std::uint16_t bend = want.bend != 0xFFFF ? want.bend : kBendCentre;
        if (bendKnown && has.bend != bend) {
            out.Send(Message(kPitchBend, channel, bend & 0x7F, static_cast<std::uint8_t>(bend >> 7)));
        }
        const bool pressureKnown = want.pressure != kUnset || has.pressure != kUnset;
        const std::uint8_t pressure = want.pressure != kUnset ? want.pressure : 0;
        if (pressureKnown && has.pressure != pressure) {
            out.Send(Message(kChannelPressure, channel, pressure));
        }
    }
}

void ChannelState::MoveProgram(int channel, const DeviceState& device, ShortSink& out) const {
    const Channel& want = m_channels[static_cast<std::size_t>(channel)];
    const DeviceState::Channel& has = device.At(channel);
    std::array<std::uint8_t, 2> bank = want.programBank;
    std::uint8_t program = want.program;
    if (program == kUnset) {
        if (has.program == kUnset || (has.program == 0 && has.programBank[0] == 0 &&
                                      has.programBank[1] == 0)) {
            return;  // never set, and the device has the default or nothing known
        }
        program = 0;
        bank = {0, 0};
    }
    const bool bankDiffers = (bank[0] != kUnset && has.programBank[0] != bank[0]) ||
                             (bank[1] != kUnset && has.programBank[1] != bank[1]);
    if (has.program == program && !bankDiffers) {
        return;
    }
    for (std::size_t part = 0; part < 2; ++part) {
        const std::uint8_t controller = part == 0 ? kBankSelect : kBankSelectFine;
        const bool unknownToDefault = want.program == kUnset && has.controller[controller] == kUnset;
        if (bank[part] != kUnset && has.controller[controller] != bank[part] && !unknownToDefault) {
            out.Send(Message(kControlChange, channel, controller, bank[part]));
        }
    }
    out.Send(Message(kProgramChange, channel, program));
}

bool ChannelState::MoveParameters(int channel, const DeviceState& device, ShortSink& out) const {
    bool selected = false;
    const auto select = [&](std::uint32_t key) {
        selected = true;
        const bool nonRegistered = (key & kNonRegisteredBit) != 0;
        out.Send(Message(kControlChange, channel, nonRegistered ? kNonRegistered : kRegistered,
                         (key >> 7) & 0x7F));
        out.Send(Message(kControlChange, channel,
                         nonRegistered ? kNonRegisteredFine : kRegisteredFine, key & 0x7F));
    };
    const auto first = m_parameters.lower_bound(static_cast<std::uint32_t>(channel) << 15);
    const auto last = m_parameters.lower_bound(static_cast<std::uint32_t>(channel + 1) << 15);
    for (auto it = first; it != last; ++it) {
        const auto& [key, want] = *it;
        if (want.coarse == kUnset && want.fine == kUnset) {
            continue;  // only stepped, never given a value
        }
        const DeviceState::Parameter* has = device.Find(key);
        const auto same = [](std::uint8_t wanted, std::uint8_t had) {
            return wanted == kUnset || wanted == had;  // a part never set is as the device has it
        };
        if (has != nullptr && same(want.coarse, has->coarse) && same(want.fine, has->fine)) {
            continue;
        }
        select(key);
        // In the order they came: a device may clear the fine part when the coarse one comes.
        const std::uint8_t firstValue = want.fineLast ? want.coarse : want.fine;
        const std::uint8_t secondValue = want.fineLast ? want.fine : want.coarse;
        if (firstValue != kUnset) {
            out.Send(Message(kControlChange, channel, want.fineLast ? kDataEntry : kDataEntryFine,
                             firstValue));
        }
        if (secondValue != kUnset) {
            out.Send(Message(kControlChange, channel, want.fineLast ? kDataEntryFine : kDataEntry,
                             secondValue));
        }
    }
    // What the device was given of the parameters a device starts with, and this state never
    // set, goes back to the start value.
    for (const DeviceState::Parameter& has : device.Parameters()) {
        const auto fallback = DeviceState::DefaultParameter(has.key);
        if ((has.key >> 15) != static_cast<std::uint32_t>(channel) || !fallback ||
            m_parameters.contains(has.key) ||
            (has.coarse == fallback->first && has.fine == fallback->second)) {
            continue;
        }
        select(has.key);
        out.Send(Message(kControlChange, channel, kDataEntry, fallback->first));
        out.Send(Message(kControlChange, channel, kDataEntryFine, fallback->second));
    }
    return selected;
}

void ChannelState::MoveControllers(int channel, const DeviceState& device, bool reselect,
                                   ShortSink& out) const {
    const Channel& want = m_channels[static_cast<std::size_t>(channel)];
    const DeviceState::Channel& has = device.At(channel);
    // The controllers this state set, in the order they were set; the others, where the
    // device has another value, back to their defaults first.
    std::array<std::pair<std::uint32_t, std::uint8_t>, kFirstModeMessage> set{};
    std::size_t count = 0;
    // Which kind of parameter is selected depends on the order of the numbers: once one is
    // sent, each of them is sent again in its order.
    const bool nonRegisteredLast =
        std::max(want.order[kNonRegistered], want.order[kNonRegisteredFine]) >
        std::max(want.order[kRegistered], want.order[kRegisteredFine]);
    for (int c = kNonRegisteredFine; c <= kRegistered; ++c) {
        const bool set = want.controller[static_cast<std::size_t>(c)] != kUnset;
        reselect = reselect ||
                   (set && has.controller[static_cast<std::size_t>(c)] !=
                               want.controller[static_cast<std::size_t>(c)]) ||
                   (set && has.nonRegisteredLast != nonRegisteredLast);
    }
    for (int c = 0; c < kFirstModeMessage; ++c) {
        const auto controller = static_cast<std::uint8_t>(c);
        if (IsParameterValue(c)) {
            continue;
        }
        const std::uint8_t value = want.controller[controller];
        const bool bankAsAtProgram = want.program != kUnset &&
                                     (c == kBankSelect || c == kBankSelectFine) &&
                                     value == want.programBank[c != 0];
        if (value != kUnset && !bankAsAtProgram) {
            if (has.controller[controller] != value || (reselect && IsSelection(c))) {
                set[count++] = {want.order[controller], controller};
            }
        } else if (value == kUnset && has.controller[controller] != kUnset &&
                   has.controller[controller] != DeviceState::DefaultController(c)) {
            out.Send(Message(kControlChange, channel, controller,
                             DeviceState::DefaultController(c)));
        }
    }
    std::sort(set.begin(), set.begin() + static_cast<std::ptrdiff_t>(count));
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t controller = set[i].second;
        out.Send(Message(kControlChange, channel, controller, want.controller[controller]));
    }
}

}  // namespace tez
