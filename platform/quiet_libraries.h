// The audio and MIDI libraries underneath report to stderr on their own; a library has no
// business printing, so their messages are dropped.
#pragma once

namespace tez {

void QuietSystemLibraries();
// Whether a JACK server runs, asked without starting one and without a word on stderr.
bool JackServerRuns();

}  // namespace tez
