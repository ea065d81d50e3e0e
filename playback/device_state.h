// What a device has been sent, as far as that can be known: per channel each controller, the
// program with the bank it was chosen from, pitch bend, pressure and the parameters' values;
// and which system exclusive messages it has heard since its last reset. A playback that
// changes course moves the device from this state to the one it should be in, sending only
// what differs. Fixed in size, so the timer thread keeps it without allocating.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <tuple>
#include <span>
#include <utility>

namespace tez {

// Reset All Controllers leaves these as they are, as General MIDI devices do: bank select,
// volume, pan, the sound controllers and the effect depths.
constexpr bool SurvivesControllerReset(int controller) {
    return controller == 0 || controller == 32 || controller == 7 || controller == 39 ||
           controller == 10 || controller == 42 || (controller >= 70 && controller <= 79) ||
           (controller >= 91 && controller <= 95);
}
// Data entry and its steps change the selected parameter; they are no state of their own.
constexpr bool IsParameterValue(int controller) {
    return controller == 6 || controller == 38 || controller == 96 || controller == 97;
}
// The parameter numbers: 98 and 99 non-registered, 100 and 101 registered.
constexpr bool IsSelection(int controller) {
    return controller >= 98 && controller <= 101;
}
// Controllers 120..127 act at once; nothing of them stays in force.
inline constexpr int kFirstModeMessage = 120;

// One channel message to send, of 2 or 3 bytes.
struct ShortMessage {
    std::uint8_t status = 0;
    std::uint8_t data1 = 0;
    std::uint8_t data2 = 0;
};

// Where messages of the player's own go.
class ShortSink {
  public:
    virtual void Send(ShortMessage message) = 0;

  protected:
    ~ShortSink() = default;
};

// A fingerprint of system exclusive messages heard one after another.
class LongPrint {
  public:
    void Add(std::span<const std::uint8_t> message);
    std::uint64_t Value() const { return m_value; }
    bool operator==(const LongPrint&) const = default;

  private:
    std::uint64_t m_value = 14695981039346656037ull;
};

class DeviceState {
  public:
    static constexpr std::uint8_t kUnknown = 0xFF;
    // A parameter's key: the channel, then 1 for non-registered, then its 14-bit number.
    static std::uint32_t ParameterKey(int channel, bool nonRegistered, std::uint32_t number) {
        return static_cast<std::uint32_t>(channel) << 15 | (nonRegistered ? 1u << 14 : 0) | number;
    }

    struct Channel {
        std::array<std::uint8_t, 128> controller;
        std::uint8_t program = kUnknown;
        std::array<std::uint8_t, 2> programBank{kUnknown, kUnknown};
        std::uint16_t bend = 0xFFFF;
        std::uint8_t pressure = kUnknown;
        bool nonRegisteredLast = false;  // the last parameter number set was a non-registered one
    };
    struct Parameter {
        std::uint32_t key = 0;
        std::uint8_t coarse = kUnknown;
        std::uint8_t fine = kUnknown;
    };

    DeviceState() { Forget(); }
    // A device just opened: nothing of it is known.
    void Forget();
    // After a General MIDI, GS or XG reset: every channel at a General MIDI device's defaults.
    void Reset();
    void Hear(ShortMessage message);
    // A system exclusive message (`message` from F0 on) or escaped bytes.
    void HearLong(std::span<const std::uint8_t> message);

    const Channel& At(int channel) const { return m_channels[static_cast<std::size_t>(channel)]; }
    // The parameter's value as the device has it; nothing when it is not known.
    const Parameter* Find(std::uint32_t key) const;
    std::span<const Parameter> Parameters() const { return {m_parameters.data(), m_parameterCount}; }
    // The messages since the last reset, or since the device was opened.
    const LongPrint& Longs() const { return m_longs; }
    // The value a General MIDI device starts with, for a controller below 120.
    static std::uint8_t DefaultController(int controller);
    // The value of registered parameters 0 to 2 on a device that starts afresh.
    static std::optional<std::pair<std::uint8_t, std::uint8_t>> DefaultParameter(std::uint32_t key);

  private:
    void Control(Channel& channel, int number, std::uint8_t controller, std::uint8_t value);
    Parameter* Selected(int number);
    Parameter& Take(std::uint32_t key);

    std::array<Channel, 16> m_channels;
    // The parameters heard, so many at most: a device that was sent more is not known for
    // the ones beyond, which a move then sends again.
    std::array<Parameter, 64> m_parameters;
    std::size_t m_parameterCount = 0;
    LongPrint m_longs;
};

}  // namespace tez
