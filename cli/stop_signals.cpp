#include "stop_signals.h"

#include <pthread.h>

namespace tez::cli {

sigset_t BlockStopSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
        sigaddset(&signals, signal);
    }
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    return signals;
}

int WaitForStopSignal(const sigset_t& signals, std::chrono::nanoseconds timeout) {
    timespec wait{};
    wait.tv_sec = static_cast<time_t>(timeout.count() / 1'000'000'000);
    wait.tv_nsec = static_cast<long>(timeout.count() % 1'000'000'000);
    const int signal = sigtimedwait(&signals, nullptr, &wait);
    return signal > 0 ? signal : 0;
}

}  // namespace tez::cli
