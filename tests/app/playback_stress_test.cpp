// A thousand Play/Stop presses, device changes and score loads at random short
// intervals, with the handshake shortened so that every interleaving of the form, the
// worker and the timer gets its chance. Run under ThreadSanitizer as well.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <thread>

#include "control_fixture.h"

namespace tez {
namespace {

std::size_t ThreadCount() {
    const std::filesystem::directory_iterator tasks("/proc/self/task");
    return static_cast<std::size_t>(std::distance(begin(tasks), end(tasks)));
}

TEST(PlaybackStress, ThousandPressesLeaveNoWorkerThreadOrSoundingDevice) {
    apptest::ScratchDir scratch;
    test::RecordingDevices devices(3);
    apptest::RecordingHost host;
    apptest::ResetPlaybackWords();
    apptest::WriteMidiFileOf("K60 V100 L2\nI2 K61 V100 L2\n");
    // ThreadSanitizer starts a helper thread of its own with the first thread created;
    // let that happen before counting.
    std::thread([] {}).join();
    const std::size_t threadsBefore = ThreadCount();
    std::mt19937 random(20240613);
    {
        PlaybackControl control(host, devices, std::chrono::milliseconds(2));
        for (int press = 0; press < 1000; ++press) {
            const int kind = static_cast<int>(random() % 100);
            if (kind < 50) {
                control.OnPlayStop();
            } else if (kind < 80) {
                host.selection = kind % 4;
                control.OnSelchangeDeviceList();
            } else {  // the form rewrites the file while a worker may be loading it
                apptest::WriteMidiFileOf(kind % 2 == 0 ? "K60 V1 L1\n" : "K60 V1 L40\nI40 K62\n");
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(random() % 4));
        }
    }
    EXPECT_FALSE(g_playThread.IsHeld());
    EXPECT_EQ(g_runFlag + g_playing, 0);
    EXPECT_EQ(ThreadCount(), threadsBefore);
    EXPECT_EQ(devices.LiveOutputs(), 0);
    EXPECT_EQ(devices.MostLiveOutputs(), 1);
    const auto outputs = devices.Outputs();
    EXPECT_GT(outputs.size(), 50u);
    for (const auto& output : outputs) {
        EXPECT_TRUE(output.closed && output.resetBeforeClose);
    }
    EXPECT_TRUE(host.messages.empty());
}

}  // namespace
}  // namespace tez
