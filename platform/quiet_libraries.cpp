#include "platform/quiet_libraries.h"

#include <alsa/asoundlib.h>
#include <glib.h>
#include <jack/jack.h>

namespace tez {
namespace {

void IgnoreAlsaMessage(const char*, int, const char*, int, const char*, ...) {}
void IgnoreJackMessage(const char*) {}
void IgnoreGLibMessage(const gchar*, GLogLevelFlags, const gchar*, gpointer) {}

}  // namespace

void QuietSystemLibraries() {
    snd_lib_error_set_handler(IgnoreAlsaMessage);
    jack_set_error_function(IgnoreJackMessage);
    jack_set_info_function(IgnoreJackMessage);
    // FluidSynth's SoundFont loader (libinstpatch) asserts through GLib on a file that is no
    // SoundFont; the caller says so in its own words.
    g_log_set_default_handler(IgnoreGLibMessage, nullptr);
}

bool JackServerRuns() {
    QuietSystemLibraries();
    jack_status_t status{};
    jack_client_t* probe = jack_client_open("tez-probe", JackNoStartServer, &status);
    if (probe == nullptr) {
        return false;
    }
    jack_client_close(probe);
    return true;
}

}  // namespace tez
