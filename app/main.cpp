// tezplayer: shows a score, converts it into "tez_p.smf" and plays it.
#include "framework/user_prompts.h"
#include "platform/midi_devices.h"
#include "tezplayer_app.h"

int main(int argc, char** argv) {
    tez::QtUserPrompts prompts;
    tez::CTezplayerApp app(prompts, tez::SystemMidiDevices());
    return app.Run(argc, argv);
}
