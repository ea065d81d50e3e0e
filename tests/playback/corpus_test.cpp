// Every file of a public corpus of MIDI test files, played from its middle: the playback
// ends, and every note it sounds is ended.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>

#include "playback/smf_player.h"
#include "recording_devices.h"
#include "smf_builder.h"

namespace tez {
namespace {

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

TEST_P(CorpusTest, PlaysFromItsMiddleLeavingNoNoteSounding) {
    std::ifstream in(GetParam(), std::ios::binary);
    const test::Bytes file((std::istreambuf_iterator<char>(in)), {});
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
                             std::replace_if(
                                 name.begin(), name.end(),
                                 [](unsigned char c) { return !std::isalnum(c); }, '_');
                             return name;
                         });

}  // namespace
}  // namespace tez
