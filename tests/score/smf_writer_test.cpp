#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <utility>
#include <vector>

#include "score/smf_writer.h"

namespace tez {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes FromHex(const std::string& hex) {
    Bytes bytes;
    std::istringstream in(hex);
    for (unsigned value = 0; in >> std::hex >> value;) {
        bytes.push_back(static_cast<std::uint8_t>(value));
    }
    return bytes;
}

const Bytes kSingleNoteFile = FromHex(
    "4D 54 68 64 00 00 00 06 00 00 00 01 00 78 4D 54 72 6B 00 00 00 24 00 F0 05 7E 7F 09 01 "
    "F7 00 FF 51 03 07 53 00 78 FF 06 05 73 74 61 72 74 00 91 3C 64 78 81 3C 00 64 FF 2F 00");

TEST(WriteScoreMidiFile, SingleNoteIsTheDocumentedFiftyEightBytes) {
    NoteTable table;
    ASSERT_EQ(ReadScoreText(table, "I0 K60 V100 L120\n", nullptr), ReadStatus::kOk);
    EXPECT_EQ(BuildScoreMidiFile(table, nullptr), kSingleNoteFile);
}

struct EventsCase {
    const char* name;
    const char* score;
    const char* events;  // in hex, after the "start" marker, up to End of Track
    const char* warning = "";
    std::int32_t tempo = 0;  // given to the first record: no keyword sets it
};

class ScoreEventsTest : public ::testing::TestWithParam<EventsCase> {};

TEST_P(ScoreEventsTest, AreWrittenExactly) {
    const EventsCase& c = GetParam();
    NoteTable table;
    ASSERT_EQ(ReadScoreText(table, c.score, nullptr), ReadStatus::kOk);
    table.records[0].tempo = c.tempo;
    Diagnostics diagnostics;
    const Bytes file = BuildScoreMidiFile(table, &diagnostics);
    EXPECT_EQ(BuildScoreMidiFile(table, nullptr), file);  // warnings change nothing written
    EXPECT_EQ(Bytes(file.begin() + 46, file.end()), FromHex(c.events + std::string(" FF 2F 00")));
    std::string warnings;
    for (const Diagnostic& d : diagnostics)
        warnings += FormatWarning("s.tez", d);
    EXPECT_EQ(warnings, c.warning);
}

INSTANTIATE_TEST_SUITE_P(
    Merge, ScoreEventsTest,
    ::testing::Values(
        EventsCase{"ChordAndMarker", "I0 K60 V100 L240\nI120 K64 V90 L120\nI240 K67 V80 M305\n",
                   "00 91 3C 64 78 91 40 5A 78 81 40 00 00 81 3C 00 78 91 43 50 00 FF 06 03 33 30 "
                   "35 00 81 43 00 64"},
        EventsCase{"NoteOffBeforeOnsetOnSameTick", "K60 V1 L10\nI10 K62 V2\n",
                   "00 91 3C 01 0A 81 3C 00 00 91 3E 02 00 81 3E 00 64"},
        EventsCase{"PedalDownAndUp", "K128 V127\nI5 K128 V64\n", "00 B1 40 7F 05 B1 40 00 64"},
        EventsCase{"MarkerTexts", "M7\nM10\nM305\nM1005\n",
                   "00 FF 06 01 37 00 FF 06 02 31 30 00 FF 06 03 33 30 35 00 FF 06 03 30 30 35 64"},
        EventsCase{"ChannelZero", "K60 W0\n", "00 90 3C 00 00 80 3C 00 64"},
        EventsCase{
            "DeltaOf128And16384", "K1\nI128 K2\nI16384 K3\n",
            "00 91 01 00 00 81 01 00 81 00 91 02 00 00 81 02 00 81 80 00 91 03 00 00 81 03 00 64"},
        EventsCase{"LargestDelta", "I268435455 K1\n", "FF FF FF 7F 91 01 00 00 81 01 00 64"},
        EventsCase{"EmptyScoreIsOpeningThenEnd", "", "64"},
        // Records without events let their interval pass into the next delta-time written.
        EventsCase{"EventlessRecordsCarryTime", "V5\nI10 L3\nI20 K60\nI7 V1\n",
                   "1E 91 3C 00 00 81 3C 00 6B"},
        EventsCase{"NotesEndingTogetherHighestSlotFirst", "K1 L5\nK2 L5\nK3 L5\n",
                   "00 91 01 00 00 91 02 00 00 91 03 00 05 81 03 00 00 81 02 00 00 81 01 00 64"},
        // A freed slot is taken again: the third note takes the first one's, below the second.
        EventsCase{"FreedSlotIsReused", "K1 L2 V1\nK2 L9 V1\nI3 K3 L6 V1\n",
                   "00 91 01 01 00 91 02 01 02 81 01 00 01 91 03 01 06 81 02 00 00 81 03 00 64"},
        // A note sounding long past the last record still ends; the merge never hangs.
        EventsCase{"NoteLongerThanAMillionTicks", "K60 L3000000\n",
                   "00 91 3C 00 81 B7 8D 40 81 3C 00 64"},
        EventsCase{"Tempo", "K60 L5\n", "00 91 3C 00 00 FF 51 03 07 53 00 05 81 3C 00 64", "", 125},
        EventsCase{"TempoTooSlowForThreeBytes", "M1\n", "00 FF 06 01 31 00 FF 51 03 FF FF FF 64",
                   "", 1},
        // A warning names the column of the value the line keeps.
        EventsCase{"KeyRepaired", "\nK300 K200 V1\n", "00 91 7F 01 00 81 7F 00 64",
                   "s.tez:2:7: warning: key 200 is out of range 0..127; written as 127"},
        EventsCase{"VelocityRepaired", "K60\tV 300\n", "00 91 3C 7F 00 81 3C 00 64",
                   "s.tez:1:7: warning: velocity 300 is out of range 0..127; written as 127"},
        // One channel rule for note-on and note-off, so the note-on meets its note-off.
        EventsCase{"ChannelRepaired", "K60 W17\n", "00 91 3C 00 00 81 3C 00 64",
                   "s.tez:1:6: warning: channel 17 is out of range 0..15; written as 1"},
        EventsCase{"PedalChannelRepaired", "K128 V100 W18\n", "00 B2 40 7F 64",
                   "s.tez:1:12: warning: channel 18 is out of range 0..15; written as 2"},
        // A marker carries no channel, so none is repaired.
        EventsCase{"MarkerWithoutChannel", "M5 W17\n", "00 FF 06 01 35 64"},
        EventsCase{"DeltaRepaired", "I300000000 K1\n", "FF FF FF 7F 91 01 00 00 81 01 00 64",
                   "s.tez:1:2: warning: delta-time 300000000 is out of range 0..268435455; "
                   "written as 268435455"}),
    [](const auto& info) { return std::string(info.param.name); });

// How the output is named: the file itself, or links (relative, across folders, chained)
// that must stay links while the file they lead to is replaced.
struct OutputCase {
    const char* name;
    std::vector<std::pair<const char*, const char*>> links;  // link name, what it holds
};

class WriteThroughTest : public ::testing::TestWithParam<OutputCase> {
  protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("tez_" + std::to_string(::getpid()) + "_" + GetParam().name);
        std::filesystem::create_directories(dir_ / "files");
        for (const auto& [link, target] : GetParam().links) {
            std::filesystem::create_directories((dir_ / link).parent_path());
            std::filesystem::create_symlink(target, dir_ / link);
        }
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    // Every name under the test's folder, links included.
    std::size_t Entries() const {
        return static_cast<std::size_t>(
            std::distance(std::filesystem::recursive_directory_iterator(dir_), {}));
    }
    std::filesystem::path dir_;
};

// The name the writer is given: the first link, or the file.
std::string OutputName(const std::filesystem::path& dir, const OutputCase& output) {
    return (dir / (output.links.empty() ? "files/tez_p.smf" : output.links.front().first)).string();
}

TEST_P(WriteThroughTest, ReplacesTheTargetWholeOrLeavesItAsItWas) {
    const std::string path = OutputName(dir_, GetParam());
    const std::string target = (dir_ / "files/tez_p.smf").string();
    NoteTable table;
    ASSERT_EQ(ReadScoreText(table, "K61 L5\n", nullptr), ReadStatus::kOk);
    ASSERT_EQ(WriteScoreMidiFile(table, path), WriteStatus::kOk);
    ASSERT_EQ(ReadScoreText(table, "I0 K60 V100 L120\n", nullptr), ReadStatus::kOk);
    ASSERT_EQ(WriteScoreMidiFile(table, path), WriteStatus::kOk);
    const std::size_t entries = Entries();
    // A file-size limit makes the write fail part-way, as a full disk would; SIGXFSZ keeps
    // its default action, which would end the process.
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 20;
    ::setrlimit(RLIMIT_FSIZE, &small);
    ASSERT_EQ(ReadScoreText(table, "K61 L5\n", nullptr), ReadStatus::kOk);
    const WriteStatus status = WriteScoreMidiFile(table, path);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_EQ(status, WriteStatus::kWriteFailed);
    std::ifstream in(target, std::ios::binary);
    EXPECT_EQ(Bytes(std::istreambuf_iterator<char>(in), {}), kSingleNoteFile);
    EXPECT_EQ(Entries(), entries);
    for (const auto& [link, held] : GetParam().links) {
        EXPECT_TRUE(std::filesystem::is_symlink(dir_ / link)) << link;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Outputs, WriteThroughTest,
    ::testing::Values(OutputCase{"File", {}},
                      OutputCase{"RelativeLinkElsewhere", {{"out/link.smf", "../files/tez_p.smf"}}},
                      OutputCase{"ChainOfLinks",
                                 {{"a.smf", "out/b.smf"}, {"out/b.smf", "../files/tez_p.smf"}}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tez

namespace tez {
namespace {

// Each event's score line, and the onset tick of lines and markers: a blank line starts
// with the next record, a line without events still lets time pass.
TEST(ScoreLineMap, NamesEachEventsLineAndEachLinesOnset) {
    NoteTable table;
    ASSERT_EQ(ReadScoreText(table,
                            "I0 K60 V100 L240\n\nI120 K64 V90 L120 M7\nI0 K128 V127\nI240 W2\n"
                            "I0 K62 V1 L0\n",
                            nullptr),
              ReadStatus::kOk);
    EventLines lines;
    BuildScoreMidiFile(table, nullptr, nullptr, &lines);
    EXPECT_EQ(lines, (EventLines{-1, -1, -1, 1, 3, 3, 4, 3, 1, 6, 6, -1}));
    const std::vector<std::optional<std::uint64_t>> onsets = {120, 240, 240, 240, 480, 480, {}};
    for (std::int32_t line = 1; line <= 7; ++line) {
        EXPECT_EQ(LineOnsetTick(table, line), onsets[static_cast<std::size_t>(line - 1)]) << line;
    }
    EXPECT_EQ(MarkerOnsetTick(table, 7), 240u);
    EXPECT_EQ(MarkerOnsetTick(table, 8), std::nullopt);
}

}  // namespace
}  // namespace tez
