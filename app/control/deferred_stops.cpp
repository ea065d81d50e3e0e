#include "deferred_stops.h"

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <mutex>

namespace tez {

namespace {

bool IgnoredFromStart(int signal) {
    struct sigaction action {};
    return sigaction(signal, nullptr, &action) == 0 && action.sa_handler == SIG_IGN;
}

}  // namespace

DeferredStops::DeferredStops() {
    sigemptyset(&watched_);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
        if (!IgnoredFromStart(signal)) {
            sigaddset(&watched_, signal);
        }
    }
    signalFd_ = signalfd(-1, &watched_, SFD_CLOEXEC);
    wakeFd_ = eventfd(0, EFD_CLOEXEC);
    if (signalFd_ < 0 || wakeFd_ < 0) {
        return;  // left as they were: the signals end the process at once
    }
    pthread_sigmask(SIG_BLOCK, &watched_, nullptr);
    watcher_ = std::thread([this] { Watch(); });
}

DeferredStops::~DeferredStops() {
    if (watcher_.joinable()) {
        const std::uint64_t wake = 1;
        [[maybe_unused]] const ssize_t written = ::write(wakeFd_, &wake, sizeof wake);
        watcher_.join();
        pthread_sigmask(SIG_UNBLOCK, &watched_, nullptr);
    }
    for (const int fd : {signalFd_, wakeFd_}) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

void DeferredStops::Watch() {
    pollfd watched[] = {{signalFd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
    for (;;) {
        if (::poll(watched, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        if (watched[1].revents != 0) {
            return;
        }
        signalfd_siginfo info{};
        if (::read(signalFd_, &info, sizeof info) == sizeof info) {
            EndBySignal(static_cast<int>(info.ssi_signo));
        }
    }
}

void DeferredStops::EndBySignal(int signal) {
    const std::unique_lock writesDone(writes_);
    // Raised again where it is not blocked, the signal does what it would have done at once.
    sigset_t one;
    sigemptyset(&one);
    sigaddset(&one, signal);
    pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
    raise(signal);
    // Only a handler someone installed returns here; the program goes on as it would have.
    pthread_sigmask(SIG_BLOCK, &one, nullptr);
}

}  // namespace tez
