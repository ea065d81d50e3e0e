#include "playback/midi_out_port.h"

#include <gtest/gtest.h>

#include "recording_devices.h"

namespace tez {
namespace {

using test::RecordingDevices;
using Events = std::vector<std::string>;

TEST(MidiOutPort, OpeningAnotherIdResetsAndClosesTheFirstAndTheSameIdOpensNothing) {
    RecordingDevices devices;
    {
        CMidiOutPort port(devices);
        for (int id : {-1, -1, 1}) {
            EXPECT_EQ(port.Open(id), 1);
        }
    }
    EXPECT_EQ(devices.Events(), (Events{"open -1", "reset", "close", "open 1", "reset", "close"}));
}

TEST(MidiOutPort, FailedOpenRemembersTheIdAndTriesAgainNextTime) {
    RecordingDevices devices(2, 1);
    CMidiOutPort port(devices);
    EXPECT_EQ(port.Open(1), 0);
    EXPECT_EQ(port.DeviceId(), 1);
    EXPECT_EQ(port.Open(1), 0);
    EXPECT_EQ(port.ShortMsg(0x90, 0x3C, 0x64), 0);
    EXPECT_EQ(port.LongMsg(std::vector<std::uint8_t>{0xF0, 0xF7}), 0);
    EXPECT_EQ(port.Close(), 0);
    EXPECT_EQ(devices.Events(), (Events{"open 1", "open 1"}));
}

TEST(MidiOutPort, DeviceNamesFitTheBufferAndUnknownIdsAreEmpty) {
    RecordingDevices devices;
    CMidiOutPort port(devices);
    char name[5] = "junk";
    port.GetDeviceName(7, name, sizeof name);
    EXPECT_STREQ(name, "");
    port.GetDeviceName(1, name, sizeof name);
    EXPECT_STREQ(name, "devi");
}

}  // namespace
}  // namespace tez
