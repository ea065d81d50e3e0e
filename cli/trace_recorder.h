// Records every message a playback hands to its device, with the callback it went out in
// and when, into storage reserved beforehand: the timer thread never allocates.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include "platform/midi_devices.h"
#include "platform/periodic_timer.h"
#include "playback/midi_timer.h"

namespace tez::cli {

class TraceRecorder final : public MidiDevices {
  public:
    TraceRecorder(MidiDevices& devices, std::size_t maxMessages, std::size_t maxBytes);

    // The timer whose callbacks number the messages; set before the playback starts.
    void Follow(const CMidiTimer& timer) { timer_ = &timer; }

    int Count() override { return devices_.Count(); }
    std::string Name(int id) override { return devices_.Name(id); }
    std::unique_ptr<MidiOutput> Open(int id) override;
    std::string OpenFailure(int id) override { return devices_.OpenFailure(id); }
    void Prepare(int id) override { devices_.Prepare(id); }

    // One line per message: callback, microseconds since the first callback, bytes in hex.
    // Then the timing summary.
    void Write(std::FILE* out, const TimingSummary& timing) const;

  private:
    friend class TracingOutput;
    struct Entry {
        std::uint64_t callback;
        std::chrono::steady_clock::time_point at;
        std::size_t offset;
        std::size_t length;
    };
    void Record(std::span<const std::uint8_t> message);

    MidiDevices& devices_;
    const CMidiTimer* timer_ = nullptr;
    std::vector<Entry> entries_;
    std::vector<std::uint8_t> bytes_;
    std::size_t dropped_ = 0;
};

}  // namespace tez::cli
