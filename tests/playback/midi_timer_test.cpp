// The timer thread: callbacks come, one at a time, and none after StopTimer. These tests
// wait for the thread to deliver, never for a fixed time.
#include "playback/midi_timer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>

#include "playback/smf_player.h"
#include "recording_devices.h"
#include "smf_builder.h"

namespace tez {
namespace {

// Long enough for twenty periods: a timer still running after its stop would tick in it.
constexpr auto kQuietAfterStop = std::chrono::milliseconds(20);

class CountingTimer final : public CMidiTimer {
  public:
    ~CountingTimer() { StopTimer(); }
    void OnTimerTick() override {
        overlapped = overlapped || inside.exchange(true);
        ticks.fetch_add(1);
        inside = false;
    }
    bool WaitFor(int count) const {
        return test::WaitUntil([&] { return ticks.load() >= count; });
    }

    std::atomic<int> ticks{0};
    std::atomic<bool> inside{false};
    std::atomic<bool> overlapped{false};
};

void CountWithUserValue(std::uint32_t, std::uint32_t, std::uintptr_t user, std::uintptr_t,
                        std::uintptr_t) {
    reinterpret_cast<std::atomic<int>*>(user)->fetch_add(1);
}

// A given callback gets the user value; a start replaces the running timer; the ticks come
// one at a time and none after the stop.
TEST(MidiTimer, CallsBackOneAtATimeUntilStoppedAndAStartReplacesTheRunningOne) {
    CountingTimer timer;
    std::atomic<int> calls{0};
    const std::uint32_t first =
        timer.StartTimer(1, CountWithUserValue, reinterpret_cast<std::uintptr_t>(&calls));
    ASSERT_TRUE(test::WaitUntil([&] { return calls.load() >= 3; }));
    const std::uint32_t second = timer.StartTimer(1);
    EXPECT_NE(second, 0u);
    EXPECT_NE(second, first);
    const int callsBefore = calls.load();
    ASSERT_TRUE(timer.WaitFor(20));
    EXPECT_EQ(timer.StopTimer(), 1);
    const int afterStop = timer.ticks.load();
    std::this_thread::sleep_for(kQuietAfterStop);
    EXPECT_EQ(timer.ticks.load(), afterStop);
    EXPECT_EQ(calls.load(), callsBefore);
    EXPECT_FALSE(timer.overlapped.load());
    // Ticks without an idle hint are each measured, not counted as slept through.
    EXPECT_GT(timer.LastRunTiming().max.count(), 0);
    EXPECT_EQ(timer.StartTimer(0), 0u);
}

// A timer whose ticks always say they will be idle for a while: the thread sleeps through
// them, yet every one is delivered, so the count never falls behind the clock.
class AlwaysIdleTimer final : public CMidiTimer {
  public:
    ~AlwaysIdleTimer() { StopTimer(); }
    void OnTimerTick() override { ticks.fetch_add(1); }
    std::uint64_t IdleTicks() const override { return 1000; }
    // Milliseconds since the start that have no tick yet.
    std::int64_t Behind() const {
        const auto elapsed = std::chrono::steady_clock::now() - started;
        return elapsed / std::chrono::milliseconds(1) - ticks.load();
    }

    std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();
    std::atomic<std::int64_t> ticks{0};
};

TEST(MidiTimer, IdleTicksAreDeliveredTogetherNeverDropped) {
    AlwaysIdleTimer timer;
    ASSERT_NE(timer.StartTimer(1), 0u);
    // Batches are at most ten ticks long, and a stall of the machine is made up afterwards;
    // a timer that dropped them would fall ever further behind and never catch up.
    EXPECT_TRUE(test::WaitUntil([&] { return timer.ticks.load() >= 200 && timer.Behind() <= 15; }));
    timer.StopTimer();
    EXPECT_EQ(timer.LastRunTiming().callbacks, static_cast<std::uint64_t>(timer.ticks.load()));
}

// The port drops sends once closed, so the clock itself must stand after Stop.
TEST(SmfPlayerRealTime, StopInTheMiddleLeavesNoCallbackRunning) {
    test::RecordingDevices devices;
    CSmfPlayer player(devices);
    test::Bytes track;
    for (int i = 0; i < 200; ++i) {
        track.insert(track.end(), {0x01, 0x90, 0x3C, 0x64});
    }
    track.insert(track.end(), {0x00, 0xFF, 0x2F, 0x00});
    player.LoadBytes(test::Smf(1000, {track}));
    player.Play();
    devices.WaitForSends(5);
    player.Stop();
    const std::uint64_t elapsed = player.m_elapsedMs;
    EXPECT_EQ(devices.Events().back(), "close");
    std::this_thread::sleep_for(kQuietAfterStop);
    EXPECT_EQ(player.m_elapsedMs, elapsed);
    EXPECT_EQ(player.IsAnyTrackActive(), 1);
}

}  // namespace
}  // namespace tez
