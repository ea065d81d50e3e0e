// tezplayer with recording devices in place of the system's: the real window, driven from
// outside, and on exit the messages it sent, one "send .." line each, written to argv[1].
#include <fstream>

#include "framework/user_prompts.h"
#include "recording_devices.h"
#include "tezplayer_app.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        return 2;
    }
    tez::test::RecordingDevices devices(1);
    tez::QtUserPrompts prompts;
    tez::CTezplayerApp app(prompts, devices);
    // The window sees no argument: a name on its command line would be opened as a document.
    const std::string sentPath = argv[1];
    int windowArgc = 1;
    const int exitCode = app.Run(windowArgc, argv);
    std::ofstream out(sentPath);
    for (const std::string& event : devices.Events()) {
        out << event << '\n';
    }
    return exitCode;
}
