// The process-wide playback words shared by the form and the playback worker.
//
// The form writes the run flag and the chosen device, the worker reads them; the worker
// raises the playing flag once its player runs. Each word is read and written whole, and
// that is their only synchronisation: a stop is a timed handshake (the form clears the
// run flag and pauses, the worker looks at the flag after each of its waits).
#pragma once

#include <atomic>
#include <cstdint>

#include "control/play_thread.h"

namespace tez {

// Device id for the next playback: -1 the built-in synthesizer, 0..n-1 the system's ports.
extern std::atomic<std::int32_t> g_deviceId;
// Non-zero while a started playback may go on; zero asks the worker to end.
extern std::atomic<std::int32_t> g_runFlag;
// 1 from the moment the worker's player runs until a stop, a device change or a poll
// that finds the worker ended.
extern std::atomic<std::int32_t> g_playing;
// The exit code the last poll read from the worker.
extern std::atomic<std::uint32_t> g_threadExitCode;
// The worker of the latest playback. Used by the form's thread alone.
extern PlayThread g_playThread;

// The argument every worker is started with; a worker exits with ten times it.
inline constexpr std::uintptr_t kWorkerArgument = 1;

}  // namespace tez
