#include "platform/periodic_timer.h"

#include <pthread.h>
#include <sched.h>
#include <sys/prctl.h>
#include <time.h>

#include <algorithm>
#include <cerrno>

namespace tez {
namespace {

using Clock = std::chrono::steady_clock;  // CLOCK_MONOTONIC on Linux
constexpr std::chrono::microseconds kFinalApproach{300};

timespec ToTimespec(Clock::time_point t) {
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch());
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(ns.count() / 1'000'000'000);
    ts.tv_nsec = static_cast<long>(ns.count() % 1'000'000'000);
    return ts;
}

void SleepUntil(Clock::time_point deadline) {
    const timespec ts = ToTimespec(deadline);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
    }
}

// Real-time priority where the system allows it; without it the timer still runs, only
// with more jitter under load.
bool AskForRealTimePriority() {
    sched_param param{};
    param.sched_priority = std::min(sched_get_priority_max(SCHED_FIFO), 80);
    return pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) == 0;
}

}  // namespace

TimingRecord::TimingRecord() : buckets_(kBucketCount + 1, 0) {}

void TimingRecord::Clear() {
    std::fill(buckets_.begin(), buckets_.end(), 0);
    callbacks_ = 0;
    measured_ = 0;
    maxLateness_ = std::chrono::nanoseconds{0};
}

void TimingRecord::Add(std::chrono::nanoseconds lateness) {
    if (lateness.count() < 0) {
        lateness = std::chrono::nanoseconds{0};
    }
    const std::int64_t micros = lateness.count() / 1000 / kBucketMicros;
    ++buckets_[static_cast<std::size_t>(std::min(micros, kBucketCount))];
    ++callbacks_;
    ++measured_;
    maxLateness_ = std::max(maxLateness_, lateness);
}

std::chrono::microseconds TimingRecord::Percentile(double fraction) const {
    if (measured_ == 0) {
        return std::chrono::microseconds{0};
    }
    const auto wanted = static_cast<std::uint64_t>(fraction * static_cast<double>(measured_));
    std::uint64_t seen = 0;
    for (std::size_t i = 0; i < buckets_.size(); ++i) {
        seen += buckets_[i];
        if (seen > wanted || seen == measured_) {
            return std::chrono::microseconds{static_cast<std::int64_t>(i) * kBucketMicros};
        }
    }
    return std::chrono::microseconds{kBucketCount * kBucketMicros};
}

PeriodicTimer::~PeriodicTimer() {
    Stop();
}

bool PeriodicTimer::Start(std::chrono::nanoseconds period, Callback callback, void* user,
                          IdleHint idleHint) {
    Stop();
    if (period.count() <= 0 || callback == nullptr) {
        return false;
    }
    record_.Clear();
    stopRequested_.store(false);
    realTime_.store(false);
    period_ = period;
    startedAt_ = Clock::now();
    try {
        thread_ = std::thread(&PeriodicTimer::Run, this, period, callback, user, idleHint);
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void PeriodicTimer::Stop() {
    if (!thread_.joinable()) {
        return;
    }
    stopRequested_.store(true);
    if (thread_.get_id() == std::this_thread::get_id()) {
        return;  // the owner's later Stop joins
    }
    thread_.join();
    stoppedAt_ = Clock::now();
}

void PeriodicTimer::Run(std::chrono::nanoseconds period, Callback callback, void* user,
                        IdleHint idleHint) {
    realTime_.store(AskForRealTimePriority());
    // Without real-time priority the kernel may add up to 50 us of slack to every wake-up.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    auto deadline = startedAt_ + period;
    while (!stopRequested_.load(std::memory_order_relaxed)) {
        const std::uint64_t idle =
            idleHint != nullptr ? std::min(idleHint(user), kMaxIdlePeriods) : 0;
        // The last idle period is slept as usual: a wake-up from a long sleep comes later,
        // and the tick with work must come on time.
        const auto wakeAt = deadline + (idle > 1 ? idle - 1 : 0) * period;
        if (wakeAt > deadline) {
            // A short last sleep before the deadline: waking from a long one takes longer.
            SleepUntil(wakeAt - kFinalApproach);
        }
        SleepUntil(wakeAt);
        auto now = Clock::now();
        if (now - wakeAt > kStallLimit) {
            deadline += (now - wakeAt) / period * period;  // a stall: go on from here
        }
        // After a late wake-up every missed callback is delivered now, so the count keeps up
        // with the clock; so are the idle ones slept through on purpose.
        while (now >= deadline) {
            // Idle callbacks slept through are still owed, also to a timer being stopped: so
            // the count matches the clock to the end.
            const bool batched = deadline < wakeAt;
            if (!batched && stopRequested_.load(std::memory_order_relaxed)) {
                break;
            }
            if (batched) {
                record_.AddBatched();
            } else {
                record_.Add(now - deadline);
            }
            currentDeadline_ = deadline;
            callback(user);
            deadline += period;
            now = Clock::now();
        }
    }
}

TimingSummary PeriodicTimer::Summary() const {
    TimingSummary summary;
    summary.callbacks = record_.Callbacks();
    summary.elapsed = stoppedAt_ - startedAt_;
    summary.median = record_.Percentile(0.5);
    summary.p99 = record_.Percentile(0.99);
    summary.max = record_.MaxLateness();
    if (period_.count() > 0) {
        summary.drift = static_cast<std::int64_t>(summary.callbacks) -
                        static_cast<std::int64_t>(summary.elapsed / period_);
    }
    summary.realTimePriority = realTime_.load();
    return summary;
}

}  // namespace tez
