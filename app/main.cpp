// tezplayer: shows a score, converts it into "tez_p.smf" and plays it.
#include <thread>

#include "command_line.h"
#include "control/deferred_stops.h"
#include "framework/user_prompts.h"
#include "platform/midi_devices.h"
#include "tezplayer_app.h"

int main(int argc, char** argv) {
    if (const std::optional<int> answered = tez::AnswerWithoutWindow(argc, argv)) {
        return *answered;
    }
    // First, before any thread starts: a stop signal then waits for a file being written.
    const tez::DeferredStops stops;
    tez::MidiDevices& devices = tez::SystemMidiDevices();
    // The synthesizer loads its SoundFont while the window opens, so the first Play is prompt.
    std::thread warmUp([&devices] { devices.Prepare(-1); });
    tez::QtUserPrompts prompts;
    tez::CTezplayerApp app(prompts, devices, &stops);
    const int exitCode = app.Run(argc, argv);
    warmUp.join();
    return exitCode;
}
