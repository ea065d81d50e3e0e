#include "playback/device_state.h"

#include <algorithm>

#include "platform/midi_codes.h"
#include "playback/smf_event.h"

namespace tez {
namespace {

using namespace midi;

constexpr std::uint8_t kNull = 0x7F;  // a parameter number of 7F 7F selects none
constexpr std::uint16_t kBendCentre = 0x2000;

}  // namespace

void LongPrint::Add(std::span<const std::uint8_t> message) {
    // FNV-1a over the bytes, then over the length, so that two messages never read as one.
    for (std::uint8_t byte : message) {
        m_value = (m_value ^ byte) * 1099511628211ull;
    }
    m_value = (m_value ^ message.size()) * 1099511628211ull;
}

std::uint8_t DeviceState::DefaultController(int controller) {
    switch (controller) {
        case 7:
            return 100;  // volume
        case 10:
            return 64;  // pan
        case 11:
            return 127;  // expression
        case 91:
            return 40;  // reverb depth
        default:
            break;
    }
    if (controller >= 71 && controller <= 79) {
        return 64;  // sound controllers: the sound as it is
    }
    return IsSelection(controller) ? kNull : 0;
}

std::optional<std::pair<std::uint8_t, std::uint8_t>> DeviceState::DefaultParameter(
    std::uint32_t key) {
    if ((key & (1u << 14)) != 0) {
        return std::nullopt;  // non-registered: each device has its own
    }
    switch (key & 0x3FFF) {
        case 0:
            return std::pair<std::uint8_t, std::uint8_t>{2, 0};  // bend range: 2 semitones
        case 1:
        case 2:
            return std::pair<std::uint8_t, std::uint8_t>{64, 0};  // fine and coarse tuning: centred
        default:
            return std::nullopt;
    }
}

void DeviceState::Forget() {
    for (Channel& channel : m_channels) {
        channel = Channel{};
        channel.controller.fill(kUnknown);
    }
    m_parameterCount = 0;
    m_longs = LongPrint{};  // what this player sent since it opened the device: nothing yet
}

void DeviceState::Reset() {
    for (Channel& channel : m_channels) {
        channel = Channel{};
        for (int c = 0; c < 128; ++c) {
            channel.controller[static_cast<std::size_t>(c)] =
                c < kFirstModeMessage && !IsParameterValue(c) ? DefaultController(c) : kUnknown;
        }
        channel.program = 0;
        channel.programBank = {0, 0};
        channel.bend = kBendCentre;
        channel.pressure = 0;
    }
    m_parameterCount = 0;
    for (int channel = 0; channel < 16; ++channel) {
        for (std::uint32_t number = 0; number <= 2; ++number) {
            const std::uint32_t key = ParameterKey(channel, false, number);
            Parameter& parameter = Take(key);
            std::tie(parameter.coarse, parameter.fine) = *DefaultParameter(key);
        }
    }
    m_longs = LongPrint{};
}

void DeviceState::HearLong(std::span<const std::uint8_t> message) {
    if (message.size() > 1 && message[0] == kSystemExclusive &&
        IsDeviceReset(message.data() + 1, static_cast<std::uint32_t>(message.size() - 1))) {
        Reset();
    }
    m_longs.Add(message);
}

void DeviceState::Hear(ShortMessage message) {
    const int number = message.status & 0x0F;
    Channel& channel = m_channels[static_cast<std::size_t>(number)];
    switch (message.status & 0xF0) {
        case kControlChange:
            Control(channel, number, message.data1 & 0x7F, message.data2);
            break;
        case kProgramChange:
            channel.program = message.data1;
            channel.programBank = {channel.controller[kBankSelect],
                                   channel.controller[kBankSelectFine]};
            break;
        case kChannelPressure:
            channel.pressure = message.data1;
            break;
        case kPitchBend:
            channel.bend = static_cast<std::uint16_t>(message.data1 | message.data2 << 7);
            break;
        default:
            break;
    }
}

void DeviceState::Control(Channel& channel, int number, std::uint8_t controller,
                          std::uint8_t value) {
    if (controller == kResetAllControllers) {
        for (int c = 0; c < kFirstModeMessage; ++c) {
            if (!SurvivesControllerReset(c) && !IsParameterValue(c)) {
                channel.controller[static_cast<std::size_t>(c)] = DefaultController(c);
            }
        }
        channel.bend = kBendCentre;
        channel.pressure = 0;
    } else if (controller >= kFirstModeMessage) {
        return;
    } else if (!IsParameterValue(controller)) {
        channel.controller[controller] = value;
        if (IsSelection(controller)) {
            channel.nonRegisteredLast = controller < kRegisteredFine;
        }
    } else if (Parameter* parameter = Selected(number)) {
        if (controller == kDataEntry) {
            parameter->coarse = value;
        } else if (controller == kDataEntryFine) {
            parameter->fine = value;
        } else if (parameter->coarse != kUnknown) {
            // A step of the whole 14-bit value, as the file's state counts it.
            const int whole = parameter->coarse << 7 | (parameter->fine == kUnknown ? 0 : parameter->fine);
            const int stepped = std::clamp(whole + (controller == kDataIncrement ? 1 : -1), 0, 16383);
            parameter->coarse = static_cast<std::uint8_t>(stepped >> 7);
            parameter->fine = static_cast<std::uint8_t>(stepped & 0x7F);
        }
    }
}

DeviceState::Parameter* DeviceState::Selected(int number) {
    const Channel& channel = m_channels[static_cast<std::size_t>(number)];
    const bool nonRegistered = channel.nonRegisteredLast;
    const std::uint8_t coarse = channel.controller[nonRegistered ? kNonRegistered : kRegistered];
    const std::uint8_t fine =
        channel.controller[nonRegistered ? kNonRegisteredFine : kRegisteredFine];
    if (coarse == kUnknown || fine == kUnknown || (coarse == kNull && fine == kNull)) {
        return nullptr;  // which parameter data entry changes is not known, or none is
    }
    return &Take(ParameterKey(number, nonRegistered, static_cast<std::uint32_t>(coarse) << 7 | fine));
}

DeviceState::Parameter& DeviceState::Take(std::uint32_t key) {
    for (std::size_t i = 0; i < m_parameterCount; ++i) {
        if (m_parameters[i].key == key) {
            return m_parameters[i];
        }
    }
    if (m_parameterCount == m_parameters.size()) {
        // Full: the oldest is forgotten, so that a move sends it again if it is wanted.
        std::rotate(m_parameters.begin(), m_parameters.begin() + 1, m_parameters.end());
        --m_parameterCount;
    }
    m_parameters[m_parameterCount] = Parameter{key, kUnknown, kUnknown};
    return m_parameters[m_parameterCount++];
}

const DeviceState::Parameter* DeviceState::Find(std::uint32_t key) const {
    for (std::size_t i = 0; i < m_parameterCount; ++i) {
        if (m_parameters[i].key == key) {
            return &m_parameters[i];
        }
    }
    return nullptr;
}

}  // namespace tez
