#include <gtest/gtest.h>

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

void PrintTo(const ReadCase& c, std::ostream* os) {
    *os << c.name;
}

NoteRecord With(std::initializer_list<std::pair<char, std::int32_t>> fields) {
    NoteRecord r;
    for (auto [letter, value] : fields) {
        switch (letter) {
            case 'I':
                r.interval = value;
                break;
            case 'K':
                r.key = value;
                break;
            case 'V':
                r.velocity = value;
                break;
            case 'L':
                r.length = value;
                break;
            case 'W':
                r.channel = value;
                break;
            case 'M':
                r.marker = value;
                break;
        }
    }
    return r;
}

void ExpectSame(const NoteRecord& a, const NoteRecord& b) {
    EXPECT_EQ(a.interval, b.interval);
    EXPECT_EQ(a.key, b.key);
    EXPECT_EQ(a.velocity, b.velocity);
    EXPECT_EQ(a.length, b.length);
    EXPECT_EQ(a.channel, b.channel);
    EXPECT_EQ(a.marker, b.marker);
    EXPECT_EQ(a.tempo, b.tempo);
}

class ReadLines : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ReadLines, GiveTheRecordsTheScoreMeans) {
    const ReadCase& c = GetParam();
    NoteTable table;
    ASSERT_EQ(ReadScoreText(table, c.text, nullptr), ReadStatus::kOk);
    EXPECT_EQ(table.count, c.count);
    EXPECT_EQ(table.lastIndex, c.count - 1);
    if (c.count > 0)
        ExpectSame(table.records[0], c.first);
    // The record after the last filled one always exists and holds the defaults.
    ExpectSame(table.records[static_cast<std::size_t>(table.count)], NoteRecord{});
}

INSTANTIATE_TEST_SUITE_P(
    Score, ReadLines,
    ::testing::Values(
        ReadCase{"Empty", "", 0, {}}, ReadCase{"BlankLines", "\n \n\t\n", 0, {}},
        ReadCase{"NoFinalLineFeed", "K60 V100", 0, {}},
        ReadCase{"FullLine", "I120 K60 V100 L120 W3 M7\n", 1,
                 With({{'I', 120}, {'K', 60}, {'V', 100}, {'L', 120}, {'W', 3}, {'M', 7}})},
        ReadCase{"LowerCase", "i120k60\n", 1, With({{'I', 120}, {'K', 60}})},
        ReadCase{"BlanksInsideNumbers", "K6 0 I 1 2 0\n", 1, With({{'K', 60}, {'I', 120}})},
        ReadCase{"KeywordWithoutDigits", "K V100\n", 1, With({{'V', 100}})},
        ReadCase{"DigitsBeforeFirstLetter", "120 K60\n", 1, With({{'K', 60}})},
        ReadCase{"OtherLetterSwallowsDigits", "X5\nK61\n", 1, With({{'K', 61}})},
        ReadCase{"LaterValueWins", "K60 K62\n", 1, With({{'K', 62}})},
        ReadCase{"MarkerZeroIsAField", "M0\n", 1, With({})},
        ReadCase{"CarriageReturnsJoinLines", "K60\rV9\r\n", 1, With({{'K', 60}, {'V', 9}})},
        ReadCase{"SignsAndPunctuationDropped", "K-6,0 V+1.0\n", 1, With({{'K', 60}, {'V', 10}})},
        ReadCase{"HighBytesDropped",
                 "K6\xE3\x81\x82"
                 "0\n",
                 1, With({{'K', 60}})},
        ReadCase{"HugeNumberSaturates", "K99999999999999999999\n", 1, With({{'K', 2147483647}})},
        ReadCase{"LargestNumberExact", "L2147483647\n", 1, With({{'L', 2147483647}})}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReadScore, LinesAreParsedUpTo1022LettersAndDigitsAndCutBeyond) {
    struct Case {
        std::string head;
        std::size_t filler;
        char fill;
        std::string tail;
        std::int32_t key;
        std::size_t warnings;
    };
    // 1022 letters and digits are parsed whole. Past them the tail (here V99) is dropped,
    // never written anywhere, with one warning; the next line is read as usual.
    const Case cases[] = {{"K", 1020, '0', "7\n", 7, 0}, {"K60", 2000, 'X', "V99\n", 60, 1}};
    for (const Case& c : cases) {
        std::string text = c.head;
        text.append(c.filler, c.fill).append(c.tail).append("K61\n");
        NoteTable table;
        Diagnostics diagnostics;
        ASSERT_EQ(ReadScoreText(table, text, &diagnostics), ReadStatus::kOk);
        ASSERT_EQ(table.count, 2);
        EXPECT_EQ(table.records[0].key, c.key);
        EXPECT_EQ(table.records[0].velocity, 0);
        EXPECT_EQ(table.records[1].key, 61);
        ASSERT_EQ(diagnostics.size(), c.warnings);
        if (c.warnings > 0) {
            EXPECT_EQ(diagnostics[0].line, 1);
            EXPECT_EQ(diagnostics[0].column, 1023);  // the first letter dropped
        }
    }
}

TEST(ReadScore, SaturatedNumberIsWarnedAboutWithItsLine) {
    NoteTable table;
    Diagnostics diagnostics;
    ASSERT_EQ(ReadScoreText(table, "K1\n\nI 3000000000\n", &diagnostics), ReadStatus::kOk);
    ASSERT_EQ(diagnostics.size(), 1u);
    EXPECT_EQ(diagnostics[0].line, 3);
    EXPECT_EQ(FormatWarning("s.tez", diagnostics[0]),
              "s.tez:3:3: warning: number 3000000000 after I is larger than 2147483647; "
              "read as 2147483647");
    EXPECT_EQ(table.sourceLines, (std::vector<std::int32_t>{1, 3}));
}

TEST(ReadScore, TableGrowsBy1024KeepingRecords) {
    std::string text;
    for (int i = 0; i < 1024; ++i)
        text.append("K")
            .append(std::to_string(i % 128))
            .append(" I")
            .append(std::to_string(i))
            .append("\n");
    NoteTable table;
    ASSERT_EQ(ReadScoreText(table, text, nullptr), ReadStatus::kOk);
    EXPECT_EQ(table.capacity, 2048);
    EXPECT_EQ(table.count, 1024);
    for (int i = 0; i < 1024; ++i)
        ASSERT_EQ(table.records[i].interval, i);
    for (int i = 1024; i < 2048; ++i)
        ASSERT_EQ(table.records[i].key, -1);
}

TEST(ReadScore, MissingFileLeavesAFreshTableAndTheOldLastIndex) {
    NoteTable table;
    ASSERT_EQ(ReadScoreText(table, "K60\nK61\n", nullptr), ReadStatus::kOk);
    ASSERT_EQ(ReadScore(table, "/nonexistent/score.tez", nullptr), ReadStatus::kOpenFailed);
    EXPECT_EQ(table.lastIndex, 1);
    EXPECT_EQ(table.count, 0);
    EXPECT_EQ(table.capacity, 1024);
    EXPECT_EQ(table.records[0].key, -1);
    EXPECT_EQ(ReadScore(table, "/", nullptr), ReadStatus::kOpenFailed);  // a directory
}

}  // namespace
}  // namespace tez
