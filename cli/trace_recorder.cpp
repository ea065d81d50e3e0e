#include "trace_recorder.h"

#include "count_text.h"

namespace tez::cli {

class TracingOutput final : public MidiOutput {
  public:
    TracingOutput(std::unique_ptr<MidiOutput> device, TraceRecorder& recorder)
        : device_(std::move(device)), recorder_(recorder) {}

    bool Send(std::span<const std::uint8_t> message) override {
        recorder_.Record(message);
        return device_->Send(message);
    }
    void SetDueTime(std::chrono::steady_clock::time_point due) override {
        device_->SetDueTime(due);
    }
    DeviceClock* OwnClock() override { return device_->OwnClock(); }
    std::uint64_t Dropped() const override { return device_->Dropped(); }
    bool Lost() const override { return device_->Lost(); }
    void Reset() override { device_->Reset(); }

  private:
    std::unique_ptr<MidiOutput> device_;
    TraceRecorder& recorder_;
};

TraceRecorder::TraceRecorder(MidiDevices& devices, std::size_t maxMessages, std::size_t maxBytes)
    : devices_(devices) {
    entries_.reserve(maxMessages);
    bytes_.reserve(maxBytes);
}

std::unique_ptr<MidiOutput> TraceRecorder::Open(int id) {
    std::unique_ptr<MidiOutput> device = devices_.Open(id);
    if (device == nullptr) {
        return nullptr;
    }
    return std::make_unique<TracingOutput>(std::move(device), *this);
}

void TraceRecorder::Record(std::span<const std::uint8_t> message) {
    const auto at = std::chrono::steady_clock::now();
    if (entries_.size() == entries_.capacity() ||
        message.size() > bytes_.capacity() - bytes_.size()) {
        ++dropped_;  // growing here would allocate on the timer thread
        return;
    }
    const std::uint64_t callback = timer_ != nullptr ? timer_->CallbacksDelivered() - 1 : 0;
    entries_.push_back(Entry{callback, at, bytes_.size(), message.size()});
    bytes_.insert(bytes_.end(), message.begin(), message.end());
}

void TraceRecorder::Write(std::FILE* out, const TimingSummary& timing) const {
    const auto first =
        timer_ != nullptr ? timer_->FirstCallbackAt() : std::chrono::steady_clock::time_point{};
    for (const Entry& entry : entries_) {
        const auto micros =
            std::chrono::duration_cast<std::chrono::microseconds>(entry.at - first).count();
        std::fprintf(out, "%llu %lld", static_cast<unsigned long long>(entry.callback),
                     static_cast<long long>(micros));
        for (std::size_t i = 0; i < entry.length; ++i) {
            std::fprintf(out, " %02X", bytes_[entry.offset + i]);
        }
        std::fputc('\n', out);
    }
    if (dropped_ > 0) {
        std::fprintf(out, "# %s not recorded: the trace was full\n",
                     Counted(dropped_, "message").c_str());
    }
    const auto micros = [](std::chrono::nanoseconds ns) {
        return static_cast<double>(ns.count()) / 1000.0;
    };
    std::fprintf(out,
                 "# callbacks %llu in %.3f ms, drift %lld\n"
                 "# lateness median %lld us, p99 %lld us, max %.1f us\n"
                 "# real-time priority %s\n"
                 "# first callback at %lld ns\n",
                 static_cast<unsigned long long>(timing.callbacks), micros(timing.elapsed) / 1000.0,
                 static_cast<long long>(timing.drift),
                 static_cast<long long>(timing.median.count()),
                 static_cast<long long>(timing.p99.count()), micros(timing.max),
                 timing.realTimePriority ? "yes" : "no",
                 static_cast<long long>(
                     std::chrono::duration_cast<std::chrono::nanoseconds>(first.time_since_epoch())
                         .count()));
}

}  // namespace tez::cli
