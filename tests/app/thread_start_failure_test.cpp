// A playback whose worker thread cannot be created. Kept apart from the other playback
// tests: it limits the address space of a child process, which sanitizers cannot run in.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "control_fixture.h"

namespace tez {
namespace {

using apptest::Texts;

// With too little address space left for a thread's stack, the start fails: the user is
// told, and the state stays idle so that the next press starts afresh.
TEST(PlaybackStart, WorkerThatCannotStartIsReportedAndLeavesTheStateIdle) {
    apptest::ScratchDir scratch;
    apptest::RecordingHost host;
    test::RecordingDevices devices;
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            PlaybackControl control(host, devices);
            rlimit limit{};
            getrlimit(RLIMIT_AS, &limit);
            std::size_t used = 0;
            std::ifstream("/proc/self/statm") >> used;
            limit.rlim_cur = used * sysconf(_SC_PAGESIZE) + (1 << 20);
            setrlimit(RLIMIT_AS, &limit);
            control.OnPlayStop();
            const bool reported = host.messages == Texts{"cannot start playback."};
            const bool idle =
                host.statuses.empty() && g_runFlag == 0 && g_playing == 0 && !g_playThread.IsHeld();
            std::_Exit(reported && idle ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace tez
