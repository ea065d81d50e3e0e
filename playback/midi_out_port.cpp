#include "playback/midi_out_port.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

namespace tez {

std::size_t ShortMessageLength(std::uint8_t status) {
    if (status < 0x80) {
        return 0;
    }
    if (status < 0xF0) {
        return (status & 0xE0) == 0xC0 ? 2 : 3;
    }
    switch (status) {
        case 0xF1:
        case 0xF3:
            return 2;
        case 0xF2:
            return 3;
        default:
            return 1;
    }
}

CMidiOutPort::CMidiOutPort(MidiDevices& devices) : m_devices(devices) {}

CMidiOutPort::~CMidiOutPort() {
    Close();
}

int CMidiOutPort::Open(int deviceId) {
    if (m_output != nullptr && deviceId == m_deviceId) {
        return 1;
    }
    if (m_output != nullptr) {
        Close();
    }
    m_deviceId = deviceId;
    m_output = m_devices.Open(deviceId);
    return m_output != nullptr ? 1 : 0;
}

int CMidiOutPort::Close() {
    if (m_output == nullptr) {
        return 0;
    }
    m_output->Reset();
    // Read after the reset: it waits for whatever was still queued.
    m_droppedBefore += m_output->Dropped();
    m_lostBefore = m_lostBefore || m_output->Lost();
    m_output.reset();
    return 1;
}

std::uint64_t CMidiOutPort::DroppedMessages() const {
    return m_droppedBefore + (m_output != nullptr ? m_output->Dropped() : 0);
}

bool CMidiOutPort::DeviceLost() const {
    return m_lostBefore || (m_output != nullptr && m_output->Lost());
}

int CMidiOutPort::ShortMsg(std::uint8_t status, std::uint8_t data1, std::uint8_t data2) {
    if (m_output == nullptr) {
        return 0;
    }
    const std::array<std::uint8_t, 3> message{status, data1, data2};
    const std::size_t length = std::max<std::size_t>(ShortMessageLength(status), 1);
    return m_output->Send(std::span(message).first(length)) ? 1 : 0;
}

int CMidiOutPort::LongMsg(std::span<const std::uint8_t> message) {
    if (m_output == nullptr || message.empty()) {
        return 0;
    }
    return m_output->Send(message) ? 1 : 0;
}

void CMidiOutPort::GetDeviceName(int deviceId, char* buffer, std::size_t size) const {
    if (buffer == nullptr || size == 0) {
        return;
    }
    const std::string name = m_devices.Name(deviceId);
    const std::size_t length = std::min(name.size(), size - 1);
    std::memcpy(buffer, name.data(), length);
    buffer[length] = 0;
}

}  // namespace tez
