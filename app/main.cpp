// tezplayer: shows a score, converts it into "tez_p.smf" and plays it.
#include <thread>

#include "command_line.h"
#include "framework/user_prompts.h"
#include "platform/midi_devices.h"
#include "tezplayer_app.h"

int main(int argc, char** argv) {
    if (const std::optional<int> answered = tez::AnswerWithoutWindow(argc, argv)) {
        return *answered;
    }
    tez::MidiDevices& devices = tez::SystemMidiDevices();
    // The synthesizer loads its SoundFont while the window opens, so the first Play is prompt.
    std::thread warmUp([&devices] { devices.Prepare(-1); });
    tez::QtUserPrompts prompts;
    tez::CTezplayerApp app(prompts, devices);
    const int exitCode = app.Run(argc, argv);
    warmUp.join();
    return exitCode;
}
