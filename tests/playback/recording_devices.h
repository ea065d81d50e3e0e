// A device boundary that records what the code under test hands to it.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/midi_devices.h"

namespace tez::test {

using Bytes = std::vector<std::uint8_t>;

// What happened at the devices, in order, as text: "open 3", "send 90 3C 64", "reset".
struct DeviceLog {
    std::vector<std::string> events;
    std::vector<Bytes> sent;
    std::atomic<std::size_t> sends{0};  // for a thread that waits while another sends
};

class RecordingOutput final : public MidiOutput {
  public:
    explicit RecordingOutput(DeviceLog& log) : log_(log) {}
    ~RecordingOutput() override { log_.events.push_back("close"); }
    bool Send(std::span<const std::uint8_t> message) override {
        log_.sent.emplace_back(message.begin(), message.end());
        std::string line = "send";
        for (std::uint8_t b : message) {
            static const char* kHex = "0123456789ABCDEF";
            line += ' ';
            line += kHex[b >> 4];
            line += kHex[b & 15];
        }
        log_.events.push_back(line);
        log_.sends.fetch_add(1);
        return true;
    }
    void Reset() override { log_.events.push_back("reset"); }

  private:
    DeviceLog& log_;
};

// Devices -1..count-1 exist; opening any id in `refused` fails.
class RecordingDevices final : public MidiDevices {
  public:
    explicit RecordingDevices(int count = 2) : count_(count) {}
    int Count() override { return count_; }
    std::string Name(int id) override {
        return id >= -1 && id < count_ ? "device " + std::to_string(id) : "";
    }
    std::unique_ptr<MidiOutput> Open(int id) override {
        log.events.push_back("open " + std::to_string(id));
        if (id < -1 || id >= count_ || id == refused) {
            return nullptr;
        }
        return std::make_unique<RecordingOutput>(log);
    }

    // Devices shared by tests that never open one.
    static RecordingDevices& Instance() {
        static RecordingDevices devices;
        return devices;
    }

    DeviceLog log;
    int refused = -100;

  private:
    int count_;
};

}  // namespace tez::test
