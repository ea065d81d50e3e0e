// What the import report says for each kind of event a score cannot hold, and where.
#include <gtest/gtest.h>

#include <string>

#include "playback/midi_import.h"
#include "smf_builder.h"

namespace tez {
namespace {

using test::Bytes;
using test::FromHex;
using test::Smf;

struct ReportCase {
    const char* name;
    const char* track;  // the events of track 2 of a two-track file, End of Track added
    ImportTiming timing;
    LossKind kind;
    std::int32_t detail;
    std::uint64_t count;
    std::int32_t channel;  // of the first place; -1: none
    std::uint64_t tick;    // of the first place
    bool keptOtherwise;
};

// Track 1 holds the tempo map: 500,000 at 0, 250,000 from tick 960.
const char* kTempoTrack = "00 FF 51 03 07 A1 20 87 40 FF 51 03 03 D0 90 00 FF 2F 00";

const ReportCase kCases[] = {
    {"tempo exact", "00 92 3C 40 60 82 3C 00", ImportTiming::kExact, LossKind::kTempo, -1, 1, -1,
     960, true},
    {"tempo beats", "00 92 3C 40 60 82 3C 00", ImportTiming::kBeats, LossKind::kTempo, -1, 2, -1, 0,
     false},
    {"program", "00 C3 05 00 C3 06", ImportTiming::kExact, LossKind::kProgram, -1, 2, 3, 0, false},
    {"bank", "10 B0 00 01 00 B0 20 02", ImportTiming::kExact, LossKind::kBank, -1, 2, 0, 16, false},
    {"controller", "00 B5 07 64 05 B5 07 60 00 B5 0A 40", ImportTiming::kExact,
     LossKind::kController, 7, 2, 5, 0, false},
    {"pitch bend", "00 E1 00 40 01 E1 10 40", ImportTiming::kExact, LossKind::kPitchBend, -1, 2, 1,
     0, false},
    {"key pressure", "00 A1 3C 10", ImportTiming::kExact, LossKind::kKeyPressure, -1, 1, 1, 0,
     false},
    {"channel pressure", "00 D2 10", ImportTiming::kExact, LossKind::kChannelPressure, -1, 1, 2, 0,
     false},
    {"system exclusive", "00 F0 03 43 10 F7", ImportTiming::kExact, LossKind::kSystemExclusive, -1,
     1, -1, 0, false},
    {"text", "00 FF 01 02 68 69 00 FF 03 01 50", ImportTiming::kExact, LossKind::kText, -1, 2, -1,
     0, false},
    {"lyric", "00 FF 05 02 6C 61", ImportTiming::kExact, LossKind::kLyric, -1, 1, -1, 0, false},
    {"marker text", "00 FF 06 05 76 65 72 73 65 00 FF 06 02 30 37", ImportTiming::kExact,
     LossKind::kMarkerText, -1, 2, -1, 0, false},
    {"time signature", "00 FF 58 04 04 02 18 08", ImportTiming::kExact, LossKind::kOtherMeta, 0x58,
     1, -1, 0, false},
    {"note-off velocity", "00 90 3C 40 60 80 3C 40", ImportTiming::kExact,
     LossKind::kNoteOffVelocity, -1, 1, 0, 96, false},
    {"half pedal", "00 B0 40 50 10 B0 40 00", ImportTiming::kExact, LossKind::kPedalValue, -1, 1, 0,
     0, false},
    // Struck again at the tick it ends: its second note-off cannot follow the note-on.
    {"overlap order", "00 90 3C 40 60 90 3C 40 00 80 3C 00 00 80 3C 00", ImportTiming::kExact,
     LossKind::kOverlapOrder, -1, 1, 0, 96, false},
    {"stray note-off", "30 81 3C 00", ImportTiming::kExact, LossKind::kStrayNoteOff, -1, 1, 1, 48,
     false},
    {"unended note", "10 91 3C 40", ImportTiming::kExact, LossKind::kUnendedNote, -1, 1, 1, 16,
     false},
};

class ImportReport : public testing::TestWithParam<ReportCase> {};

TEST_P(ImportReport, CountsTheKindAtItsFirstPlace) {
    const ReportCase& c = GetParam();
    Bytes track = FromHex(c.track);
    const Bytes end = FromHex("00 FF 2F 00");
    track.insert(track.end(), end.begin(), end.end());
    const MidiImport result = ImportMidiBytes(Smf(96, {FromHex(kTempoTrack), track}), c.timing);
    const ImportLoss* found = nullptr;
    for (const ImportLoss& loss : result.losses) {
        // One line per controller or meta type: the others are lines of their own.
        if (loss.kind == c.kind && (c.detail < 0 || loss.detail == c.detail)) {
            found = &loss;
        }
    }
    ASSERT_NE(found, nullptr) << c.name;
    EXPECT_EQ(found->count, c.count);
    EXPECT_EQ(found->first.channel, c.channel);
    EXPECT_EQ(found->first.tick, c.tick);
    EXPECT_EQ(found->keptOtherwise, c.keptOtherwise);
    EXPECT_EQ(LostAnything(result), !c.keptOtherwise);
}

INSTANTIATE_TEST_SUITE_P(Kinds, ImportReport, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<ReportCase>& info) {
                             std::string name = info.param.name;
                             for (char& c : name) {
                                 c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             }
                             return name;
                         });

TEST(ImportReport, EventsAfterEndOfTrackAreCounted) {
    const Bytes track = FromHex("00 FF 2F 00 00 90 3C 40 10 80 3C 00");
    const MidiImport result = ImportMidiBytes(Smf(96, {track}), ImportTiming::kExact);
    ASSERT_EQ(result.losses.size(), 1u);
    EXPECT_EQ(result.losses[0].kind, LossKind::kAfterEnd);
    EXPECT_EQ(result.losses[0].count, 2u);
}

TEST(ImportReport, ADamagedFileIsRefusedAsPlaybackRefusesIt) {
    const MidiImport result = ImportMidiBytes(FromHex("4D 54 68 64 00 00"), ImportTiming::kExact);
    EXPECT_EQ(result.load, LoadResult::kHeaderIncomplete);
    EXPECT_TRUE(result.records.empty());
}

}  // namespace
}  // namespace tez
