// The device boundary of the playback and window tests: devices that record what playback
// hands to them, safe to use from the worker and timer threads, and that can hold a worker
// inside Open.
#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "platform/midi_devices.h"

namespace tez::test {

using Bytes = std::vector<std::uint8_t>;

// How long a test waits for something another thread does before it calls it lost. Only a
// guard against hanging: how fast playback reacts is measured by the benchmarks.
inline constexpr std::chrono::milliseconds kPatience{5000};

template <typename Condition>
bool WaitUntil(Condition condition, std::chrono::milliseconds timeout = kPatience) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

inline std::string Hex(std::span<const std::uint8_t> bytes) {
    static const char* kHex = "0123456789ABCDEF";
    std::string text;
    for (std::uint8_t b : bytes) {
        if (!text.empty()) {
            text += ' ';
        }
        text += kHex[b >> 4];
        text += kHex[b & 15];
    }
    return text;
}

struct OutputRecord {
    int deviceId = 0;
    int noteOns = 0;
    bool resetBeforeClose = false;
};

// Devices -1..count-1 exist; opening `refused` fails. Everything that happens is kept in
// order as text: "open 3", "send 90 3C 64", "reset", "close".
class RecordingDevices final : public MidiDevices {
    // Every record is read and written under the one lock; any change wakes the waiters.
    template <typename Action>
    auto Locked(Action action) const {
        std::lock_guard lock(mutex_);
        changed_.notify_all();
        return action();
    }
    template <typename Condition>
    bool Wait(Condition condition) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, kPatience, condition);
    }

  public:
    explicit RecordingDevices(int count = 2, int refused = -100)
        : count_(count), refused_(refused) {}

    // Devices shared by tests that never open one.
    static RecordingDevices& Instance() {
        static RecordingDevices devices;
        return devices;
    }

    int Count() override { return count_; }
    std::string Name(int id) override {
        return id >= -1 && id < count_ ? "device " + std::to_string(id) : "";
    }
    std::unique_ptr<MidiOutput> Open(int id) override;

    // While held, Open waits until released: a worker stays "starting".
    void HoldOpens(bool hold = true) {
        Locked([&] { held_ = hold; });
    }
    void ReleaseOpens() { HoldOpens(false); }
    // While set, the outputs take no note-on and count it dropped, as a full queue does.
    void DropNoteOns(bool drop = true) {
        Locked([&] { dropNoteOns_ = drop; });
    }
    bool WaitForOpenAttempts(int count) {
        return Wait([&] { return openAttempts_ >= count; });
    }
    bool WaitUntilAllClosed() {
        return Wait([&] { return live_ == 0; });
    }
    bool WaitForSends(int count) {
        return Wait([&] { return sends_ >= count; });
    }

    std::vector<std::string> Events() const {
        return Locked([&] { return events_; });
    }
    int OpenAttempts() const {
        return Locked([&] { return openAttempts_; });
    }
    int LiveOutputs() const {
        return Locked([&] { return live_; });
    }
    // The most outputs that were ever open at the same time.
    int MostLiveOutputs() const {
        return Locked([&] { return mostLive_; });
    }
    std::vector<OutputRecord> Outputs() const {
        return Locked([&] { return outputs_; });
    }

  private:
    class Output;

    const int count_;
    const int refused_;
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    bool held_ = false;
    bool dropNoteOns_ = false;
    int openAttempts_ = 0;
    int live_ = 0;
    int mostLive_ = 0;
    std::vector<OutputRecord> outputs_;
    std::vector<std::string> events_;
    int sends_ = 0;
};

class RecordingDevices::Output final : public MidiOutput {
  public:
    Output(RecordingDevices& devices, std::size_t index) : devices_(devices), index_(index) {}
    ~Output() override {
        devices_.Locked([&] {
            --devices_.live_;
            devices_.events_.push_back("close");
        });
    }
    bool Send(std::span<const std::uint8_t> message) override {
        return devices_.Locked([&] {
            const bool noteOn = message.size() == 3 && (message[0] & 0xF0) == 0x90;
            if (noteOn && devices_.dropNoteOns_) {
                ++dropped_;
                return true;
            }
            Record().noteOns += noteOn && message[2] != 0 ? 1 : 0;
            ++devices_.sends_;
            devices_.events_.push_back("send " + Hex(message));
            return true;
        });
    }
    std::uint64_t Dropped() const override {
        return devices_.Locked([&] { return dropped_; });
    }
    void Reset() override {
        devices_.Locked([&] {
            Record().resetBeforeClose = true;
            devices_.events_.push_back("reset");
        });
    }

  private:
    OutputRecord& Record() { return devices_.outputs_[index_]; }

    RecordingDevices& devices_;
    std::size_t index_;
    std::uint64_t dropped_ = 0;
};

inline std::unique_ptr<MidiOutput> RecordingDevices::Open(int id) {
    std::unique_lock lock(mutex_);
    ++openAttempts_;
    events_.push_back("open " + std::to_string(id));
    changed_.notify_all();
    changed_.wait(lock, [this] { return !held_; });
    if (id < -1 || id >= count_ || id == refused_) {
        return nullptr;
    }
    outputs_.push_back(OutputRecord{id});
    mostLive_ = std::max(mostLive_, ++live_);
    return std::make_unique<Output>(*this, outputs_.size() - 1);
}

}  // namespace tez::test
