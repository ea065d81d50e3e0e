// Every file of the corpus plays to its end on the virtual clock and sends what an
// independent decoding of the file (midicsv) gives when mapped through the clock's rules.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "playback/smf_player.h"
#include "recording_devices.h"
#include "smf_builder.h"

namespace tez {
namespace {

using test::Bytes;
using Lines = std::vector<std::string>;

struct CsvEvent {
    std::uint64_t tick = 0;
    enum Kind { kMessage, kTempo, kEnd } kind = kMessage;
    Bytes bytes;
    std::uint32_t tempo = 0;
};

struct CsvFile {
    std::uint32_t division = 0;
    std::vector<std::vector<CsvEvent>> tracks;
};

std::vector<std::string> SplitFields(const std::string& line) {
    std::vector<std::string> fields;
    std::stringstream in(line);
    std::string field;
    while (std::getline(in, field, ',')) {
        const auto first = field.find_first_not_of(' ');
        fields.push_back(first == std::string::npos ? "" : field.substr(first));
    }
    return fields;
}

struct ChannelType {
    const char* name;
    std::uint8_t status;
    std::size_t dataBytes;
};

constexpr ChannelType kChannelTypes[] = {
    {"Note_off_c", 0x80, 2}, {"Note_on_c", 0x90, 2}, {"Poly_aftertouch_c", 0xA0, 2},
    {"Control_c", 0xB0, 2},  {"Program_c", 0xC0, 1}, {"Channel_aftertouch_c", 0xD0, 1}};

// The channel messages and system exclusive events as midicsv names them.
bool ToMessage(const std::vector<std::string>& f, Bytes& bytes) {
    auto n = [&](std::size_t i) { return static_cast<std::uint8_t>(std::stoul(f[i])); };
    for (const ChannelType& type : kChannelTypes) {
        if (f[2] == type.name) {
            bytes = {static_cast<std::uint8_t>(type.status | n(3))};
            for (std::size_t i = 0; i < type.dataBytes; ++i) {
                bytes.push_back(n(4 + i));
            }
            return true;
        }
    }
    if (f[2] == "Pitch_bend_c") {
        const auto bend = std::stoul(f[4]);
        bytes = {static_cast<std::uint8_t>(0xE0 | n(3)), static_cast<std::uint8_t>(bend & 0x7F),
                 static_cast<std::uint8_t>(bend >> 7)};
        return true;
    }
    if (f[2] == "System_exclusive") {
        bytes = {0xF0};
    } else if (f[2] != "System_exclusive_packet") {
        return false;
    }
    for (std::size_t i = 4; i < 4 + std::stoul(f[3]); ++i) {
        bytes.push_back(n(i));
    }
    return !bytes.empty();
}

CsvFile Decode(const std::filesystem::path& file) {
    CsvFile decoded;
    const std::string command = "midicsv '" + file.string() + "' 2>/dev/null";
    std::FILE* pipe = popen(command.c_str(), "r");
    std::string text;
    char block[4096];
    while (pipe != nullptr && std::fgets(block, sizeof block, pipe) != nullptr) {
        text += block;
    }
    if (pipe != nullptr) {
        pclose(pipe);
    }
    std::stringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        const auto f = SplitFields(line);
        if (f.size() < 3) {
            continue;
        }
        const auto track = std::stoul(f[0]);
        if (f[2] == "Header") {
            decoded.division = static_cast<std::uint32_t>(std::stoul(f[5]));
            continue;
        }
        if (track == 0) {
            continue;
        }
        if (decoded.tracks.size() < track) {
            decoded.tracks.resize(track);
        }
        CsvEvent event;
        event.tick = std::stoull(f[1]);
        if (f[2] == "Tempo") {
            event.kind = CsvEvent::kTempo;
            event.tempo = static_cast<std::uint32_t>(std::stoul(f[3]));
        } else if (f[2] == "End_track") {
            event.kind = CsvEvent::kEnd;
        } else if (!ToMessage(f, event.bytes)) {
            continue;
        }
        decoded.tracks[track - 1].push_back(event);
    }
    return decoded;
}

// The clock's rules: now = base + elapsed * division * 1000 / tempo, tracks served in order,
// a tempo change rebasing the clock, the default tempo 1000000.
Lines Expected(const CsvFile& file) {
    Lines lines;
    std::vector<std::size_t> next(file.tracks.size(), 0);
    std::uint64_t callback = 0, elapsed = 0, base = 0, tempo = 1'000'000;
    const std::uint64_t rate = std::uint64_t{file.division} * 1000;
    auto now = [&] {
        return base +
               static_cast<std::uint64_t>(static_cast<unsigned __int128>(elapsed) * rate / tempo);
    };
    for (;;) {
        std::uint64_t earliest = UINT64_MAX;
        for (std::size_t t = 0; t < file.tracks.size(); ++t) {
            if (next[t] < file.tracks[t].size()) {
                earliest = std::min(earliest, file.tracks[t][next[t]].tick);
            }
        }
        if (earliest == UINT64_MAX) {
            return lines;
        }
        if (earliest > now()) {
            const unsigned __int128 needed = (earliest - base) * tempo;
            const auto target = static_cast<std::uint64_t>((needed + rate - 1) / rate);
            callback += target - elapsed;
            elapsed = target;
        }
        const std::uint64_t due = now();
        for (std::size_t t = 0; t < file.tracks.size(); ++t) {
            while (next[t] < file.tracks[t].size() && file.tracks[t][next[t]].tick <= due) {
                const CsvEvent& event = file.tracks[t][next[t]++];
                if (event.kind == CsvEvent::kEnd) {
                    next[t] = file.tracks[t].size();
                } else if (event.kind == CsvEvent::kTempo) {
                    base = now();
                    elapsed = 0;
                    tempo = event.tempo != 0 ? event.tempo : tempo;
                } else {
                    lines.push_back(std::to_string(callback) + ": " + test::Hex(event.bytes));
                }
            }
        }
        ++elapsed;
        ++callback;
    }
}

std::vector<std::filesystem::path> CorpusFiles() {
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(TEZ_CORPUS_DIR)) {
        if (entry.path().extension() == ".mid") {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

class CorpusTest : public testing::TestWithParam<std::filesystem::path> {};

TEST_P(CorpusTest, PlaysToItsEndAndAgreesWithMidicsv) {
    std::ifstream in(GetParam(), std::ios::binary);
    const Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    test::RecordingDevices devices;
    CSmfPlayer player(devices);
    ASSERT_EQ(player.LoadBytes(file), 1) << DescribeLoadResult(player.LastLoadResult());
    const Lines sent = test::Timeline(player, devices);
    EXPECT_EQ(player.IsAnyTrackActive(), 0);
    EXPECT_EQ(sent, Expected(Decode(GetParam())));
}

// From the middle: the playback ends, and every note it sounds is ended.
TEST_P(CorpusTest, PlaysFromItsMiddleLeavingNoNoteSounding) {
    std::ifstream in(GetParam(), std::ios::binary);
    const Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    test::RecordingDevices devices;
    CSmfPlayer player(devices);
    ASSERT_EQ(player.LoadBytes(file), 1);
    PlaybackOptions options;
    options.fromTick = player.Index().EndTick() / 2;
    options.toTick = player.Index().EndTick();
    player.SetOptions(options);
    std::map<std::string, int> sounding;
    for (const std::string& line : test::Timeline(player, devices)) {
        const std::string message = line.substr(line.find(' ') + 1);
        const bool on = message[0] == '9' && message.substr(6) != "00";
        if (message.size() == 8 && (message[0] == '8' || message[0] == '9')) {
            sounding[message.substr(1, 4)] += on ? 1 : -1;
        }
    }
    EXPECT_EQ(player.IsAnyTrackActive(), 0);
    for (const auto& [note, count] : sounding) {
        EXPECT_EQ(count, 0) << note;
    }
}

INSTANTIATE_TEST_SUITE_P(Corpus, CorpusTest, testing::ValuesIn(CorpusFiles()),
                         [](const testing::TestParamInfo<std::filesystem::path>& info) {
                             std::string name = info.param.stem().string();
                             for (char& c : name) {
                                 if (!std::isalnum(static_cast<unsigned char>(c))) {
                                     c = '_';
                                 }
                             }
                             return name;
                         });

}  // namespace
}  // namespace tez
