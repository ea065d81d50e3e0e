#include "control/playback_state.h"

namespace tez {

std::atomic<std::int32_t> g_deviceId{-1};
std::atomic<std::int32_t> g_runFlag{0};
std::atomic<std::int32_t> g_playing{0};
std::atomic<std::uint32_t> g_threadExitCode{0};
PlayThread g_playThread;

}  // namespace tez
