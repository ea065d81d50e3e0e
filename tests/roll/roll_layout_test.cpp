#include <gtest/gtest.h>

#include "roll/roll_hit.h"
#include "roll/roll_reader.h"
#include "smf_builder.h"

namespace tez::roll {
namespace {

// The score starts one beat (120 ticks) in, after the "start" marker; 125 beats a minute make
// a tick 4 ms. Line 3 presses the pedal of channel 1, line 5 lifts it.
constexpr const char* kScore =
    "I0 K60 V100 L240 M1\n"
    "I120 K64 V50 L120 W2\n"
    "I120 K128 V127\n"
    "I120 K67 V127 L120\n"
    "I240 K128 V0\n";

RollModel ModelOf(const char* text) {
    NoteTable table;
    EXPECT_EQ(ReadScoreText(table, text, nullptr), ReadStatus::kOk);
    return ReadRollFromScore(table);
}

// Two bars over 480 pixels (half a pixel a tick), keys 60..71 in rows of 10 pixels, one pedal
// lane: 30 ruler + 120 notes + 5 pedal + 18 legend.
RollView SmallView() {
    return {0, 960, 60, 71, kKeyboardWidth + 480, 173};
}

std::string Describe(const Rect& r) {
    return std::to_string(static_cast<int>(r.x)) + "," + std::to_string(static_cast<int>(r.y)) +
           " " + std::to_string(static_cast<int>(r.width)) + "x" +
           std::to_string(static_cast<int>(r.height));
}

TEST(RollLayout, PlacesNotesGridLabelsPedalAndMarkers) {
    const RollModel model = ModelOf(kScore);
    RollState state;
    state.cursorLine = 2;
    state.firstSelected = 3;
    state.lastSelected = 4;
    state.now = 500;
    const RollFrame frame = LayOutRoll(model, SmallView(), state);

    std::vector<std::string> notes;
    for (const NoteBox& n : frame.notes) {
        notes.push_back(Describe(n.box) + " line " + std::to_string(n.line) + " ch " +
                        std::to_string(n.channel) + " flags " + std::to_string(n.flags));
    }
    EXPECT_EQ(notes, (std::vector<std::string>{"100,140 120x10 line 1 ch 1 flags 0",
                                               "160,100 60x10 line 2 ch 2 flags 1",
                                               "280,70 60x10 line 4 ch 1 flags 6"}));
    EXPECT_TRUE(frame.marks.empty());

    std::string grid;
    for (const GridLine& line : frame.grid) {
        grid += std::to_string(static_cast<int>(line.x)) + "bsS"[static_cast<int>(line.kind)];
    }
    // s: bar, S: second. A score's bars count from its "start" marker, a beat into the file.
    EXPECT_EQ(grid, "40b100s160b220b280b340s400b460b40S165S290S415S");
    const auto texts = [](const std::vector<Label>& labels) {
        std::string all;
        for (const Label& label : labels) {
            all += label.text + "@" + std::to_string(static_cast<int>(label.x)) + " ";
        }
        return all;
    };
    EXPECT_EQ(texts(frame.barLabels), "1@103 2@343 ");
    EXPECT_EQ(texts(frame.secondLabels), "0:00@43 0:01@168 0:02@293 0:03@418 ");
    EXPECT_EQ(texts(frame.keyLabels), "C4@3 ");
    ASSERT_EQ(frame.pedals.size(), 1u);
    EXPECT_EQ(Describe(frame.pedals[0].box) + " ch " + std::to_string(frame.pedals[0].channel),
              "220,150 180x4 ch 1");
    ASSERT_EQ(frame.markers.size(), 1u);  // both at tick 120
    EXPECT_EQ(frame.markers[0].text, "start 1");
    EXPECT_EQ(frame.markers[0].x, 100);
    EXPECT_EQ(frame.playhead, 290);
    EXPECT_EQ(frame.legendEntries.size(), 16u);
    EXPECT_TRUE(frame.legendEntries[1].used && frame.legendEntries[2].used);
    EXPECT_FALSE(frame.legendEntries[0].used);
}

TEST(RollLayout, PointsAndLinesFindEachOther) {
    const RollModel model = ModelOf(kScore);
    const RollFrame frame = LayOutRoll(model, SmallView(), {});
    struct Case {
        double x, y;
        std::optional<std::int32_t> line;
    } const cases[] = {
        {110, 145, 1}, {219, 145, 1},           {290, 75, 4}, {300, 145, std::nullopt},
        {165, 105, 2}, {165, 15, std::nullopt},  // the ruler holds no note
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LineAt(model, frame, c.x, c.y), c.line) << c.x << "," << c.y;
    }
    const auto lines = [&](std::int32_t first, std::int32_t last) {
        std::vector<std::uint32_t> found;
        for (const std::uint32_t note : model.NotesOfLines(first, last)) {
            found.push_back(note);
        }
        return found;
    };
    EXPECT_EQ(lines(1, 2), (std::vector<std::uint32_t>{0, 1}));
    EXPECT_EQ(lines(3, 3), std::vector<std::uint32_t>{});
    EXPECT_EQ(lines(4, 9), std::vector<std::uint32_t>{2});
    EXPECT_EQ(LegendChannelAt(frame, kKeyboardWidth + 2 * 30 + 5, 165), 2);  // 30 px an entry
}

TEST(RollLayout, ZoomedOutDrawsOneMarkPerRunOfColumns) {
    std::string score;
    for (int i = 0; i < 2000; ++i) {
        score += "I1 K60 V" + std::to_string(1 + i % 100) + " L1\n";
    }
    const RollModel model = ModelOf(score.c_str());
    const RollView view{121, 2121, 60, 71, kKeyboardWidth + 100, 168};  // no pedal lane
    const RollFrame frame = LayOutRoll(model, view, {});
    EXPECT_TRUE(frame.notes.empty());
    ASSERT_EQ(frame.marks.size(), 1u);
    EXPECT_EQ(Describe(frame.marks[0].box), "40,140 100x10");
    EXPECT_EQ(frame.marks[0].velocity, 100);
    EXPECT_EQ(LineAt(model, frame, 90, 145), 1001);  // the note begun last under the pointer
}

TEST(RollLayout, ALargePieceSeenWholeIsLaidOutFromItsOverview) {
    RollContent content;
    for (std::uint32_t i = 0; i < 300000; ++i) {
        content.notes.push_back({i * 10ull, 5, static_cast<std::int32_t>(i + 1), 60, 1, 64});
    }
    content.notes.push_back({0, 3000000, 300001, 50, 2, 100});  // held through the piece
    const RollModel model(std::move(content));
    ASSERT_GT(model.Overview().bins, 0u);
    RollState state;
    state.cursorLine = 150001;  // the note at tick 1,500,000, in the middle column
    // 100 columns of 30,000 ticks; keys 50..60 in rows of 10 pixels.
    const RollFrame frame =
        LayOutRoll(model, {0, 3000000, 50, 60, kKeyboardWidth + 100, 158}, state);
    std::vector<std::string> marks;
    for (const ColumnMark& mark : frame.marks) {
        marks.push_back(Describe(mark.box) + " ch " + std::to_string(mark.channel) + " flags " +
                        std::to_string(mark.flags));
    }
    EXPECT_EQ(marks,
              (std::vector<std::string>{"40,30 50x10 ch 1 flags 0", "90,30 1x10 ch 1 flags 1",
                                        "91,30 49x10 ch 1 flags 0", "40,130 100x10 ch 2 flags 0"}));
}

TEST(RollReader, ReadsEveryTrackOfAMidiFileWithItsTempo) {
    using test::FromHex;
    // Track 0: 60 beats a minute from tick 0, 120 from tick 96. Track 1: a note ended by a
    // note-on of velocity 0, and one that sounds to the end of its track.
    const test::Bytes file =
        test::Smf(96, {FromHex("00 FF 51 03 0F 42 40 60 FF 51 03 07 A1 20 00 FF 2F 00"),
                       FromHex("00 90 3C 40 60 90 3C 00 00 99 24 7F 83 00 FF 2F 00")});
    const auto model = ReadRollFromBytes(file, {});
    ASSERT_TRUE(model);
    ASSERT_EQ(model->Notes().size(), 2u);
    EXPECT_EQ(model->Notes()[0].length, 96u);
    EXPECT_EQ(model->Notes()[1].channel, 9);
    EXPECT_EQ(model->Notes()[1].length, 384u);
    EXPECT_EQ(model->TicksPerBeat(), 96);
    EXPECT_DOUBLE_EQ(model->SecondsAt(96), 1.0);
    EXPECT_DOUBLE_EQ(model->SecondsAt(288), 2.0);
    EXPECT_EQ(model->TickAtSeconds(2.0), 288u);
    EXPECT_FALSE(ReadRollFromBytes(FromHex("4D 54"), {}));
}

}  // namespace
}  // namespace tez::roll
