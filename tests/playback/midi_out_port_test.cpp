#include "playback/midi_out_port.h"

#include <gtest/gtest.h>

#include "recording_devices.h"

namespace tez {
namespace {

using test::RecordingDevices;
using Events = std::vector<std::string>;

struct OpenCase {
    const char* name;
    std::vector<int> opens;
    Events events;  // the port destroyed after the opens
};

class OpenTest : public testing::TestWithParam<OpenCase> {};

TEST_P(OpenTest, OpensResetsAndClosesInThisOrder) {
    RecordingDevices devices;
    {
        CMidiOutPort port(devices);
        for (int id : GetParam().opens) {
            EXPECT_EQ(port.Open(id), 1);
        }
    }
    EXPECT_EQ(devices.Events(), GetParam().events);
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, OpenTest,
    testing::Values(OpenCase{"NothingOpened", {}, {}},
                    OpenCase{"SameIdOpensNothingNew", {0, 0}, {"open 0", "reset", "close"}},
                    OpenCase{"AnotherIdResetsAndClosesTheFirst",
                             {-1, 1},
                             {"open -1", "reset", "close", "open 1", "reset", "close"}}),
    [](const testing::TestParamInfo<OpenCase>& info) { return info.param.name; });

TEST(MidiOutPort, FailedOpenRemembersTheIdAndTriesAgainNextTime) {
    RecordingDevices devices(2, 1);
    CMidiOutPort port(devices);
    EXPECT_EQ(port.Open(1), 0);
    EXPECT_EQ(port.DeviceId(), 1);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.Open(1), 0);
    EXPECT_EQ(port.ShortMsg(0x90, 0x3C, 0x64), 0);
    EXPECT_EQ(port.LongMsg(std::vector<std::uint8_t>{0xF0, 0xF7}), 0);
    EXPECT_EQ(port.Close(), 0);
    EXPECT_EQ(devices.Events(), (Events{"open 1", "open 1"}));
}

TEST(MidiOutPort, DeviceNamesFitTheBufferAndUnknownIdsAreEmpty) {
    RecordingDevices devices;
    CMidiOutPort port(devices);
    char name[256] = "junk";
    port.GetDeviceName(-1, name, sizeof name);
    EXPECT_STREQ(name, "device -1");
    port.GetDeviceName(7, name, sizeof name);
    EXPECT_STREQ(name, "");
    char small[5];
    port.GetDeviceName(1, small, sizeof small);
    EXPECT_STREQ(small, "devi");
}

}  // namespace
}  // namespace tez
