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

using std::chrono::milliseconds;

std::size_t ThreadCount() {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& task :
         std::filesystem::directory_iterator("/proc/self/task")) {
        ++count;
    }
    return count;
}

void WriteScore(int notes, int length) {
    std::string score;
    for (int i = 0; i < notes; ++i) {
        score.append("I").append(std::to_string(i == 0 ? 0 : length));
        score.append(" K").append(std::to_string(60 + i % 12));
        score.append(" V100 L").append(std::to_string(length)).append("\n");
    }
    apptest::WriteMidiFileOf(score);
}

TEST(PlaybackStress, ThousandPressesLeaveNoWorkerThreadOrSoundingDevice) {
    apptest::ScratchDir scratch;
    test::RecordingDevices devices(3);
    apptest::RecordingHost host;
    apptest::ResetPlaybackWords();
    WriteScore(4, 2);
    // ThreadSanitizer starts a helper thread of its own with the first thread created;
    // let that happen before counting.
    std::thread([] {}).join();
    const std::size_t threadsBefore = ThreadCount();

    std::mt19937 random(20240613);
    std::uniform_int_distribution<int> action(0, 99);
    std::uniform_int_distribution<int> pause(0, 3);
    std::uniform_int_distribution<int> selection(0, 3);
    {
        PlaybackControl control(host, devices, milliseconds(2));
        for (int press = 0; press < 1000; ++press) {
            const int kind = action(random);
            if (kind < 50) {
                control.OnPlayStop();
            } else if (kind < 80) {
                host.selection = selection(random);
                control.OnSelchangeDeviceList();
            } else {
                // The form rewrites the file while a worker may be loading it.
                WriteScore(1 + kind % 5, kind % 2 == 0 ? 1 : 40);
            }
            std::this_thread::sleep_for(milliseconds(pause(random)));
        }
    }

    EXPECT_FALSE(g_playThread.IsHeld());
    EXPECT_EQ(g_runFlag, 0);
    EXPECT_EQ(g_playing, 0);
    EXPECT_EQ(ThreadCount(), threadsBefore);
    EXPECT_EQ(devices.LiveOutputs(), 0);
    EXPECT_EQ(devices.MostLiveOutputs(), 1);
    const auto outputs = devices.Outputs();
    EXPECT_GT(outputs.size(), 50u);
    for (const auto& output : outputs) {
        EXPECT_TRUE(output.closed);
        EXPECT_TRUE(output.resetBeforeClose);
    }
    EXPECT_TRUE(host.messages.empty());
}

}  // namespace
}  // namespace tez
