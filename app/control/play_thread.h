// The handle of one playback worker thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

namespace tez {

// The exit code a worker reads as until its routine has returned.
inline constexpr std::uint32_t kStillActive = 259;

class PlayThread {
  public:
    using Routine = std::function<std::uint32_t(std::uintptr_t)>;

    PlayThread() = default;
    PlayThread(const PlayThread&) = delete;
    PlayThread& operator=(const PlayThread&) = delete;
    // Waits for a worker still held: a thread left running at exit would abort the process.
    ~PlayThread();

    // Runs `routine(argument)` on a new thread at once. False, with no handle held, when
    // the system cannot create the thread. Must not be called while a handle is held.
    bool Start(Routine routine, std::uintptr_t argument);
    // True from a successful Start until Release.
    bool IsHeld() const { return thread_.joinable(); }
    // kStillActive while the routine runs, then what it returned.
    std::uint32_t ExitCode() const { return exitCode_.load(); }
    // Gives the handle up, first waiting for the worker to end if it still runs.
    void Release();

  private:
    std::thread thread_;
    std::atomic<std::uint32_t> exitCode_{0};
};

}  // namespace tez
