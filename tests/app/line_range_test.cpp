// Playing a part of a score by its lines, and where a playback goes on in a new version.
#include "control/line_range.h"

#include <gtest/gtest.h>

#include <vector>

namespace tez {
namespace {

// Lines 2 and 3 are a chord; line 4 gave no record.
const std::vector<LineOnset> kOnsets = {{1, 120}, {2, 240}, {3, 240}, {5, 480}, {6, 600}};

struct RangeCase {
    std::int32_t first, last;
    bool loop;
    std::uint64_t from, to;
};

class LineRangeTest : public ::testing::TestWithParam<RangeCase> {};

TEST_P(LineRangeTest, StartsAtTheFirstLineWithARecordAndLoopsToTheNextOnset) {
    const RangeCase& c = GetParam();
    const std::optional<PlaybackOptions> options =
        OptionsForLines(kOnsets, c.first, c.last, c.loop);
    ASSERT_TRUE(options.has_value());
    EXPECT_EQ(options->fromTick, c.from);
    EXPECT_EQ(options->toTick, c.to);
    EXPECT_EQ(options->loops, c.loop ? -1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Table, LineRangeTest,
                         ::testing::Values(RangeCase{1, 1, false, 120, kEndOfFile},
                                           RangeCase{4, 4, false, 480, kEndOfFile},
                                           RangeCase{1, 1, true, 120, 240},
                                           // the chord's second line does not end its first
                                           RangeCase{2, 2, true, 240, 480},
                                           RangeCase{2, 4, true, 240, 480},
                                           RangeCase{5, 6, true, 480, kEndOfFile}));

TEST(LineRange, NothingFromALineAfterTheLastRecord) {
    EXPECT_FALSE(OptionsForLines(kOnsets, 7, 7, false).has_value());
    EXPECT_FALSE(OptionsForLines({}, 1, 1, true).has_value());
}

struct ContinuationCase {
    std::vector<LineOnset> after;
    std::int32_t line;
    std::uint64_t tick, expected;
};

TEST(Continuation, SameTickUnlessTheEditMovedTheSoundingLine) {
    const ContinuationCase cases[] = {
        {kOnsets, 5, 500, 500},               // nothing moved
        {{{1, 120}, {5, 600}}, 5, 500, 620},  // line 5 moved 120 later
        {{{1, 120}, {5, 360}}, 5, 500, 380},  // and earlier
        {{{1, 120}}, 5, 500, 500},            // line 5 is gone
        {{{1, 120}, {5, 600}}, -1, 60, 60},   // nothing sounded yet
    };
    for (const ContinuationCase& c : cases) {
        EXPECT_EQ(ContinuationTick(kOnsets, c.after, c.line, c.tick), c.expected) << c.tick;
    }
}

}  // namespace
}  // namespace tez
