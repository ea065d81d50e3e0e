#include <gtest/gtest.h>

#include "playback/smf_player.h"
#include "recording_devices.h"
#include "smf_builder.h"

namespace tez {
namespace {

using test::Bytes;
using test::Smf;

const Bytes kNoteTrack = test::FromHex("00 90 3C 64 78 80 3C 00 00 FF 2F 00");

TEST(SmfLoad, ALongerHeaderIsSkippedAndAnyChunkIdIsATrack) {
    Bytes file = test::Chunk("MThd", {0, 0, 0, 2, 0, 96, 0xAA, 0xBB, 0xCC, 0xDD});
    for (const char* id : {"MTrk", "XYZW"}) {
        const Bytes chunk = test::Chunk(id, kNoteTrack);
        file.insert(file.end(), chunk.begin(), chunk.end());
    }
    CSmfPlayer player(test::RecordingDevices::Instance());
    EXPECT_EQ(player.m_tempo, 0);
    ASSERT_EQ(player.LoadBytes(file), 1);
    EXPECT_EQ(player.m_format, 0);
    EXPECT_EQ(player.m_division, 96);
    EXPECT_EQ(player.m_tempo, 500'000);
    ASSERT_EQ(player.m_trackCount, 2);
    EXPECT_EQ(Bytes(player.m_tracks[1].End() - player.m_tracks[1].length, player.m_tracks[1].End()),
              kNoteTrack);
}

struct DamagedCase {
    const char* name;
    Bytes file;
    LoadResult result;
    int tracks;  // the first of them whole
};

Bytes Cut(Bytes file, std::size_t drop) {
    file.resize(file.size() - drop);
    return file;
}

Bytes WithByte(Bytes file, std::size_t at, std::uint8_t value) {
    file[at] = value;
    return file;
}

class LoadTableTest : public testing::TestWithParam<DamagedCase> {};

TEST_P(LoadTableTest, LoadsWhatIsWholeOrRefuses) {
    const DamagedCase& c = GetParam();
    CSmfPlayer player(test::RecordingDevices::Instance());
    EXPECT_EQ(player.LoadBytes(c.file), c.result == LoadResult::kHeaderIncomplete ? 0 : 1);
    EXPECT_EQ(player.LastLoadResult(), c.result);
    ASSERT_EQ(player.m_trackCount, c.tracks);
    if (c.tracks > 0) {
        EXPECT_EQ(player.m_tracks[0].length, kNoteTrack.size());
    }
}

const Bytes kGood = Smf(120, {kNoteTrack, kNoteTrack});

INSTANTIATE_TEST_SUITE_P(
    Files, LoadTableTest,
    testing::Values(
        DamagedCase{"NoTracks", Smf(120, {}), LoadResult::kOk, 0},
        DamagedCase{"Empty", {}, LoadResult::kHeaderIncomplete, 0},
        DamagedCase{"ShortChunkHeader", {'M', 'T', 'h', 'd', 0}, LoadResult::kHeaderIncomplete, 0},
        DamagedCase{"HeaderOfFourBytes", test::Chunk("MThd", {0, 0, 0, 1}),
                    LoadResult::kHeaderIncomplete, 0},
        DamagedCase{"HeaderPastTheEnd", WithByte(kGood, 7, 0xFF), LoadResult::kHeaderIncomplete, 0},
        DamagedCase{"ZeroDivision", Smf(0, {kNoteTrack}), LoadResult::kNoTiming, 1},
        DamagedCase{"LastTrackCutShort", Cut(kGood, 5), LoadResult::kTruncated, 2},
        DamagedCase{"SecondChunkHeaderCut", Cut(kGood, kNoteTrack.size() + 3),
                    LoadResult::kTruncated, 1},
        DamagedCase{"TrackLengthPastTheEnd", WithByte(Smf(120, {kNoteTrack}, 0), 18, 0x7F),
                    LoadResult::kTruncated, 1},
        DamagedCase{"MoreTracksDeclaredThanPresent", WithByte(kGood, 11, 9), LoadResult::kTruncated,
                    2}),
    [](const testing::TestParamInfo<DamagedCase>& info) { return info.param.name; });

TEST(SmfRewind, ATrackWithoutAWholeFirstDeltaHasNothingToPlay) {
    CSmfPlayer player(test::RecordingDevices::Instance());
    player.LoadBytes(Smf(120, {Bytes{}, Bytes{0x81}, kNoteTrack}));
    player.m_elapsedMs = 77;
    player.Rewind();
    EXPECT_EQ(player.m_elapsedMs, 0u);
    EXPECT_EQ(player.m_tracks[2].pos, player.m_tracks[2].data.get() + 1);
    EXPECT_EQ(player.m_tracks[0].active.load() + player.m_tracks[1].active.load(), 0);
    EXPECT_EQ(player.IsAnyTrackActive(), 1);
}

}  // namespace
}  // namespace tez
