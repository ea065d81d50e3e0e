// tezplayer with recording devices in place of the system's: the real window, driven from
// outside, and on exit the messages it sent, one "send .." line each, written to argv[1].
// Usage: recording_tezplayer <record> [SCORE]
#include <fstream>

#include "control/deferred_stops.h"
#include "framework/user_prompts.h"
#include "recording_devices.h"
#include "tezplayer_app.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        return 2;
    }
    const tez::DeferredStops stops;
    tez::test::RecordingDevices devices(1);
    tez::QtUserPrompts prompts;
    tez::CTezplayerApp app(prompts, devices, &stops);
    // The window sees the arguments after the record's path: a score to open, if any.
    const std::string sentPath = argv[1];
    argv[1] = argv[0];
    int windowArgc = argc - 1;
    const int exitCode = app.Run(windowArgc, argv + 1);
    std::ofstream out(sentPath);
    for (const std::string& event : devices.Events()) {
        out << event << '\n';
    }
    return exitCode;
}
