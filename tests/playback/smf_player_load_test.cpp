#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "playback/smf_player.h"
#include "recording_devices.h"
#include "smf_builder.h"

namespace tez {
namespace {

using test::Bytes;
using test::Smf;

const Bytes kNoteTrack{0x00, 0x90, 0x3C, 0x64, 0x78, 0x80, 0x3C, 0x00, 0x00, 0xFF, 0x2F, 0x00};

TEST(SmfLoad, AScoreFileLoadsAsOneCursorAtTheDefaultTempo) {
    CSmfPlayer player(test::RecordingDevices::Instance());
    EXPECT_EQ(player.m_tempo, 0);
    EXPECT_EQ(player.LoadBytes(Smf(120, {kNoteTrack}, 0)), 1);
    EXPECT_EQ(player.m_format, 0);
    EXPECT_EQ(player.m_division, 120);
    EXPECT_EQ(player.m_tempo, 1'000'000);
}

TEST(SmfLoad, ALongerHeaderIsSkippedAndAnyChunkIdIsATrack) {
    Bytes header{0, 1, 0, 2, 0, 96, 0xAA, 0xBB, 0xCC, 0xDD};
    Bytes file = test::Chunk("MThd", header);
    for (const char* id : {"MTrk", "XYZW"}) {
        const Bytes chunk = test::Chunk(id, kNoteTrack);
        file.insert(file.end(), chunk.begin(), chunk.end());
    }
    CSmfPlayer player(test::RecordingDevices::Instance());
    ASSERT_EQ(player.LoadBytes(file), 1);
    EXPECT_EQ(player.m_trackCount, 2);
    EXPECT_EQ(player.m_division, 96);
    EXPECT_EQ(Bytes(player.m_tracks[1].End() - player.m_tracks[1].length, player.m_tracks[1].End()),
              kNoteTrack);
}

TEST(SmfLoad, LoadFileReadsFromDiskAndAMissingFileLeavesThePlayerEmpty) {
    const auto path = std::filesystem::temp_directory_path() / "tez_load_test.mid";
    const Bytes file = Smf(240, {kNoteTrack, kNoteTrack});
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()), static_cast<long>(file.size()));
    CSmfPlayer player(test::RecordingDevices::Instance());
    EXPECT_EQ(player.LoadFile(path.c_str()), 1);
    EXPECT_EQ(player.m_trackCount, 2);
    EXPECT_EQ(player.m_division, 240);
    std::filesystem::remove(path);

    EXPECT_EQ(player.LoadFile(path.c_str()), 0);
    EXPECT_EQ(player.m_trackCount, 0);
    EXPECT_EQ(player.LastLoadResult(), LoadResult::kOpenFailed);
}

struct DamagedCase {
    const char* name;
    Bytes file;
    int answer;
    LoadResult result;
    int tracks;
    std::uint32_t firstLength;
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
    EXPECT_EQ(player.LoadBytes(c.file), c.answer);
    EXPECT_EQ(player.LastLoadResult(), c.result);
    EXPECT_EQ(player.m_trackCount, c.tracks);
    if (c.tracks > 0) {
        EXPECT_EQ(player.m_tracks[0].length, c.firstLength);
    }
}

const Bytes kGood = Smf(120, {kNoteTrack, kNoteTrack});

INSTANTIATE_TEST_SUITE_P(
    Files, LoadTableTest,
    testing::Values(
        DamagedCase{"NoTracks", Smf(120, {}), 1, LoadResult::kOk, 0, 0},
        DamagedCase{"Empty", {}, 0, LoadResult::kHeaderIncomplete, 0, 0},
        DamagedCase{
            "ShortChunkHeader", {'M', 'T', 'h', 'd', 0}, 0, LoadResult::kHeaderIncomplete, 0, 0},
        DamagedCase{"HeaderOfFourBytes", test::Chunk("MThd", {0, 0, 0, 1}), 0,
                    LoadResult::kHeaderIncomplete, 0, 0},
        DamagedCase{"HeaderPastTheEnd", WithByte(kGood, 7, 0xFF), 0, LoadResult::kHeaderIncomplete,
                    0, 0},
        DamagedCase{"ZeroDivision", Smf(0, {kNoteTrack}), 1, LoadResult::kNoTiming, 1,
                    static_cast<std::uint32_t>(kNoteTrack.size())},
        DamagedCase{"LastTrackCutShort", Cut(kGood, 5), 1, LoadResult::kTruncated, 2,
                    static_cast<std::uint32_t>(kNoteTrack.size())},
        DamagedCase{"SecondChunkHeaderCut", Cut(kGood, kNoteTrack.size() + 3), 1,
                    LoadResult::kTruncated, 1, static_cast<std::uint32_t>(kNoteTrack.size())},
        DamagedCase{"TrackLengthPastTheEnd", WithByte(Smf(120, {kNoteTrack}, 0), 18, 0x7F), 1,
                    LoadResult::kTruncated, 1, static_cast<std::uint32_t>(kNoteTrack.size())},
        DamagedCase{"MoreTracksDeclaredThanPresent", WithByte(kGood, 11, 9), 1,
                    LoadResult::kTruncated, 2, static_cast<std::uint32_t>(kNoteTrack.size())}),
    [](const testing::TestParamInfo<DamagedCase>& info) { return info.param.name; });

TEST(SmfRewind, ATrackWithoutAWholeFirstDeltaHasNothingToPlay) {
    CSmfPlayer player(test::RecordingDevices::Instance());
    player.LoadBytes(Smf(120, {Bytes{}, Bytes{0x81}, kNoteTrack}));
    player.m_elapsedMs = 77;
    player.Rewind();
    EXPECT_EQ(player.m_elapsedMs, 0u);
    EXPECT_EQ(player.m_tracks[2].pos, player.m_tracks[2].data.get() + 1);
    EXPECT_EQ(player.m_tracks[0].active.load(), 0);
    EXPECT_EQ(player.m_tracks[1].active.load(), 0);
    EXPECT_EQ(player.m_tracks[2].active.load(), 1);
    EXPECT_EQ(player.IsAnyTrackActive(), 1);
}

}  // namespace
}  // namespace tez
