// The fast merge against the straightforward one, on many random scores.
#include <gtest/gtest.h>

#include <random>

#include "reference_merge.h"
#include "score/smf_writer.h"
#include "smf_check.h"

namespace tez {
namespace {

// Scores dense in the cases that decide the order: equal end ticks, note-offs on the
// tick of the next onset, zero lengths, pedal, markers, records without events.
NoteTable RandomScore(std::mt19937& random, int records) {
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    NoteTable table;
    AllocateNoteTable(table);
    for (int i = 0; i < records; ++i) {
        if (table.count + 1 == table.capacity)
            GrowNoteTable(table);
        NoteRecord& r = table.records[table.count++];
        r.interval = pick(0, 3) == 0 ? 0 : pick(0, 12);
        const int kind = pick(0, 19);
        r.key = kind < 14 ? pick(0, 130) : kind < 16 ? 128 : -1;
        r.velocity = pick(0, 140);
        r.length = pick(0, 4) == 0 ? 0 : pick(0, 40);
        r.channel = pick(0, 17);
        r.marker = pick(0, 9) == 0 ? pick(1, 1200) : 0;
        table.sourceLines.push_back(i + 1);
    }
    table.lastIndex = table.count - 1;
    return table;
}

TEST(FastMerge, WritesTheSameBytesAsTheReferenceMerge) {
    for (unsigned seed = 1; seed <= 300; ++seed) {
        std::mt19937 random(seed);
        const int records = seed % 10 == 0 ? 3000 : static_cast<int>(seed % 60);
        const NoteTable table = RandomScore(random, records);
        const auto fast = BuildScoreMidiFile(table, nullptr);
        ASSERT_EQ(fast, testing::ReferenceScoreMidiFile(table)) << "seed " << seed;
        ASSERT_EQ(testing::CheckScoreMidiFile(fast).error, "") << "seed " << seed;
    }
}

}  // namespace
}  // namespace tez
