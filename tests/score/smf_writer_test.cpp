#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "score/smf_writer.h"
#include "smf_check.h"

namespace tez {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Convert(const std::string& score, Diagnostics* diagnostics = nullptr) {
    NoteTable table;
    EXPECT_EQ(ReadScoreText(table, score, diagnostics), ReadStatus::kOk);
    return BuildScoreMidiFile(table, diagnostics);
}

// The events after the opening 46 bytes, End of Track included.
Bytes ScoreEvents(const std::string& score, Diagnostics* diagnostics = nullptr) {
    const Bytes file = Convert(score, diagnostics);
    EXPECT_EQ(testing::CheckScoreMidiFile(file).error, "");
    return Bytes(file.begin() + 46, file.end());
}

TEST(WriteScoreMidiFile, SingleNoteIsTheDocumentedFiftyEightBytes) {
    const Bytes file = Convert("I0 K60 V100 L120\n");
    const Bytes expected = {0x4D, 0x54, 0x68, 0x64, 0x00, 0x00, 0x00, 0x06, 0x00, 0x00, 0x00, 0x01,
                            0x00, 0x78, 0x4D, 0x54, 0x72, 0x6B, 0x00, 0x00, 0x00, 0x24, 0x00, 0xF0,
                            0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7, 0x00, 0xFF, 0x51, 0x03, 0x07, 0x53,
                            0x00, 0x78, 0xFF, 0x06, 0x05, 0x73, 0x74, 0x61, 0x72, 0x74, 0x00, 0x91,
                            0x3C, 0x64, 0x78, 0x81, 0x3C, 0x00, 0x64, 0xFF, 0x2F, 0x00};
    EXPECT_EQ(file, expected);
}

struct EventsCase {
    const char* name;
    const char* score;
    Bytes events;  // after the "start" marker, End of Track included
};

void PrintTo(const EventsCase& c, std::ostream* os) {
    *os << c.name;
}

class ScoreEventsTest : public ::testing::TestWithParam<EventsCase> {};

TEST_P(ScoreEventsTest, AreWrittenExactly) {
    EXPECT_EQ(ScoreEvents(GetParam().score), GetParam().events);
}

INSTANTIATE_TEST_SUITE_P(
    Merge, ScoreEventsTest,
    ::testing::Values(
        EventsCase{"ChordAndMarker",
                   "I0 K60 V100 L240\nI120 K64 V90 L120\nI240 K67 V80 M305\n",
                   {0x00, 0x91, 0x3C, 0x64, 0x78, 0x91, 0x40, 0x5A, 0x78, 0x81, 0x40, 0x00,
                    0x00, 0x81, 0x3C, 0x00, 0x78, 0x91, 0x43, 0x50, 0x00, 0xFF, 0x06, 0x03,
                    0x33, 0x30, 0x35, 0x00, 0x81, 0x43, 0x00, 0x64, 0xFF, 0x2F, 0x00}},
        EventsCase{"NoteOffBeforeOnsetOnSameTick",
                   "K60 V1 L10\nI10 K62 V2\n",
                   {0x00, 0x91, 0x3C, 0x01, 0x0A, 0x81, 0x3C, 0x00, 0x00, 0x91,
                    0x3E, 0x02, 0x00, 0x81, 0x3E, 0x00, 0x64, 0xFF, 0x2F, 0x00}},
        EventsCase{"PedalDownAndUp",
                   "K128 V127\nI5 K128 V64\n",
                   {0x00, 0xB1, 0x40, 0x7F, 0x05, 0xB1, 0x40, 0x00, 0x64, 0xFF, 0x2F, 0x00}},
        EventsCase{"MarkerTexts",
                   "M7\nM42\nM305\nM1005\n",
                   {0x00, 0xFF, 0x06, 0x01, 0x37, 0x00, 0xFF, 0x06, 0x02, 0x34,
                    0x32, 0x00, 0xFF, 0x06, 0x03, 0x33, 0x30, 0x35, 0x00, 0xFF,
                    0x06, 0x03, 0x30, 0x30, 0x35, 0x64, 0xFF, 0x2F, 0x00}},
        EventsCase{"KeyWithoutVelocity",
                   "K60 L3\n",
                   {0x00, 0x91, 0x3C, 0x00, 0x03, 0x81, 0x3C, 0x00, 0x64, 0xFF, 0x2F, 0x00}},
        EventsCase{"ChannelZero",
                   "K60 W0\n",
                   {0x00, 0x90, 0x3C, 0x00, 0x00, 0x80, 0x3C, 0x00, 0x64, 0xFF, 0x2F, 0x00}},
        EventsCase{"DeltaOf128And16384",
                   "K1\nI128 K2\nI16384 K3\n",
                   {0x00, 0x91, 0x01, 0x00, 0x00, 0x81, 0x01, 0x00, 0x81, 0x00, 0x91,
                    0x02, 0x00, 0x00, 0x81, 0x02, 0x00, 0x81, 0x80, 0x00, 0x91, 0x03,
                    0x00, 0x00, 0x81, 0x03, 0x00, 0x64, 0xFF, 0x2F, 0x00}},
        EventsCase{"EmptyScoreIsOpeningThenEnd", "", {0x64, 0xFF, 0x2F, 0x00}},
        // Records without events let their interval pass into the next delta-time written.
        EventsCase{"EventlessRecordsCarryTime",
                   "V5\nI10 L3\nI20 K60\nI7 V1\n",
                   {0x1E, 0x91, 0x3C, 0x00, 0x00, 0x81, 0x3C, 0x00, 0x6B, 0xFF, 0x2F, 0x00}},
        // The sustain pedal takes no slot: the note after it takes the lowest free one.
        EventsCase{
            "NotesEndingTogetherHighestSlotFirst",
            "K1 L5\nK2 L5\nK3 L5\n",
            {0x00, 0x91, 0x01, 0x00, 0x00, 0x91, 0x02, 0x00, 0x00, 0x91, 0x03, 0x00, 0x05, 0x81,
             0x03, 0x00, 0x00, 0x81, 0x02, 0x00, 0x00, 0x81, 0x01, 0x00, 0x64, 0xFF, 0x2F, 0x00}},
        // A note sounding long past the last record still ends; the merge never hangs.
        EventsCase{"NoteLongerThanAMillionTicks",
                   "K60 L3000000\n",
                   {0x00, 0x91, 0x3C, 0x00, 0x81, 0xB7, 0x8D, 0x40, 0x81, 0x3C, 0x00, 0x64, 0xFF,
                    0x2F, 0x00}}),
    [](const auto& info) { return std::string(info.param.name); });

struct VarLenCase {
    std::uint32_t value;
    Bytes bytes;
};

TEST(WriteVarLen, EncodesTheFileFormatsQuantities) {
    const VarLenCase cases[] = {
        {0, {0x00}},
        {127, {0x7F}},
        {128, {0x81, 0x00}},
        {16383, {0xFF, 0x7F}},
        {16384, {0x81, 0x80, 0x00}},
        {2097151, {0xFF, 0xFF, 0x7F}},
        {2097152, {0x81, 0x80, 0x80, 0x00}},
        {0x0FFFFFFF, {0xFF, 0xFF, 0xFF, 0x7F}},
    };
    for (const VarLenCase& c : cases) {
        Bytes out;
        WriteVarLen(out, c.value);
        EXPECT_EQ(out, c.bytes) << c.value;
    }
}

struct RepairCase {
    const char* score;
    Bytes events;
    const char* warning;
};

TEST(WriteScoreMidiFile, RepairsOutOfRangeValuesWithAWarningNamingTheLine) {
    const RepairCase cases[] = {
        {"\nK200 V1\n",
         {0x00, 0x91, 0x7F, 0x01, 0x00, 0x81, 0x7F, 0x00, 0x64, 0xFF, 0x2F, 0x00},
         "s.tez:2: warning: key 200 is out of range 0..127; written as 127"},
        {"K60 V300\n",
         {0x00, 0x91, 0x3C, 0x7F, 0x00, 0x81, 0x3C, 0x00, 0x64, 0xFF, 0x2F, 0x00},
         "s.tez:1: warning: velocity 300 is out of range 0..127; written as 127"},
        // One channel rule for note-on and note-off, so the note-on meets its note-off.
        {"K60 W17\n",
         {0x00, 0x91, 0x3C, 0x00, 0x00, 0x81, 0x3C, 0x00, 0x64, 0xFF, 0x2F, 0x00},
         "s.tez:1: warning: channel 17 is out of range 0..15; written as 1"},
        {"K128 V100 W18\n",
         {0x00, 0xB2, 0x40, 0x7F, 0x64, 0xFF, 0x2F, 0x00},
         "s.tez:1: warning: channel 18 is out of range 0..15; written as 2"},
        {"I300000000 K1\n",
         {0xFF, 0xFF, 0xFF, 0x7F, 0x91, 0x01, 0x00, 0x00, 0x81, 0x01, 0x00, 0x64, 0xFF, 0x2F, 0x00},
         "s.tez:1: warning: delta-time 300000000 is out of range 0..268435455; written as "
         "268435455"},
    };
    for (const RepairCase& c : cases) {
        Diagnostics diagnostics;
        EXPECT_EQ(ScoreEvents(c.score, &diagnostics), c.events) << c.score;
        ASSERT_EQ(diagnostics.size(), 1u) << c.score;
        EXPECT_EQ(FormatWarning("s.tez", diagnostics[0]), c.warning);
    }
}

TEST(WriteScoreMidiFile, DeltaBeyondThreeBytesUsesFour) {
    Diagnostics diagnostics;
    const Bytes events = ScoreEvents("I3000000 K1\n", &diagnostics);
    EXPECT_TRUE(diagnostics.empty());
    EXPECT_EQ(Bytes(events.begin(), events.begin() + 4), (Bytes{0x81, 0xB7, 0x8D, 0x40}));
}

TEST(WriteScoreMidiFile, SummaryCountsRecordsNotesAndTicks) {
    NoteTable table;
    ASSERT_EQ(ReadScoreText(table, "K60 L240\nI120 K128 V127\nI120 M3\n", nullptr),
              ReadStatus::kOk);
    ScoreMidiSummary summary;
    BuildScoreMidiFile(table, nullptr, &summary);
    EXPECT_EQ(summary.records, 3);
    EXPECT_EQ(summary.notes, 1);
    EXPECT_EQ(summary.lengthTicks, 120u + 240u + 100u);
}

class OutputFolder : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("tez_writer_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override {
        std::filesystem::permissions(dir_, std::filesystem::perms::owner_all);
        std::filesystem::remove_all(dir_);
    }
    static Bytes Read(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }
    std::size_t Entries() const {
        return static_cast<std::size_t>(
            std::distance(std::filesystem::directory_iterator(dir_), {}));
    }
    std::filesystem::path dir_;
};

TEST_F(OutputFolder, SecondWriteReplacesTheFileWhole) {
    const auto path = dir_ / "tez_p.smf";
    NoteTable table;
    ASSERT_EQ(ReadScoreText(table, "K60 L1000\nI50 K61\nM42\n", nullptr), ReadStatus::kOk);
    ASSERT_EQ(WriteScoreMidiFile(table, path.string()), WriteStatus::kOk);
    ASSERT_EQ(ReadScoreText(table, "K70\n", nullptr), ReadStatus::kOk);
    ASSERT_EQ(WriteScoreMidiFile(table, path.string()), WriteStatus::kOk);
    EXPECT_EQ(Read(path), BuildScoreMidiFile(table, nullptr));
    EXPECT_EQ(Entries(), 1u);  // no temporary left behind
}

TEST_F(OutputFolder, FailedWriteLeavesTheOldFileAndNoTemporary) {
    const auto path = dir_ / "tez_p.smf";
    NoteTable table;
    ASSERT_EQ(ReadScoreText(table, "K60\n", nullptr), ReadStatus::kOk);
    ASSERT_EQ(WriteScoreMidiFile(table, path.string()), WriteStatus::kOk);
    const Bytes before = Read(path);
    // A file-size limit makes the write fail part-way, as a full disk would.
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    const auto savedSignal = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 20;
    ::setrlimit(RLIMIT_FSIZE, &small);
    ASSERT_EQ(ReadScoreText(table, "K61 L5\n", nullptr), ReadStatus::kOk);
    const WriteStatus status = WriteScoreMidiFile(table, path.string());
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, savedSignal);
    EXPECT_EQ(status, WriteStatus::kWriteFailed);
    EXPECT_EQ(Read(path), before);
    EXPECT_EQ(Entries(), 1u);
}

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
