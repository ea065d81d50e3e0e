// Playing with options: the messages and callbacks of a loop, of a playback taken over and of
// a transposition, on the virtual clock (speed and channel choice: range_cli.sh; a seek:
// seek_test.cpp).
#include <gtest/gtest.h>

#include "playback/smf_player.h"
#include "recording_devices.h"
#include "smf_builder.h"

namespace tez {
namespace {

using Lines = std::vector<std::string>;

// One tick a millisecond (tempo 120000 at division 120). Channel 0 sets volume and program,
// channel 1 holds its pedal; then a note on 0 (10..30) with a bend at 20, a high note on 1
// (30..40), a drum note (40..45); the track ends at 50.
const test::Bytes kTrack = {0x00, 0xFF, 0x51, 0x03, 0x01, 0xD4, 0xC0, 0x00, 0xB0, 0x07,
                            0x64, 0x00, 0xC0, 0x05, 0x00, 0xB1, 0x40, 0x7F, 0x0A, 0x90,
                            0x3C, 0x64, 0x0A, 0xE0, 0x00, 0x50, 0x0A, 0x80, 0x3C, 0x00,
                            0x00, 0x91, 0x70, 0x64, 0x0A, 0x81, 0x70, 0x00, 0x00, 0x99,
                            0x24, 0x64, 0x05, 0x89, 0x24, 0x00, 0x05, 0xFF, 0x2F, 0x00};

struct RangeCase {
    const char* name;
    PlaybackOptions options;
    Lines expected;
};

class RangeTest : public testing::TestWithParam<RangeCase> {};

TEST_P(RangeTest, SendsTheseMessagesInTheseCallbacks) {
    const test::Bytes file = test::Smf(120, {kTrack}, 0);
    EXPECT_EQ(test::Timeline(test::Play(file, GetParam().options)), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Options, RangeTest,
    testing::Values(
        RangeCase{"From0To35Twice",
                  test::Options(0, 35, 1),
                  {"0: B0 07 64",  "0: C0 05",     "0: B1 40 7F",  "10: 90 3C 64", "20: E0 00 50",
                   "30: 80 3C 00", "30: 91 70 64", "35: 81 70 00", "35: B1 40 00", "35: C0 00",
                   "35: E0 00 40", "35: B0 07 64", "35: C0 05",
                   "35: B1 40 7F", "45: 90 3C 64", "55: E0 00 50", "65: 80 3C 00", "65: 91 70 64",
                   "70: 81 70 00", "70: B1 40 00"}},
        RangeCase{"ResumedAt15ThenFrom0",
                  test::Options(0, 35, 1, 1.0, 0, 0, 0, 15),  // taken over at 15
                  {"0: C0 05", "0: B0 07 64", "0: B1 40 7F", "5: E0 00 50", "15: 91 70 64",
                   "20: 81 70 00", "20: B1 40 00", "20: C0 00", "20: E0 00 40", "20: B0 07 64",
                   "20: C0 05", "20: B1 40 7F", "30: 90 3C 64", "40: E0 00 50", "50: 80 3C 00",
                   "50: 91 70 64", "55: 81 70 00", "55: B1 40 00"}},
        RangeCase{"TransposedUp24",
                  test::Options(0, kEndOfFile, 0, 1.0, 24, 0, 0),
                  {"0: B0 07 64", "0: C0 05", "0: B1 40 7F", "10: 90 54 64", "20: E0 00 50",
                   "30: 80 54 00", "40: 99 24 64", "45: 89 24 00", "50: B1 40 00"}}),
    [](const auto& info) { return std::string(info.param.name); });

// The position follows the last note-on's score line; Halt ends the sounding note, lifts the pedal
// and keeps the device open for the next version.
TEST(RangePosition, FollowsTheLineAndHaltEndsTheNote) {
    test::RecordingDevices devices;
    CSmfPlayer player(devices);
    ASSERT_EQ(player.LoadBytes(test::Smf(120, {kTrack}, 0)), 1);
    std::vector<std::int32_t> lines(13, -1);
    lines[4] = 7;  // the note-on at tick 10
    player.SetSourceLines(lines);
    PlaybackPosition position;
    player.SetPositionSink(&position);
    player.Cue();
    for (int callback = 0; callback < 15; ++callback) {
        player.OnTimerTick();
    }
    EXPECT_EQ(position.tick.load(), 14u);
    EXPECT_EQ(position.line.load(), 7);
    player.Halt();
    const auto events = devices.Events();
    EXPECT_EQ(Lines(events.end() - 2, events.end()), (Lines{"send 80 3C 00", "send B1 40 00"}));
    EXPECT_EQ(devices.LiveOutputs(), 1);
}

}  // namespace
}  // namespace tez
