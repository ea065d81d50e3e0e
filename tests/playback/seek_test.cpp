// A playback started anywhere is the whole playback from there: the file's messages at and
// after the start (and before the end), after a state that leaves a device as the music
// before the start would have; each loop pass starts the same way, and no note is left
// sounding. For files made for the edges and for every file of a public corpus, at thirds.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>

#include "playback/smf_player.h"
#include "playback/virtual_clock.h"
#include "smf_builder.h"

namespace tez {
namespace {

using test::Bytes;
using test::Options;
using test::Sent;

// What a General MIDI device keeps of what it hears, notes aside, from its power-on values:
// per channel the controllers, program with its bank, pressure and bend, the parameters'
// values and which kind of parameter is selected; and the system exclusive messages since its
// last reset (General MIDI On, GS Reset, XG System On).
class Listener {
  public:
    Listener() { Defaults(); }

    void Hear(const Bytes& m) {
        const int kind = m[0] & 0xF0, channel = m[0] & 0x0F, number = m.size() > 1 ? m[1] : 0;
        if (m[0] >= 0xF0 || m.size() != ShortMessageLength(m[0])) {
            const bool gm = m.size() >= 5 && m[1] == 0x7E && m[3] == 0x09 && (m[4] == 1 || m[4] == 3);
            const bool gs = m.size() >= 8 && m[1] == 0x41 && m[3] == 0x42 && m[4] == 0x12 &&
                            m[5] == 0x40 && m[6] == 0x00 && m[7] == 0x7F;
            const bool xg = m.size() >= 8 && m[1] == 0x43 && (m[2] & 0xF0) == 0x10 &&
                            m[3] == 0x4C && m[4] == 0 && m[5] == 0 && m[6] == 0x7E;
            if (gm || gs || xg) {
                Defaults();
                exclusive_.clear();
            }
            std::erase(exclusive_, m);  // the same message again sets the same again
            exclusive_.push_back(m);
        } else if (kind == 0xB0 && (number == 6 || number == 38 || number == 96 || number == 97)) {
            EnterValue(channel, number, m[2]);
        } else if (kind == 0xB0 && number == 121) {
            for (int c = 0; c < 120; ++c) {
                const bool stays = c == 0 || c == 32 || c == 7 || c == 39 || c == 10 || c == 42 ||
                                   (c >= 70 && c <= 79) || (c >= 91 && c <= 95);
                if (!stays && c != 6 && c != 38 && c != 96 && c != 97) {
                    values_[{channel, c}] = PowerOn(c);
                }
            }
            values_[{channel, 0xD0}] = 0;
            values_[{channel, 0xE0}] = 0x2000;
        } else if (kind == 0xB0 && number < 120) {
            values_[{channel, number}] = m[2];
            selected_[channel] =
                number >= 98 && number <= 101 ? 1 + (number < 100) : selected_[channel];
        } else if (kind >= 0xC0) {
            values_[{channel, kind}] = kind == 0xC0 ? Get(channel, 0) << 16 | Get(channel, 32) << 8 | number
                                       : kind == 0xD0 ? number
                                                      : number | m[2] << 7;
        }
    }
    bool operator==(const Listener&) const = default;

  private:
    static int PowerOn(int controller) {
        if (controller >= 98 && controller <= 101) {
            return 127;
        }
        const std::map<int, int> values{{7, 100}, {10, 64}, {11, 127}, {91, 40}};
        const auto it = values.find(controller);
        return it != values.end() ? it->second : controller >= 71 && controller <= 79 ? 64 : 0;
    }
    void Defaults() {
        values_.clear();
        parameters_.clear();
        for (int channel = 0; channel < 16; ++channel) {
            for (int c = 0; c < 120; ++c) {
                if (c != 6 && c != 38 && c != 96 && c != 97) {
                    values_[{channel, c}] = PowerOn(c);
                }
            }
            values_[{channel, 0xC0}] = 0;
            values_[{channel, 0xD0}] = 0;
            values_[{channel, 0xE0}] = 0x2000;
            parameters_[{channel, 0}] = {2, 0};  // bend range, fine and coarse tuning
            parameters_[{channel, 1}] = {64, 0};
            parameters_[{channel, 2}] = {64, 0};
            selected_[channel] = 0;
        }
    }
    int Get(int channel, int controller) const { return values_.at({channel, controller}); }
    void EnterValue(int channel, int controller, int value) {
        const int nrpn = selected_[channel] - 1;  // -1: none selected yet
        const std::pair key{channel, nrpn << 14 | Get(channel, nrpn ? 99 : 101) << 7 |
                                         Get(channel, nrpn ? 98 : 100)};
        if (nrpn < 0 || (key.second & 0x3FFF) == 0x3FFF) {
            return;
        }
        if (controller == 6 || controller == 38) {
            auto& [coarse, fine] = parameters_.try_emplace(key, -1, -1).first->second;
            (controller == 6 ? coarse : fine) = value;
        } else if (parameters_.contains(key) && parameters_[key].first >= 0) {
            auto& [coarse, fine] = parameters_[key];
            const int whole = std::clamp(
                (coarse << 7 | std::max(fine, 0)) + (controller == 96 ? 1 : -1), 0, 0x3FFF);
            coarse = whole >> 7;
            fine = whole & 0x7F;
        }
    }

    std::vector<Bytes> exclusive_;
    std::map<std::pair<int, int>, int> values_;
    std::map<std::pair<int, int>, std::pair<int, int>> parameters_;
    std::array<int, 16> selected_{};  // 0 none, 1 registered, 2 non-registered
};

// Drops each note-off that ends no note sounding; answers how many notes are left sounding.
int MatchNotes(std::vector<Sent>& sent) {
    std::map<int, int> sounding;
    int left = 0;
    std::erase_if(sent, [&](const Sent& s) {
        if (s.bytes.size() != 3 || (s.bytes[0] & 0xE0) != 0x80) {
            return false;  // not a note
        }
        int& count = sounding[(s.bytes[0] & 0x0F) << 8 | s.bytes[1]];
        const int step = s.bytes[0] >= 0x90 && s.bytes[2] != 0 ? 1 : count > 0 ? -1 : 0;
        count += step;
        left += step;
        return step == 0;
    });
    return left;
}

// The file's messages of a part in the order of their ticks and tracks (a callback sends
// track after track), without the note-offs of notes begun before it.
std::vector<std::string> FileMessages(std::vector<Sent> sent, const PlaybackOptions& options) {
    std::erase_if(sent, [&](const Sent& s) {
        return s.source.track < 0 || s.source.tick < options.fromTick ||
               s.source.tick >= options.toTick;
    });
    std::ranges::stable_sort(
        sent, {}, [](const Sent& s) { return std::pair(s.source.tick, s.source.track); });
    MatchNotes(sent);
    std::vector<std::string> texts(sent.size());
    std::ranges::transform(sent, texts.begin(), [](const Sent& s) {
        return test::Hex(s.bytes) + " @" + std::to_string(s.source.tick);
    });
    return texts;
}

void ExpectWholeFromThere(const Bytes& file, const PlaybackOptions& options) {
    const std::vector<Sent> whole = test::Play(file), part = test::Play(file, options);
    const std::vector<std::string> expected = FileMessages(whole, options);
    Listener before, device;
    for (const Sent& s : whole) {
        if (s.source.tick < options.fromTick) {
            before.Hear(s.bytes);
        }
    }
    int passes = 0;
    for (auto it = part.begin(); it != part.end(); ++passes) {
        for (; it != part.end() && it->source.track < 0; ++it) {
            device.Hear(it->bytes);  // the end of the pass before, a reset, the state
        }
        if (it == part.end()) {
            break;
        }
        EXPECT_TRUE(device == before) << "the state as pass " << passes + 1 << " starts";
        const auto first = it;
        for (; it != part.end() && it->source.track >= 0; ++it) {
            device.Hear(it->bytes);
        }
        EXPECT_EQ(FileMessages({first, it}, Options(0)), expected) << "pass " << passes + 1;
    }
    EXPECT_EQ(passes, expected.empty() ? 0 : options.loops + 1);
    std::vector<Sent> notes = part;  // each note the part sounds is ended, and ended once
    EXPECT_EQ(MatchNotes(notes), 0);
    EXPECT_EQ(notes.size(), part.size());
}

// 9,000 chords of three notes. The index keeps a checkpoint after each 8,192 events, also
// inside a tick: the first 16,384 end inside the chord at tick 21840.
Bytes Chords() {
    std::string hex = "00 FF 51 03 07 A1 20 00 F0 05 7E 7F 09 01 F7 00";
    for (int chord = 0; chord < 9000; ++chord) {
        hex += " 90 3C 40 00 90 40 40 00 90 43 40 04 80 3C 40 00 80 40 40 00 80 43 40 04";
    }
    return test::Smf(120, {test::FromHex(hex + " FF 2F 00")});
}

// Two tracks at 960 ticks a quarter: system exclusive messages, bank and program, a bend range
// through RPN 0/0 then deselected, an NRPN stepped up and down, Reset All Controllers, a
// tempo change at 960, notes of both tracks at one tick, a bend and modulation first set at
// 1200, and General MIDI On at 1920.
const Bytes kState = test::Smf(
    960, {test::FromHex("00 FF 51 03 0F 42 40 00 F0 07 7F 7F 04 01 00 7F F7 00 B0 00 01 00 20 02 "
                        "00 C0 05 00 B0 65 00 00 64 00 00 06 0C 00 26 00 00 65 7F 00 64 7F 00 63 "
                        "01 00 62 08 00 06 40 00 60 00 00 61 00 00 61 00 83 60 F0 03 43 10 F7 00 "
                        "B0 00 03 00 01 40 00 5B 28 00 E0 00 50 00 D0 30 83 60 FF 51 03 03 D0 90 "
                        "00 90 3C 64 00 40 64 00 43 64 83 60 B0 79 00 00 80 3C 00 00 40 00 00 43 "
                        "00 83 60 F0 05 7E 7F 09 01 F7 81 70 B0 01 20 00 E0 00 48 81 70 FF 2F 00"),
          test::FromHex("00 C1 10 81 70 B1 07 50 00 40 7F 00 0A 40 85 50 91 30 64 81 70 B1 0A 20 "
                        "00 01 50 00 E1 00 60 81 70 81 30 00 81 70 B1 40 00 83 60 FF 2F 00")});

// A fade and a program change inside a loop's range, a bend range and an NRPN set one after
// the other, a GS Reset and an XG System On, and a note-off of velocity 64 at the last tick.
const Bytes kChanges = test::Smf(
    120, {test::FromHex("00 F0 05 7E 7F 09 01 F7 00 B0 07 64 00 C0 05 0A 90 3C 64 0A B0 07 00 "
                        "00 C0 10 00 B0 65 00 00 B0 64 00 00 B0 06 0C 00 B0 63 01 00 B0 62 08 "
                        "00 B0 06 40 0A 80 3C 00 0A F0 0A 41 10 42 12 40 00 7F 00 41 F7 00 B0 "
                        "07 50 0A F0 08 43 10 4C 00 00 7E 00 F7 00 C1 07 0A 91 40 64 0A 81 40 "
                        "40 00 FF 2F 00")});

std::vector<Bytes> TestFiles() {
    std::vector<Bytes> files{kState, kChanges};
    for (const auto& entry : std::filesystem::directory_iterator(TEZ_CORPUS_DIR)) {
        std::ifstream in(entry.path(), std::ios::binary);
        Bytes file((std::istreambuf_iterator<char>(in)), {});
        test::SourceRecorder device;
        if (entry.path().extension() == ".mid" && device.player.LoadBytes(file) != 0) {
            files.push_back(std::move(file));
        }
    }
    return files;
}

// "callback: bytes" of the file's messages from callback `from` on, counted from there, the
// note-offs of notes begun before it left out.
std::vector<std::string> HeardFrom(std::vector<Sent> sent, std::uint64_t from) {
    std::erase_if(sent, [&](const Sent& s) { return s.source.track < 0 || s.callback < from; });
    MatchNotes(sent);
    for (Sent& s : sent) {
        s.callback -= from;
    }
    return test::Timeline(sent);
}

std::string Hex(const Sent& s) {
    return test::Hex(s.bytes) + " @" + std::to_string(s.source.tick);
}

// A start given in time: every event due at or after it comes at (due - start), none before.
TEST(Seek, StartsAtTheTimeGiven) {
    for (const Bytes& file : TestFiles()) {
        const std::vector<Sent> whole = test::Play(file);
        const std::uint64_t last = whole.empty() ? 0 : whole.back().callback;
        test::SourceRecorder device;
        device.player.LoadBytes(file);
        for (const std::uint64_t ms : {last / 3, last / 2 + 1, last * 2 / 3 + 2, last}) {
            PlaybackOptions options = Options(device.player.Index().FirstTickOfCallback(ms));
            options.fromMilliseconds = ms;
            SCOPED_TRACE("from " + std::to_string(ms) + " ms");
            EXPECT_EQ(HeardFrom(test::Play(file, options), 0), HeardFrom(whole, ms));
        }
    }
}

// A move at any callback, to the same music or a faster one: every message of the file once,
// in its order, and nothing of the player's own: no note cut, no state sent again.
TEST(Seek, AMoveLosesAndRepeatsNothing) {
    for (const Bytes& file : {kState, kChanges, Chords()}) {
        const std::vector<Sent> whole = test::Play(file);
        std::vector<std::string> expected;
        for (const Sent& s : whole) {
            expected.push_back(Hex(s));
        }
        for (const std::uint64_t at : {1, 7, 100, 333, 1200}) {
            for (const double tempo : {1.0, 2.0}) {
                test::SourceRecorder device;
                device.player.LoadBytes(file);
                VirtualClock clock(device.player);
                device.clock = &clock;
                clock.Start();
                while (clock.Callback() < at && clock.TickNextBusy()) {
                }
                const std::size_t before = device.sent.size();
                PlaybackOptions options = Options(0, kEndOfFile, 0, tempo);
                options.resumeTick = device.player.Hold();
                device.player.SetOptions(options);
                clock.Continue();
                clock.RunToEnd();
                SCOPED_TRACE("move at " + std::to_string(at) + ", tempo " + std::to_string(tempo));
                std::vector<std::string> heard;
                for (std::size_t i = 0; i < device.sent.size(); ++i) {
                    const Sent& s = device.sent[i];
                    EXPECT_TRUE(s.source.track >= 0 || i < before) << "sent at the move: " << Hex(s);
                    heard.push_back(Hex(s));
                }
                EXPECT_EQ(heard, expected);
            }
        }
    }
}

TEST(Seek, PlaysTheWholeFromThere) {
    for (const std::uint64_t from : {21836, 21840, 21844, 43688}) {
        ExpectWholeFromThere(Chords(), Options(from));
    }
    for (const std::uint64_t from : {0, 480, 481, 960, 1000, 1440, 1500, 1920, 2000}) {
        ExpectWholeFromThere(kState, Options(from));
    }
    // Ticks that pass faster than callbacks; a loop whose later passes start as the first.
    ExpectWholeFromThere(kState, Options(480, 1442, 0, 4.0));
    ExpectWholeFromThere(kState, Options(960, 1920, 2));
    for (const std::uint64_t from : {0, 15, 25, 45, 55, 70}) {
        ExpectWholeFromThere(kChanges, Options(from));
    }
    ExpectWholeFromThere(kChanges, Options(5, 45, 2));
    ExpectWholeFromThere(kChanges, Options(25, kEndOfFile, 1));
    for (const Bytes& file : TestFiles()) {
        test::SourceRecorder device;
        device.player.LoadBytes(file);
        const std::uint64_t end = device.player.Index().EndTick();
        for (const std::uint64_t from : {end / 3, end / 2, end * 2 / 3}) {
            SCOPED_TRACE("from " + std::to_string(from));
            ExpectWholeFromThere(file, Options(from, from == end / 2 ? end : kEndOfFile));
        }
    }
}

}  // namespace
}  // namespace tez
