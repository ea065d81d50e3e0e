// The device boundary of the window's tests: devices that record what playback sends,
// safe to use from the worker and timer threads, and that can hold a worker inside Open.
#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "platform/midi_devices.h"

namespace tez::apptest {

// How long a test waits for something another thread does before it calls it lost. Only a
// guard against hanging: how fast playback reacts is measured by the benchmarks.
inline constexpr std::chrono::milliseconds kPatience{5000};

struct OutputRecord {
    int deviceId = 0;
    int messages = 0;
    int noteOns = 0;
    bool resetBeforeClose = false;
    bool closed = false;
};

class RecordingDevices final : public MidiDevices {
  public:
    explicit RecordingDevices(int count = 2) : count_(count) {}

    int Count() override { return count_; }
    std::string Name(int id) override {
        return id >= -1 && id < count_ ? "device " + std::to_string(id) : "";
    }
    std::unique_ptr<MidiOutput> Open(int id) override;

    // While held, Open waits until Release: a worker stays "starting".
    void HoldOpens();
    void ReleaseOpens();
    // Waits until Open has been entered `count` times in all; false after `timeout`.
    bool WaitForOpenAttempts(int count, std::chrono::milliseconds timeout);
    // Waits until no output is open; false after `timeout`.
    bool WaitUntilAllClosed(std::chrono::milliseconds timeout);

    int OpenAttempts() const;
    int LiveOutputs() const;
    // The most outputs that were ever open at the same time.
    int MostLiveOutputs() const;
    std::vector<OutputRecord> Outputs() const;

  private:
    class Output;
    void Record(std::size_t index, const std::uint8_t* bytes, std::size_t size);
    void RecordReset(std::size_t index);
    void RecordClose(std::size_t index);

    const int count_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool held_ = false;
    int openAttempts_ = 0;
    int live_ = 0;
    int mostLive_ = 0;
    std::vector<OutputRecord> outputs_;
};

class RecordingDevices::Output final : public MidiOutput {
  public:
    Output(RecordingDevices& devices, std::size_t index) : devices_(devices), index_(index) {}
    ~Output() override { devices_.RecordClose(index_); }
    bool Send(std::span<const std::uint8_t> message) override {
        devices_.Record(index_, message.data(), message.size());
        return true;
    }
    void Reset() override { devices_.RecordReset(index_); }

  private:
    RecordingDevices& devices_;
    std::size_t index_;
};

inline std::unique_ptr<MidiOutput> RecordingDevices::Open(int id) {
    std::unique_lock lock(mutex_);
    ++openAttempts_;
    changed_.notify_all();
    changed_.wait(lock, [this] { return !held_; });
    if (id < -1 || id >= count_) {
        return nullptr;
    }
    outputs_.push_back(OutputRecord{id});
    mostLive_ = std::max(mostLive_, ++live_);
    return std::make_unique<Output>(*this, outputs_.size() - 1);
}

inline void RecordingDevices::HoldOpens() {
    std::lock_guard lock(mutex_);
    held_ = true;
}

inline void RecordingDevices::ReleaseOpens() {
    std::lock_guard lock(mutex_);
    held_ = false;
    changed_.notify_all();
}

inline bool RecordingDevices::WaitForOpenAttempts(int count, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return openAttempts_ >= count; });
}

inline bool RecordingDevices::WaitUntilAllClosed(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return live_ == 0; });
}

inline int RecordingDevices::OpenAttempts() const {
    std::lock_guard lock(mutex_);
    return openAttempts_;
}

inline int RecordingDevices::LiveOutputs() const {
    std::lock_guard lock(mutex_);
    return live_;
}

inline int RecordingDevices::MostLiveOutputs() const {
    std::lock_guard lock(mutex_);
    return mostLive_;
}

inline std::vector<OutputRecord> RecordingDevices::Outputs() const {
    std::lock_guard lock(mutex_);
    return outputs_;
}

inline void RecordingDevices::Record(std::size_t index, const std::uint8_t* bytes,
                                     std::size_t size) {
    std::lock_guard lock(mutex_);
    OutputRecord& output = outputs_[index];
    ++output.messages;
    if (size == 3 && (bytes[0] & 0xF0) == 0x90 && bytes[2] != 0) {
        ++output.noteOns;
    }
}

inline void RecordingDevices::RecordReset(std::size_t index) {
    std::lock_guard lock(mutex_);
    outputs_[index].resetBeforeClose = true;
}

inline void RecordingDevices::RecordClose(std::size_t index) {
    std::lock_guard lock(mutex_);
    outputs_[index].closed = true;
    --live_;
    changed_.notify_all();
}

}  // namespace tez::apptest
