#include "device_choice.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tez::cli {
namespace {

// The device list as the system would give it: names only, nothing opens.
class NamedDevices final : public MidiDevices {
  public:
    explicit NamedDevices(std::vector<std::string> names) : names_(std::move(names)) {}
    int Count() override { return static_cast<int>(names_.size()) - 1; }
    std::string Name(int id) override {
        return id >= -1 && id < Count() ? names_[static_cast<std::size_t>(id + 1)] : "";
    }
    std::unique_ptr<MidiOutput> Open(int) override { return nullptr; }

  private:
    std::vector<std::string> names_;  // from the synthesizer, -1, on
};

struct Case {
    std::string text;
    std::optional<int> id;
    std::string refusal;
};

TEST(ChooseDevice, TakesAnIdThenTheExactNameThenTheOnlyNameHoldingItInAnyCase) {
    NamedDevices devices({"FluidSynth (TimGM6mb)", "Synth", "Synth 2", "Midi Through:Port-0"});
    const std::vector<Case> cases = {
        {"-1", -1, ""},
        {"007", 7, ""},    // decimal, and an id is taken as it is: opening it will tell
        {"Synth", 0, ""},  // though two more names hold it
        {"synth 2", 1, ""},
        {"THROUGH", 2, ""},
        {"synth", std::nullopt,
         "'synth' is part of more than one device's name; give more of it or the id:\n"
         "  -1 FluidSynth (TimGM6mb)\n  0 Synth\n  1 Synth 2"},
        {"organ", std::nullopt,
         "no device is named 'organ'; the devices are:\n  -1 FluidSynth (TimGM6mb)\n"
         "  0 Synth\n  1 Synth 2\n  2 Midi Through:Port-0"},
        {"99999999999", std::nullopt,
         "no device is named '99999999999'; the devices are:\n  -1 FluidSynth (TimGM6mb)\n"
         "  0 Synth\n  1 Synth 2\n  2 Midi Through:Port-0"},
    };
    for (const Case& c : cases) {
        const DeviceChoice choice = ChooseDevice(c.text, devices);
        EXPECT_EQ(choice.id, c.id) << c.text;
        EXPECT_EQ(choice.refusal, c.refusal) << c.text;
    }
}

TEST(ChooseDevice, RefusesANameTwoDevicesHaveExactly) {
    NamedDevices devices({"FluidSynth", "USB MIDI", "USB MIDI"});
    const DeviceChoice choice = ChooseDevice("USB MIDI", devices);
    EXPECT_FALSE(choice.id);
    EXPECT_EQ(choice.refusal,
              "more than one device is named 'USB MIDI'; give its id:\n  0 USB MIDI\n  1 USB MIDI");
}

}  // namespace
}  // namespace tez::cli
