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
#include "smf_builder.h"

namespace tez {
namespace {

using test::Bytes;
using test::Options;
using test::Sent;

// What a General MIDI device keeps of what it hears, notes aside: per channel the
// controllers (0..127), program with its bank (C0), pressure (D0) and bend (E0), keyed
// (channel, item), and the parameters' values.
class Listener {
  public:
    void Hear(const Bytes& m) {
        const int kind = m[0] & 0xF0, channel = m[0] & 0x0F, number = m.size() > 1 ? m[1] : 0;
        const auto isReset = [&](const auto& v) {  // all but bank, volume, pan, sound, effects
            const int n = v.first.second;
            return v.first.first == channel && n != 0 && n != 32 && n != 7 && n != 39 && n != 10 &&
                   n != 42 && !(n >= 70 && n <= 79) && !(n >= 91 && n <= 97) && n != 0xC0;
        };
        if (m[0] >= 0xF0 || m.size() != ShortMessageLength(m[0])) {
            if (m.size() >= 5 && m[1] == 0x7E && m[3] == 0x09 && (m[4] == 1 || m[4] == 3)) {
                *this = Listener{};  // General MIDI On: the device starts afresh
            }
            std::erase(exclusive_, m);  // the same message again sets the same again
            exclusive_.push_back(m);
        } else if (kind == 0xB0 && (number == 6 || number == 38 || number == 96 || number == 97)) {
            EnterValue(channel, number, m[2]);
        } else if (kind == 0xB0 && number == 121) {
            std::erase_if(values_, isReset);
        } else if (kind == 0xB0 && number < 120) {
            values_[{channel, number}] = m[2];
            if (number >= 98 && number <= 101 && m[2] == 127) {
                values_.erase({channel, number});  // a parameter number's part 7F: as never set
            }
            selected_[channel] =
                number >= 98 && number <= 101 ? 1 + (number < 100) : selected_[channel];
        } else if (kind >= 0xC0) {
            const int value = kind == 0xC0 ? Get(channel, 0) << 16 | Get(channel, 32) << 8 | number
                              : kind == 0xD0 ? number
                                             : number | m[2] << 7;
            values_[{channel, kind}] = value;
            if (kind == 0xE0 && value == 0x2000) {
                values_.erase({channel, kind});  // centred, as at the start
            }
        }
    }
    bool operator==(const Listener&) const = default;

  private:
    int Get(int channel, int controller, int unset = 0xFF) const {
        const auto it = values_.find({channel, controller});
        return it == values_.end() ? unset : it->second;
    }
    void EnterValue(int channel, int controller, int value) {
        const int nrpn = selected_[channel] - 1;  // -1: none selected yet
        const std::pair key{channel, nrpn << 14 | Get(channel, nrpn ? 99 : 101, 127) << 7 |
                                         Get(channel, nrpn ? 98 : 100, 127)};
        if (nrpn < 0 || (key.second & 0x3FFF) == 0x3FFF) {
            return;
        }
        if (controller == 6 || controller == 38) {
            auto& [coarse, fine] = parameters_.try_emplace(key, -1, -1).first->second;
            fine = controller == 6 ? -1 : value;  // a new coarse part clears the fine one
            coarse = controller == 6 ? value : coarse;
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

// 9,000 chords of three notes. The index keeps a checkpoint after each 16,384 events, at the
// next tick boundary: the first 16,384 end inside the chord at tick 21840.
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
    for (const auto& entry : std::filesystem::directory_iterator(TEZ_CORPUS_DIR)) {
        std::ifstream in(entry.path(), std::ios::binary);
        const Bytes file((std::istreambuf_iterator<char>(in)), {});
        test::SourceRecorder device;
        if (entry.path().extension() == ".mid" && device.player.LoadBytes(file) != 0) {
            const std::uint64_t end = device.player.Index().EndTick();
            for (const std::uint64_t from : {end / 3, end / 2, end * 2 / 3}) {
                SCOPED_TRACE(entry.path().filename().string() + " from " + std::to_string(from));
                ExpectWholeFromThere(file, Options(from, end));
            }
        }
    }
}

}  // namespace
}  // namespace tez
