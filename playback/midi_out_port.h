// One open MIDI output device at a time, chosen by id: -1 is the built-in synthesizer,
// 0..n-1 the system's MIDI ports.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "platform/midi_devices.h"

namespace tez {

class CMidiOutPort {
  public:
    explicit CMidiOutPort(MidiDevices& devices = SystemMidiDevices());
    ~CMidiOutPort();
    CMidiOutPort(const CMidiOutPort&) = delete;
    CMidiOutPort& operator=(const CMidiOutPort&) = delete;

    // 1 when the device is open afterwards. The id is remembered even when opening fails.
    // The same id while open does nothing; another id closes the open device first.
    int Open(int deviceId);
    // Resets the device so that no note keeps sounding, then closes it. 0 when none is open.
    int Close();
    // A channel message: the status and the data bytes it takes (one or two).
    // 0 and nothing sent when no device is open or the device refuses it.
    int ShortMsg(std::uint8_t status, std::uint8_t data1, std::uint8_t data2);
    // A system exclusive message (F0 and its bytes) or any bytes to pass on as they stand.
    // The bytes are sent before it returns.
    int LongMsg(std::span<const std::uint8_t> message);
    // When the messages sent from now on were due; the device plays them one constant
    // latency after it where it can place messages in time.
    void SetDueTime(std::chrono::steady_clock::time_point due) {
        if (m_output != nullptr) {
            m_output->SetDueTime(due);
        }
    }
    // The open device's own clock, when it counts time by itself; else nullptr.
    DeviceClock* OwnClock() const { return m_output != nullptr ? m_output->OwnClock() : nullptr; }
    // Messages the devices opened on this port dropped because they could never reach them.
    std::uint64_t DroppedMessages() const;
    // Whether a device opened on this port went away while in use (a JACK server ended).
    bool DeviceLost() const;
    // The device's name, cut to fit `size` bytes with its NUL; empty when the id names none.
    void GetDeviceName(int deviceId, char* buffer, std::size_t size) const;

    bool IsOpen() const { return m_output != nullptr; }
    int DeviceId() const { return m_deviceId; }

  private:
    MidiDevices& m_devices;
    std::unique_ptr<MidiOutput> m_output;  // null when no device is open
    int m_deviceId = 0;
    std::uint64_t m_droppedBefore = 0;  // by the devices closed so far
    bool m_lostBefore = false;
};

// The number of bytes a message with this status byte carries, the status included
// (0 for a data byte, which carries no status).
std::size_t ShortMessageLength(std::uint8_t status);

}  // namespace tez
