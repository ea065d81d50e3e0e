// The two reads behind Open and Reload: the text as the score box shows it, and the
// conversion into "tez_p.smf" with its failure paths.
#include "control/score_passes.h"

#include <gtest/gtest.h>

#include "score/smf_writer.h"
#include "scratch_dir.h"

namespace tez {
namespace {

using namespace std::string_literals;

struct DisplayCase {
    const char* name;
    std::string bytes;
    std::string shown;
};

std::string Repeat(char c, std::size_t count) {
    return std::string(count, c);
}

class DisplayTextTest : public ::testing::TestWithParam<DisplayCase> {};

TEST_P(DisplayTextTest, ShowsWhatTheLineReaderDelivers) {
    EXPECT_EQ(ScoreTextForDisplay(GetParam().bytes), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Pieces, DisplayTextTest,
    ::testing::Values(
        DisplayCase{"Empty", "", ""},
        DisplayCase{"LinesKeepTheirEnds", "I0 K60\r\nI120 K62\n", "I0 K60\r\nI120 K62\n"},
        DisplayCase{"LastLineWithoutLineFeed", "I0 K60\nK62", "I0 K60\nK62"},
        // The line feed after the zero is hidden with the rest of its piece.
        DisplayCase{"ZeroHidesTheRestOfItsLine",
                    "I0 K\0"
                    "60\nK62\n"s,
                    "I0 KK62\n"},
        DisplayCase{"ZeroAtLineStartHidesTheLine", "\0abc\nK62\n"s, "K62\n"},
        DisplayCase{"LongLineArrivesWhole", Repeat('a', 40000) + "\n", Repeat('a', 40000) + "\n"},
        DisplayCase{"ZeroInSecondPieceOfALongLine",
                    Repeat('a', 14999) + "bb\0cc"s + Repeat('d', 14994) + "ee\n",
                    Repeat('a', 14999) + "bb" + "ee\n"},
        DisplayCase{"PieceEndsExactlyAtTheLimit", Repeat('a', 14998) + "\n\0x\n"s,
                    Repeat('a', 14998) + "\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReadScoreForDisplay, ReadsTheWholeFileAndFailsForAMissingFileOrAFolder) {
    apptest::ScratchDir scratch;
    const std::string text = Repeat('x', 100000) + "\r\nK60\n";
    EXPECT_EQ(ReadScoreForDisplay(scratch.Write("a.tez", text)), text);
    EXPECT_FALSE(ReadScoreForDisplay((scratch.Path() / "missing.tez").string()));
    EXPECT_FALSE(ReadScoreForDisplay(scratch.Path().string()));
}

}  // namespace
}  // namespace tez
