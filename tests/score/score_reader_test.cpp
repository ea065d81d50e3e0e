#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <string>

#include "score/note_table.h"

namespace tez {
namespace {

struct ReadCase {
    const char* name;
    std::string text;
    std::int32_t count;
    NoteRecord first;  // compared when count > 0
};

std::array<std::int32_t, 6> Fields(const NoteRecord& r) {
    return {r.interval, r.key, r.velocity, r.length, r.channel, r.marker};
}

class ReadLines : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ReadLines, GiveTheRecordsTheScoreMeans) {
    const ReadCase& c = GetParam();
    NoteTable table;
    ASSERT_EQ(ReadScoreText(table, c.text, nullptr), ReadStatus::kOk);
    EXPECT_EQ(table.count, c.count);
    EXPECT_EQ(table.lastIndex, c.count - 1);
    if (c.count > 0) {
        EXPECT_EQ(Fields(table.records[0]), Fields(c.first));
    }
    // The record after the last filled one always exists and holds the defaults.
    EXPECT_EQ(Fields(table.records[static_cast<std::size_t>(c.count)]), Fields(NoteRecord{}));
}

INSTANTIATE_TEST_SUITE_P(
    Score, ReadLines,
    ::testing::Values(
        ReadCase{"Empty", "", 0, {}}, ReadCase{"BlankLines", "\n \n\t\n", 0, {}},
        ReadCase{"NoFinalLineFeed", "K60 V100", 0, {}},
        ReadCase{"FullLine", "I120 K60 V100 L120 W3 M7\n", 1, {120, 60, 100, 120, 3, 7}},
        ReadCase{"LowerCase", "i120k60v9l8w2m3\n", 1, {120, 60, 9, 8, 2, 3}},
        ReadCase{"BlanksInsideNumbers", "K6 0 I 1 2 0\n", 1, {.interval = 120, .key = 60}},
        ReadCase{"KeywordWithoutDigits", "K V100\n", 1, {.velocity = 100}},
        ReadCase{"ZeroIsAValue", "K0\n", 1, {.key = 0}},
        ReadCase{"DigitsBeforeFirstLetter", "120 K60\n", 1, {.key = 60}},
        ReadCase{"OtherLettersTakeDigits", "X5\nK61Z5\n", 1, {.key = 61}},
        ReadCase{"LaterValueWins", "K60 K62\n", 1, {.key = 62}},
        ReadCase{"CarriageReturnsJoinLines", "K60\rV9\r\n", 1, {.key = 60, .velocity = 9}},
        ReadCase{"SignsAndPunctuationDropped", "K-6,0 V+1.0\n", 1, {.key = 60, .velocity = 10}},
        ReadCase{"HighBytesDropped",
                 "K6\xE3\x81\x82"
                 "0\n",
                 1,
                 {.key = 60}},
        ReadCase{"HugeNumberSaturates", "K99999999999999999999\n", 1, {.key = 2147483647}},
        ReadCase{"LargestNumberExact", "L2147483647\n", 1, {.length = 2147483647}},
        ReadCase{"TwoRecords", "K1\nK2\n", 2, {.key = 1}}),
    [](const auto& info) { return std::string(info.param.name); });

// 1022 letters and digits are parsed; from the 1023rd on the line is dropped with one
// warning, and the next line is read as usual.
TEST(ReadScore, LinesAreCutAfterExactly1022LettersAndDigits) {
    NoteTable table;
    Diagnostics diagnostics;
    const std::string text = "K" + std::string(1020, '0') + "789\nK61\n";
    ASSERT_EQ(ReadScoreText(table, text, &diagnostics), ReadStatus::kOk);
    ASSERT_EQ(table.count, 2);
    EXPECT_EQ(table.records[0].key, 7);
    EXPECT_EQ(table.records[1].key, 61);
    ASSERT_EQ(diagnostics.size(), 1u);
    EXPECT_EQ(diagnostics[0].line, 1);
    EXPECT_EQ(diagnostics[0].column, 1023);  // the first letter dropped
}

TEST(ReadScore, SaturatedNumberIsWarnedAboutWithItsLine) {
    NoteTable table;
    Diagnostics diagnostics;
    ASSERT_EQ(ReadScoreText(table, "K1\n\nI 3000000000\nI2147483647\n", &diagnostics),
              ReadStatus::kOk);
    ASSERT_EQ(diagnostics.size(), 1u);
    EXPECT_EQ(FormatWarning("s.tez", diagnostics[0]),
              "s.tez:3:3: warning: number 3000000000 after I is larger than 2147483647; "
              "read as 2147483647");
    EXPECT_EQ(table.sourceLines, (std::vector<std::int32_t>{1, 3, 4}));
}

// The file is read in 64 KiB blocks: a line across a block boundary is still one line.
TEST(ReadScore, FileLinesAcrossTheReadBoundaryAndFilesThatDoNotRead) {
    const auto path = std::filesystem::temp_directory_path() /
                      ("tez_reader_" + std::to_string(::getpid()) + ".tez");
    std::ofstream(path, std::ios::binary) << std::string(65534, ' ') << "K61\nK62\n";
    NoteTable table;
    ASSERT_EQ(ReadScore(table, path.string(), nullptr), ReadStatus::kOk);
    std::filesystem::remove(path);
    ASSERT_EQ(table.count, 2);
    EXPECT_EQ(table.records[0].key, 61);
    EXPECT_EQ(table.records[1].key, 62);

    ASSERT_EQ(ReadScore(table, path.string(), nullptr), ReadStatus::kOpenFailed);
    EXPECT_EQ(table.lastIndex, 1);  // kept from the last score
    EXPECT_EQ(table.count, 0);
    EXPECT_EQ(table.records[0].key, -1);
    EXPECT_EQ(ReadScore(table, "/", nullptr), ReadStatus::kOpenFailed);  // a directory
}

}  // namespace
}  // namespace tez
