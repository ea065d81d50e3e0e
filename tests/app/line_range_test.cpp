// Playing a part of a score by its lines, and where a playback goes on in a new version.
#include "control/line_range.h"

#include <gtest/gtest.h>

namespace tez {
namespace {

// Onsets: line 1 at 120 (the start marker's beat), lines 2 and 3 a chord at 240, line 4
// no record, line 5 at 480, line 6 at 600.
constexpr const char* kScore =
    "I0 K60 V90 L60\nI120 K64 V90 L60\nI0 K67 V90 L60\n\nI240 K72 V90 L60\nI120 K74 V90 L60\n";

struct RangeCase {
    std::int32_t first, last;
    bool loop;
    std::uint64_t from, to;
};

TEST(LineRange, StartsAtTheLinesOnsetAndLoopsToTheNextLaterOnset) {
    NoteTable table;
    ASSERT_EQ(ReadScoreText(table, kScore, nullptr), ReadStatus::kOk);
    const RangeCase cases[] = {
        {1, 1, false, 120, kEndOfFile}, {4, 4, false, 480, kEndOfFile}, {1, 1, true, 120, 240},
        {2, 2, true, 240, 480},  // the chord's second line does not end its first
        {2, 4, true, 240, 480},         {5, 6, true, 480, kEndOfFile},
    };
    for (const RangeCase& c : cases) {
        const std::optional<PlaybackOptions> options =
            OptionsForLines(table, c.first, c.last, c.loop);
        ASSERT_TRUE(options.has_value()) << c.first;
        EXPECT_EQ(options->fromTick, c.from) << c.first;
        EXPECT_EQ(options->toTick, c.to) << c.first << ".." << c.last;
        EXPECT_EQ(options->loops, c.loop ? -1 : 0);
    }
    EXPECT_FALSE(OptionsForLines(table, 7, 7, false).has_value());
    EXPECT_FALSE(OptionsForLines(NoteTable{}, 1, 1, true).has_value());
}

TEST(Continuation, SameTickUnlessTheEditMovedTheSoundingLine) {
    using Onset = std::optional<std::uint64_t>;
    EXPECT_EQ(ContinuationTick(Onset{480}, Onset{600}, 500), 620u);
    EXPECT_EQ(ContinuationTick(Onset{480}, Onset{360}, 500), 380u);
    EXPECT_EQ(ContinuationTick(Onset{480}, std::nullopt, 500), 500u);
}

}  // namespace
}  // namespace tez
