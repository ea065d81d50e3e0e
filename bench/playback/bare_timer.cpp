// The baseline for the player's timer: a bare 1 ms loop on this machine, with nothing in it
// but the wait. Absolute deadlines on the monotonic clock, real-time priority where allowed,
// no timer slack. Prints "bare p99 P us max M us rt yes|no" for the lateness of its wake-ups.
// Usage: bare_timer SECONDS
#include <pthread.h>
#include <sched.h>
#include <sys/prctl.h>
#include <time.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

std::int64_t NowNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1'000'000'000LL + ts.tv_nsec;
}

void SleepUntil(std::int64_t deadline) {
    timespec ts{};
    ts.tv_sec = deadline / 1'000'000'000;
    ts.tv_nsec = deadline % 1'000'000'000;
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
    }
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
    sched_param param{};
    param.sched_priority = std::min(sched_get_priority_max(SCHED_FIFO), 80);
    const bool realTime = pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) == 0;
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    std::vector<std::int64_t> lateness(static_cast<std::size_t>(seconds) * 1000);
    std::int64_t deadline = NowNs();
    for (auto& late : lateness) {
        deadline += 1'000'000;
        SleepUntil(deadline);
        late = NowNs() - deadline;
    }
    std::sort(lateness.begin(), lateness.end());
    std::printf("bare p99 %lld us max %.1f us rt %s\n",
                static_cast<long long>(lateness[lateness.size() * 99 / 100] / 1000),
                static_cast<double>(lateness.back()) / 1000.0, realTime ? "yes" : "no");
}
