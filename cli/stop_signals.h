// The signals that end a playback or a render: Ctrl+C, SIGTERM, the terminal closing
// (SIGHUP) and Ctrl+\ (SIGQUIT). They are never taken by a handler: they are blocked in
// every thread and collected where it is safe to clean up.
#pragma once

#include <signal.h>

#include <chrono>

namespace tez::cli {

// Blocks the stop signals in the calling thread; call it before any other thread starts, so
// that every thread inherits the mask.
sigset_t BlockStopSignals();

// Waits up to `timeout` for a stop signal; answers it, or 0.
int WaitForStopSignal(const sigset_t& signals, std::chrono::nanoseconds timeout);

// The exit status of a command ended by `signal`, as a shell reports it.
constexpr int StoppedExitStatus(int signal) {
    return 128 + signal;
}

}  // namespace tez::cli
