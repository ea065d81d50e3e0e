// Every file of a public corpus of MIDI test files loads and plays to its end on the
// virtual clock, sending a note-off for each note-on that midicsv, an independent reader,
// finds in it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "smf_builder.h"

namespace tez {
namespace {

// Note-ons with a velocity, in the lines of a timeline ("callback: 9n kk vv").
int NoteOns(const std::vector<std::string>& sent) {
    return static_cast<int>(std::count_if(sent.begin(), sent.end(), [](const std::string& line) {
        const std::string bytes = line.substr(line.find(": ") + 2);
        return bytes.size() == 8 && bytes[0] == '9' && bytes.substr(6) != "00";
    }));
}

int MidicsvNoteOns(const std::filesystem::path& file) {
    const std::string command =
        "midicsv '" + file.string() + "' | grep -c ', Note_on_c, .*, [1-9][0-9]*$'";
    std::FILE* pipe = popen(command.c_str(), "r");
    int count = -1;
    if (pipe != nullptr && std::fscanf(pipe, "%d", &count) != 1) {
        count = -1;
    }
    pclose(pipe);
    return count;
}

TEST(Corpus, EveryFilePlaysToItsEndAndSendsTheNotesMidicsvFinds) {
    for (const auto& entry : std::filesystem::directory_iterator(TEZ_CORPUS_DIR)) {
        if (entry.path().extension() != ".mid") {
            continue;
        }
        std::ifstream in(entry.path(), std::ios::binary);
        const test::Bytes file((std::istreambuf_iterator<char>(in)), {});
        test::RecordingDevices devices;
        CSmfPlayer player(devices);
        ASSERT_EQ(player.LoadBytes(file), 1) << entry.path();
        const std::vector<std::string> sent = test::Timeline(player, devices);
        EXPECT_EQ(player.IsAnyTrackActive(), 0) << entry.path();
        EXPECT_EQ(NoteOns(sent), MidicsvNoteOns(entry.path())) << entry.path();
    }
}

}  // namespace
}  // namespace tez
