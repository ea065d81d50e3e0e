// A periodic callback on a dedicated thread that sleeps to absolute deadlines on the
// monotonic clock, so the number of callbacks never drifts from the time elapsed, except
// across a stall (see kStallLimit).
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
    // A callback delivered at its deadline, late by `lateness`.
    void Add(std::chrono::nanoseconds lateness);
    // A callback with nothing to do, delivered together with later ones on purpose.
    void AddBatched() { ++callbacks_; }

    std::uint64_t Callbacks() const { return callbacks_; }
    std::chrono::nanoseconds MaxLateness() const { return maxLateness_; }
    // The lateness below which `fraction` (0..1) of the callbacks started, to the microsecond.
    std::chrono::microseconds Percentile(double fraction) const;

  private:
    std::vector<std::uint32_t> buckets_;
    std::uint64_t callbacks_ = 0;
    std::uint64_t measured_ = 0;  // the callbacks whose lateness is in the buckets
    std::chrono::nanoseconds maxLateness_{0};
};

// What a finished run of the timer did, for benchmarks and traces.
struct TimingSummary {
    std::uint64_t callbacks = 0;
    std::chrono::nanoseconds elapsed{0};  // from the start to the end of the run
    std::chrono::microseconds median{0};
    std::chrono::microseconds p99{0};
    std::chrono::nanoseconds max{0};
    // Callbacks delivered minus whole periods elapsed at the end of the run: less than 0 by
    // the callbacks a stall held up.
    std::int64_t drift = 0;
    bool realTimePriority = false;
};

class PeriodicTimer {
  public:
    using Callback = void (*)(void* user);
    // How many of the coming callbacks will have nothing to do. The thread then sleeps through
    // them and delivers them together just before the next one that has work, which saves
    // the wake-ups without changing how many callbacks run or when work is done.
    using IdleHint = std::uint64_t (*)(void* user);
    // The longest the thread sleeps through idle callbacks, so a Stop is never kept waiting.
    static constexpr std::uint64_t kMaxIdlePeriods = 10;
    // Callbacks late by less than this (a thread woken late) are all delivered at once, so the
    // count keeps up with the clock. Later ones (the process was stopped, the machine starved)
    // are not made up: the timer goes on from now, and the music resumes where it stood, that
    // much later. Sending them would fire everything missed together; skipping them would
    // lose notes and leave others sounding. Beyond about 50 ms a catch-up is heard as a
    // burst, below it as a slightly late note.
    static constexpr std::chrono::milliseconds kStallLimit{50};

    PeriodicTimer() = default;
    ~PeriodicTimer();
    PeriodicTimer(const PeriodicTimer&) = delete;
    PeriodicTimer& operator=(const PeriodicTimer&) = delete;

    // Calls `callback(user)` once per period, the first one period after the start, one at a
    // time. A running timer is stopped first. False when the thread cannot be started.
    bool Start(std::chrono::nanoseconds period, Callback callback, void* user,
               IdleHint idleHint = nullptr);
    // Returns once no callback runs or will start. Called from inside a callback it only
    // asks the thread to end after that callback.
    void Stop();
    bool IsRunning() const { return thread_.joinable(); }

    // The record of the last run; complete once Stop has returned.
    const TimingRecord& Record() const { return record_; }
    // The deadline of the callback that runs now: when its work was due, counted in whole
    // periods from the start, moved on by any stall. Read it inside a callback.
    std::chrono::steady_clock::time_point CurrentDeadline() const { return currentDeadline_; }
    TimingSummary Summary() const;

  private:
    void Run(std::chrono::nanoseconds period, Callback callback, void* user, IdleHint idleHint);

    std::thread thread_;
    std::atomic<bool> stopRequested_{false};
    std::atomic<bool> realTime_{false};
    TimingRecord record_;
    std::chrono::steady_clock::time_point startedAt_{};
    std::chrono::steady_clock::time_point stoppedAt_{};
    std::chrono::steady_clock::time_point currentDeadline_{};  // the timer thread's own
    std::chrono::nanoseconds period_{0};
};

}  // namespace tez
