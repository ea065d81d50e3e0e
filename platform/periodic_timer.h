// A periodic callback on a dedicated thread that sleeps to absolute deadlines on the
// monotonic clock, so the number of callbacks never drifts from the time elapsed.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

namespace tez {

// How late the callbacks of one run started, kept in fixed buckets so that recording a
// callback never allocates. Written by the timer thread; read after PeriodicTimer::Stop.
class TimingRecord {
  public:
    static constexpr std::int64_t kBucketMicros = 1;
    static constexpr std::int64_t kBucketCount = 20000;  // 20 ms in 1 us steps, then one overflow

    TimingRecord();
    void Clear();
    void Add(std::chrono::nanoseconds lateness);

    std::uint64_t Callbacks() const { return callbacks_; }
    std::chrono::nanoseconds MaxLateness() const { return maxLateness_; }
    // The lateness below which `fraction` (0..1) of the callbacks started, to the microsecond.
    std::chrono::microseconds Percentile(double fraction) const;

  private:
    std::vector<std::uint32_t> buckets_;
    std::uint64_t callbacks_ = 0;
    std::chrono::nanoseconds maxLateness_{0};
};

// What a finished run of the timer did, for benchmarks and traces.
struct TimingSummary {
    std::uint64_t callbacks = 0;
    std::chrono::nanoseconds elapsed{0};  // from the start to the end of the run
    std::chrono::microseconds median{0};
    std::chrono::microseconds p99{0};
    std::chrono::nanoseconds max{0};
    // Callbacks delivered minus whole periods elapsed at the end of the run.
    std::int64_t drift = 0;
    bool realTimePriority = false;
};

class PeriodicTimer {
  public:
    using Callback = void (*)(void* user);

    PeriodicTimer() = default;
    ~PeriodicTimer();
    PeriodicTimer(const PeriodicTimer&) = delete;
    PeriodicTimer& operator=(const PeriodicTimer&) = delete;

    // Calls `callback(user)` once per period, the first one period after the start, one at a
    // time. A running timer is stopped first. False when the thread cannot be started.
    bool Start(std::chrono::nanoseconds period, Callback callback, void* user);
    // Returns once no callback runs or will start. Called from inside a callback it only
    // asks the thread to end after that callback.
    void Stop();
    bool IsRunning() const { return thread_.joinable(); }

    // The record of the last run; complete once Stop has returned.
    const TimingRecord& Record() const { return record_; }
    // When the first callback of the last run started; read after Stop.
    std::chrono::steady_clock::time_point FirstCallbackAt() const { return firstCallbackAt_; }
    TimingSummary Summary() const;

  private:
    void Run(std::chrono::nanoseconds period, Callback callback, void* user);

    std::thread thread_;
    std::atomic<bool> stopRequested_{false};
    std::atomic<bool> realTime_{false};
    TimingRecord record_;
    std::chrono::steady_clock::time_point startedAt_{};
    std::chrono::steady_clock::time_point stoppedAt_{};
    std::chrono::steady_clock::time_point firstCallbackAt_{};
    std::chrono::nanoseconds period_{0};
};

}  // namespace tez
