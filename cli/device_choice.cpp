#include "device_choice.h"

#include <algorithm>
#include <cctype>
#include <regex>
#include <vector>

#include "json_text.h"

namespace tez::cli {
namespace {

constexpr std::size_t kLongestId = 9;
constexpr int kUsageExit = 2;

std::string Lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string Listed(const std::vector<int>& ids, MidiDevices& devices) {
    std::string list;
    for (const int id : ids) {
        list += "\n  " + std::to_string(id) + " " + PrintableName(devices.Name(id));
    }
    return list;
}

}  // namespace

DeviceChoice ChooseDevice(const std::string& text, MidiDevices& devices) {
    static const std::regex kId("-?[0-9]+");
    if (std::regex_match(text, kId) && text.size() <= kLongestId) {
        return {std::stoi(text), {}};
    }
    std::vector<int> all;
    std::vector<int> exact;
    std::vector<int> partial;
    const std::string lowered = Lowered(text);
    for (int id = -1; id < devices.Count(); ++id) {
        const std::string name = devices.Name(id);
        all.push_back(id);
        if (name == text) {
            exact.push_back(id);
        }
        if (!text.empty() && Lowered(name).find(lowered) != std::string::npos) {
            partial.push_back(id);
        }
    }
    const std::string quoted = "'" + PrintableName(text) + "'";
    if (exact.size() == 1) {
        return {exact.front(), {}};
    }
    if (exact.size() > 1) {
        return {std::nullopt, "more than one device is named " + quoted +
                                  "; give its id:" + Listed(exact, devices)};
    }
    if (partial.size() == 1) {
        return {partial.front(), {}};
    }
    if (partial.size() > 1) {
        return {std::nullopt, quoted + " is part of more than one device's name; give more of it " +
                                  "or the id:" + Listed(partial, devices)};
    }
    return {std::nullopt,
            "no device is named " + quoted + "; the devices are:" + Listed(all, devices)};
}

int ChosenDevice(const std::string& option, const std::string& text, MidiDevices& devices) {
    const DeviceChoice choice = ChooseDevice(text, devices);
    if (!choice.id) {
        throw CLI::RuntimeError(option + ": " + choice.refusal, kUsageExit);
    }
    return *choice.id;
}

}  // namespace tez::cli
