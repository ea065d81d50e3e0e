// Play/Stop and device changes against recording devices: the status texts and
// messages, the device each playback uses, and that no worker, thread or sounding
// device is left behind.
#include "control/playback_control.h"

#include <gtest/gtest.h>

#include "control/playback_state.h"
#include "recording_devices.h"
#include "score/smf_writer.h"
#include "scratch_dir.h"

namespace tez::apptest {
namespace {

using test::RecordingDevices;
using Texts = std::vector<std::string>;

class RecordingHost final : public PlaybackHost {
  public:
    bool HasNoteRecord() const override { return true; }
    void SetStatusAndRefresh(const std::string& status) override { statuses.push_back(status); }
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    int DeviceListSelection() const override { return selection; }

    int selection = 0;
    Texts statuses;
    Texts messages;
};

bool WriteMidiFileOf(const std::string& score) {
    NoteTable table;
    return ReadScoreText(table, score, nullptr) == ReadStatus::kOk &&
           WriteScoreMidiFile(table) == WriteStatus::kOk;
}

// About 40 ms of music.
constexpr const char* kShortScore = "I0 K60 V100 L10\n";
// About 20 s of music: a playback that only a stop ends.
constexpr const char* kLongScore = "I0 K60 V100 L5000\n";

bool WorkerEnded() {
    return g_playThread.ExitCode() == kWorkerArgument * 10;
}

class PlaybackControlTest : public ::testing::Test {
  protected:
    void SetUp() override {
        g_deviceId = -1;
        g_runFlag = 0;
        g_playing = 0;
    }

    bool FirstNoteSounded() const {
        const auto outputs = devices.Outputs();
        return !outputs.empty() && outputs[0].noteOns > 0;
    }

    ScratchDir scratch;
    RecordingHost host;
    RecordingDevices devices{3};
};

TEST_F(PlaybackControlTest, StopSilencesTheDeviceAtOnce) {
    ASSERT_TRUE(WriteMidiFileOf(kLongScore));
    PlaybackControl control(host, devices);
    control.OnPlayStop();
    ASSERT_TRUE(test::WaitUntil([this] { return FirstNoteSounded(); }));
    control.OnPlayStop();

    ASSERT_GE(host.statuses.size(), 2u);
    EXPECT_EQ(host.statuses[0], "playing...");
    EXPECT_EQ(host.statuses[1], "stopped");
    EXPECT_TRUE(devices.WaitUntilAllClosed());
    const auto outputs = devices.Outputs();
    ASSERT_EQ(outputs.size(), 1u);
    EXPECT_EQ(outputs[0].deviceId, -1);
    EXPECT_GE(outputs[0].noteOns, 1);
    EXPECT_TRUE(outputs[0].resetBeforeClose);
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(PlaybackControlTest, AfterTheMusicEndsOnePressStopsAndTheNextPlaysAgain) {
    ASSERT_TRUE(WriteMidiFileOf(kShortScore));
    PlaybackControl control(host, devices);
    control.OnPlayStop();
    ASSERT_TRUE(test::WaitUntil(WorkerEnded));
    EXPECT_EQ(host.statuses, Texts{"playing..."});
    EXPECT_EQ(g_playing, 1);

    control.OnPlayStop();
    EXPECT_EQ(host.statuses, (Texts{"playing...", "stopped", "stopped"}));
    EXPECT_FALSE(g_playThread.IsHeld());

    control.OnPlayStop();
    EXPECT_EQ(host.statuses.back(), "playing...");
    ASSERT_TRUE(devices.WaitForOpenAttempts(2));
    ASSERT_TRUE(test::WaitUntil(WorkerEnded));
    for (const auto& output : devices.Outputs()) {
        EXPECT_EQ(output.noteOns, 1);
        EXPECT_TRUE(output.resetBeforeClose);
    }
}

// Entry 0 is the synthesizer (-1); an editable list may report no selection (-1).
TEST_F(PlaybackControlTest, SaysHowManyMessagesTheDeviceCouldNotTake) {
    ASSERT_TRUE(WriteMidiFileOf(kShortScore));
    devices.DropNoteOns();
    PlaybackControl control(host, devices);
    control.OnPlayStop();
    ASSERT_TRUE(test::WaitUntil(WorkerEnded));
    control.CheckPlaybackThread();
    EXPECT_EQ(host.statuses.back(), "stopped; 1 message the device could not take was dropped");

    devices.DropNoteOns(false);
    control.OnPlayStop();
    ASSERT_TRUE(test::WaitUntil(WorkerEnded));
    control.CheckPlaybackThread();
    EXPECT_EQ(host.statuses.back(), "stopped");
}

TEST_F(PlaybackControlTest, ChangeWhileIdleShowsStoppedAndKeepsTheDevice) {
    PlaybackControl control(host, devices);
    for (const auto& [selection, deviceId] : {std::pair{0, -1}, {1, 0}, {3, 2}, {-1, -1}}) {
        host.selection = selection;
        control.OnSelchangeDeviceList();
        EXPECT_EQ(host.statuses.back(), "stopped");
        EXPECT_EQ(g_deviceId, deviceId);
    }
    EXPECT_EQ(devices.OpenAttempts(), 0);
}

// A change stops without waiting for the worker, so each next Play starts while the
// previous worker may still be ending: it must wait for it and use the new device.
TEST_F(PlaybackControlTest, ChangeWhilePlayingStopsAndTheNextPlayUsesTheNewDevice) {
    ASSERT_TRUE(WriteMidiFileOf(kLongScore));
    PlaybackControl control(host, devices);
    for (int round = 0; round < 3; ++round) {
        control.OnPlayStop();
        EXPECT_EQ(host.statuses.back(), "playing...");
        ASSERT_TRUE(test::WaitUntil([] { return g_playing == 1; }));
        host.selection = round + 1;
        control.OnSelchangeDeviceList();
        EXPECT_EQ(host.statuses.back(), "stopped");
    }
    EXPECT_TRUE(devices.WaitUntilAllClosed());
    const auto outputs = devices.Outputs();
    ASSERT_EQ(outputs.size(), 3u);
    for (int round = 0; round < 3; ++round) {
        EXPECT_EQ(outputs[round].deviceId, round - 1);
    }
    EXPECT_EQ(devices.MostLiveOutputs(), 1);
}

TEST_F(PlaybackControlTest, ChangeWhileStartingLeavesOneStopPressBeforeTheNextPlay) {
    ASSERT_TRUE(WriteMidiFileOf(kLongScore));
    PlaybackControl control(host, devices);
    devices.HoldOpens();
    control.OnPlayStop();
    ASSERT_TRUE(devices.WaitForOpenAttempts(1));
    control.OnSelchangeDeviceList();
    devices.ReleaseOpens();
    ASSERT_TRUE(test::WaitUntil(WorkerEnded));
    // The worker raised the playing flag after the change had cleared it.
    EXPECT_EQ(g_playing, 1);
    EXPECT_EQ(host.statuses, (Texts{"playing...", "stopped"}));

    control.OnPlayStop();
    EXPECT_EQ(host.statuses.back(), "stopped");
    EXPECT_EQ(devices.OpenAttempts(), 1);
    control.OnPlayStop();
    EXPECT_EQ(host.statuses.back(), "playing...");
    EXPECT_TRUE(devices.WaitForOpenAttempts(2));
}

TEST_F(PlaybackControlTest, PressWhileStartingStopsInsteadOfStartingASecondWorker) {
    ASSERT_TRUE(WriteMidiFileOf(kLongScore));
    PlaybackControl control(host, devices);
    devices.HoldOpens();
    control.OnPlayStop();
    ASSERT_TRUE(devices.WaitForOpenAttempts(1));
    control.OnPlayStop();
    EXPECT_EQ(host.statuses, (Texts{"playing...", "stopped"}));
    devices.ReleaseOpens();
    ASSERT_TRUE(test::WaitUntil(WorkerEnded));
    EXPECT_TRUE(devices.WaitUntilAllClosed());
    EXPECT_EQ(devices.OpenAttempts(), 1);
}

}  // namespace
}  // namespace tez::apptest
