// The stop signals of the window (SIGINT, SIGTERM, SIGHUP, SIGQUIT) end it at once, as they
// would by default, except while a file is being written: then the stop waits until the
// file is in place or abandoned, so that it leaves the old file or the new one and no
// temporary file beside it. A thread's own signal mask cannot do that in a program of many
// threads, any of which may take a signal sent to the process: the signals are blocked in
// every thread and taken by a thread of this object's own.
#pragma once

#include <signal.h>

#include <shared_mutex>
#include <thread>

namespace tez {

class DeferredStops {
  public:
    // Blocks the stop signals in the calling thread and watches them. Construct it before
    // any other thread starts, so that every thread inherits the mask. A signal ignored from
    // the start (SIGHUP under nohup) stays ignored.
    DeferredStops();
    // Stops watching; a stop signal that came meanwhile then ends the process as it would have.
    ~DeferredStops();
    DeferredStops(const DeferredStops&) = delete;
    DeferredStops& operator=(const DeferredStops&) = delete;

    // While the hold lives, a stop signal waits; several writes may hold at once.
    std::shared_lock<std::shared_mutex> HoldWhileWriting() const {
        return std::shared_lock(writes_);
    }

  private:
    void Watch();
    void EndBySignal(int signal);

    sigset_t watched_{};
    int signalFd_ = -1;
    int wakeFd_ = -1;
    mutable std::shared_mutex writes_;
    std::thread watcher_;
};

// A hold on `stops`, or none when there is nothing to hold (a window run by a test).
inline std::shared_lock<std::shared_mutex> HoldStops(const DeferredStops* stops) {
    return stops ? stops->HoldWhileWriting() : std::shared_lock<std::shared_mutex>();
}

}  // namespace tez
