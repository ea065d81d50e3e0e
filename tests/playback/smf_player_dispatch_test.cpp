// The clock and the events it sends, on the virtual clock through a recording device.
#include <gtest/gtest.h>

#include <sstream>

#include "playback/smf_player.h"
#include "playback/virtual_clock.h"
#include "recording_devices.h"
#include "smf_builder.h"

namespace tez {
namespace {

using test::Bytes;
using test::Smf;
using Lines = std::vector<std::string>;

struct TimelineCase {
    const char* name;
    std::uint16_t division;
    const char* tracks;  // in hex, separated by "|"
    const char* sent;    // "callback: bytes" for each message, separated by ", "
};

class TimelineTest : public testing::TestWithParam<TimelineCase> {};

TEST_P(TimelineTest, SendsTheseMessagesInTheseCallbacks) {
    const TimelineCase& c = GetParam();
    std::vector<Bytes> tracks;
    std::stringstream hex(c.tracks);
    for (std::string track; std::getline(hex, track, '|');) {
        tracks.push_back(test::FromHex(track));
    }
    std::string sent;
    for (const std::string& line : test::Timeline(test::Play(Smf(c.division, tracks)))) {
        sent += (sent.empty() ? "" : ", ") + line;
    }
    EXPECT_EQ(sent, c.sent);
}

INSTANTIATE_TEST_SUITE_P(
    Events, TimelineTest,
    testing::Values(
        // The score writer's start: reset sysex, tempo 480000, then tick 120 at callback 480.
        TimelineCase{
            "ScoreStart", 120,
            "00 F0 05 7E 7F 09 01 F7 00 FF 51 03 07 53 00 78 FF 06 01 31 00 91 45 64 00 FF 2F 00",
            "0: F0 7E 7F 09 01 F7, 480: 91 45 64"},
        TimelineCase{"RunningStatus", 120, "00 90 3C 64 00 40 64 00 FF 2F 00",
                     "0: 90 3C 64, 0: 90 40 64"},
        TimelineCase{"ProgramChangeOneDataByte", 120, "00 C0 05 00 D3 22 00 FF 2F 00",
                     "0: C0 05, 0: D3 22"},
        // Before any Set Tempo a quarter lasts 500 ms: one tick 4.167 ms at division 120.
        TimelineCase{"DefaultTempo", 120, "01 90 3C 64 77 80 3C 00 00 FF 2F 00",
                     "5: 90 3C 64, 500: 80 3C 00"},
        TimelineCase{"MarkerSkipped", 120, "00 FF 06 05 31 32 33 34 35 00 90 3C 64 00 FF 2F 00",
                     "0: 90 3C 64"},
        TimelineCase{"EndOfTrackStopsAtOnce", 120, "00 FF 2F 00 00 90 3C 64", ""},
        // Tracks are served in track order, not time order: at 30 ticks a callback, track
        // 1's tick-10 event goes out after track 0's tick-20 event in callback 1.
        TimelineCase{"TracksInOrder", 30000, "14 90 3C 64 00 FF 2F 00 | 0A 91 3D 64 00 FF 2F 00",
                     "1: 90 3C 64, 1: 91 3D 64"},
        // The new tempo counts from the next step, from the tick where it changed.
        TimelineCase{"SetTempoRebases", 1,
                     "01 FF 51 03 00 03 E8 00 90 3C 64 02 80 3C 00 00 FF 2F 00",
                     "500: 90 3C 64, 502: 80 3C 00"},
        // After a meta event a data byte is the type of another meta event (here the end
        // of the track), not a data byte of the last channel message.
        TimelineCase{"RunningStatusAfterMeta", 120,
                     "00 90 3C 64 00 FF 01 01 61 00 2F 00 00 90 3E 64 00 FF 2F 00", "0: 90 3C 64"},
        // After a system exclusive message a data byte starts the count of another one.
        TimelineCase{"RunningStatusAfterSysex", 120,
                     "00 90 3C 64 00 F0 02 43 F7 00 01 55 00 FF 2F 00",
                     "0: 90 3C 64, 0: F0 43 F7, 0: F0 55"},
        TimelineCase{"SystemExclusiveAsStored", 120, "00 F0 03 43 12 F7 00 F0 00 00 FF 2F 00",
                     "0: F0 43 12 F7, 0: F0"},
        // The escape sends its bytes as they stand, and the count is not read as a delta.
        TimelineCase{"EscapeF7", 120, "00 F7 03 90 3C 64 0A F7 01 F7 00 FF 2F 00",
                     "0: 90 3C 64, 42: F7"},
        TimelineCase{"SystemCommonSendsNothing", 120, "00 F6 00 90 3C 64 00 FF 2F 00",
                     "0: 90 3C 64"},
        // Time code: 25 frames of 40 ticks are 1000 ticks a second, whatever the tempo.
        TimelineCase{"SmpteDivision", 0xE728, "00 FF 51 03 00 00 01 83 74 90 3C 64 00 FF 2F 00",
                     "500: 90 3C 64"},
        TimelineCase{"Smpte2997", 0xE364, "00 90 3C 64 82 A4 7C 80 3C 00 00 FF 2F 00",
                     "0: 90 3C 64, 12513: 80 3C 00"},
        // A tempo of more than three bytes is read whole: 00 07 A1 20 is 500000.
        TimelineCase{"LongSetTempo", 120, "00 FF 51 04 00 07 A1 20 83 60 90 3C 64 00 FF 2F 00",
                     "2000: 90 3C 64"},
        // A tempo beyond 2^31 - 1 microseconds is held at that slowest tempo.
        TimelineCase{"SetTempoBeyondItsWord", 120,
                     "00 FF 51 05 01 00 00 00 00 01 90 3C 64 00 FF 2F 00", "17896: 90 3C 64"},
        // A zero tempo would stop the clock for good; the tempo in force stays.
        TimelineCase{"ZeroTempoIgnored", 120,
                     "00 FF 51 00 00 FF 51 03 00 00 00 78 90 3C 64 00 FF 2F 00", "500: 90 3C 64"},
        // Without timing the clock stands at tick 0: what lies there plays, later events
        // can never fall due, so their tracks end.
        TimelineCase{"DivisionZero", 0,
                     "00 90 3C 64 00 C0 05 10 80 3C 00 00 FF 2F 00 | 01 91 3C 64 00 FF 2F 00",
                     "0: 90 3C 64, 0: C0 05"},
        // Bounds: an event cut short by the end of its track is not sent; the track ends.
        TimelineCase{"NoteCutShort", 120, "00 90 3C", ""},
        TimelineCase{"SysexCountPastTheEnd", 120, "00 F0 7F 01 02", ""},
        TimelineCase{"MetaCountPastTheEnd", 120, "00 FF 51 09 07 53 00", ""},
        TimelineCase{"NoEndOfTrack", 120, "00 90 3C 64 0C 80 3C 00", "0: 90 3C 64, 50: 80 3C 00"},
        TimelineCase{"DeltaCutShort", 120, "00 90 3C 64 81", "0: 90 3C 64"},
        TimelineCase{"DataByteWithoutStatus", 120, "00 3C 90 3C 64 00 FF 2F 00", "250: 90 3C 64"},
        // Time is 64 bits wide: nine deltas of 2^28 - 1 ticks at 25 ticks a second.
        TimelineCase{
            "FarBeyondTwoToTheThirtyOneTicks", 0xE701,
            "FF FF FF 7F 90 3C 64 FF FF FF 7F 90 3C 64 FF FF FF 7F 90 3C 64 FF FF FF 7F 90 3C 64 "
            "FF FF FF 7F 90 3C 64 FF FF FF 7F 90 3C 64 FF FF FF 7F 90 3C 64 FF FF FF 7F 90 3C 64 "
            "FF FF FF 7F 90 3C 64 00 FF 2F 00",
            "10737418200: 90 3C 64, 21474836400: 90 3C 64, 32212254600: 90 3C 64, "
            "42949672800: 90 3C 64, 53687091000: 90 3C 64, 64424509200: 90 3C 64, "
            "75161927400: 90 3C 64, 85899345600: 90 3C 64, 96636763800: 90 3C 64"},
        // A Set Tempo leaves now as it is within its step; the next tick comes at the new rate.
        // Each change falls due a third of a millisecond after its tick is reached; the
        // clock keeps that third, so three changes leave the note on its exact 666.7 ms.
        TimelineCase{"TempoChangesKeepTheFractionOfAMillisecond", 3,
                     "01 FF 51 03 07 A1 20 01 FF 51 03 07 A1 20 01 FF 51 03 07 A1 20 "
                     "01 90 3C 64 00 FF 2F 00",
                     "667: 90 3C 64"},
        TimelineCase{"SetTempoMidStep", 120,
                     "1E 90 3C 64 00 FF 51 03 07 53 00 00 80 3C 00 0C 90 3E 64 00 FF 2F 00",
                     "125: 90 3C 64, 125: 80 3C 00, 173: 90 3E 64"}),
    [](const testing::TestParamInfo<TimelineCase>& info) { return info.param.name; });

TEST(SmfClock, WithoutADeviceThePlaybackStillRunsToItsEnd) {
    test::RecordingDevices devices(2, -1);
    CSmfPlayer player(devices);
    player.LoadBytes(Smf(120, {test::FromHex("00 90 3C 64 10 80 3C 00 00 FF 2F 00")}));
    VirtualClock clock(player);
    EXPECT_EQ(clock.Start(), 0);
    EXPECT_EQ(clock.RunToEnd(), std::optional<std::uint64_t>(67));
    EXPECT_EQ(devices.Events(), Lines{"open -1"});
}

TEST(SmfClock, WithNothingLoadedTheClockStandsAndNothingIsActive) {
    test::RecordingDevices devices;
    CSmfPlayer player(devices);
    player.LoadFile("/nonexistent.mid");
    VirtualClock clock(player);
    clock.Start();
    for (int i = 0; i < 5; ++i) {
        clock.Tick();
    }
    EXPECT_EQ(player.Now(), 0u);
    EXPECT_EQ(player.IsAnyTrackActive(), 0);
}

TEST(SmfPlayer, StopResetsAndClosesTheDeviceAndTheDestructorFreesTracks) {
    test::RecordingDevices devices;
    {
        CSmfPlayer player(devices);
        player.m_deviceId = 1;
        player.LoadBytes(Smf(120, {test::FromHex("00 FF 2F 00")}));
        player.Cue();
        EXPECT_EQ(player.Stop(), 1);
        EXPECT_EQ(player.m_trackCount, 1);
    }
    EXPECT_EQ(devices.Events(), (Lines{"open 1", "reset", "close"}));
}

// The message is sent from the track's own bytes, which must be left as they were.
TEST(SmfPlayer, ASystemExclusiveMessageIsTheSameWhenPlayedAgain) {
    test::SourceRecorder device;
    device.player.LoadBytes(Smf(120, {test::FromHex("00 F0 03 43 12 F7 00 FF 2F 00")}));
    EXPECT_EQ(test::Timeline(test::Play(device)), Lines{"0: F0 43 12 F7"});
    EXPECT_EQ(test::Timeline(test::Play(device)), Lines{"0: F0 43 12 F7"});
}

}  // namespace
}  // namespace tez
