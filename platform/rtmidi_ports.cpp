#include "platform/rtmidi_ports.h"

#include <RtMidi.h>
#include <alsa/asoundlib.h>

#include "platform/jack_midi_output.h"
#include "platform/quiet_libraries.h"
#include "platform/rtmidi_output.h"

namespace tez {
namespace {

constexpr const char* kClientName = "tez";

void IgnoreRtMidiError(RtMidiError::Type, const std::string&, void*) {}
// alsa-lib and RtMidi both complain on stderr when the system has no sequencer (no
// /dev/snd/seq, as in containers): ask quietly first.
bool AlsaSequencerExists() {
    QuietSystemLibraries();
    snd_seq_t* probe = nullptr;
    if (snd_seq_open(&probe, "default", SND_SEQ_OPEN_OUTPUT, 0) < 0) {
        return false;
    }
    snd_seq_close(probe);
    return true;
}

std::unique_ptr<RtMidiOut> MakeLister(RtMidi::Api api) {
    try {
        auto lister = std::make_unique<RtMidiOut>(api, kClientName);
        lister->setErrorCallback(IgnoreRtMidiError, nullptr);
        return lister;
    } catch (const RtMidiError&) {
        return nullptr;  // this backend cannot start here: it offers no port
    }
}

}  // namespace

RtMidiPorts::RtMidiPorts() = default;
RtMidiPorts::~RtMidiPorts() = default;

int RtMidiPorts::Refresh() {
    ports_.clear();
    if (alsa_ == nullptr && AlsaSequencerExists()) {
        alsa_ = MakeLister(RtMidi::LINUX_ALSA);
    }
    if (alsa_ != nullptr) {
        AddPortsOf(*alsa_, RtMidi::LINUX_ALSA);
    }
    // JACK's ports are asked for anew every time: the server may have come or gone.
    const std::vector<std::string> jackPorts = JackMidiInputPorts();
    for (std::size_t i = 0; i < jackPorts.size(); ++i) {
        ports_.push_back(Port{RtMidi::UNIX_JACK, static_cast<unsigned int>(i), jackPorts[i]});
    }
    return Count();
}

void RtMidiPorts::AddPortsOf(RtMidiOut& lister, int api) {
    try {
        const unsigned int count = lister.getPortCount();
        for (unsigned int i = 0; i < count; ++i) {
            ports_.push_back(Port{api, i, lister.getPortName(i)});
        }
    } catch (const RtMidiError&) {
    }
}

std::string RtMidiPorts::Name(int index) const {
    if (index < 0 || index >= Count()) {
        return {};
    }
    return ports_[static_cast<std::size_t>(index)].name;
}

std::unique_ptr<MidiOutput> RtMidiPorts::Open(int index) {
    if (index < 0 || index >= Count()) {
        return nullptr;
    }
    const Port& port = ports_[static_cast<std::size_t>(index)];
    if (port.api == RtMidi::UNIX_JACK) {
        return OpenJackMidiOutput(port.name);
    }
    auto out = MakeLister(static_cast<RtMidi::Api>(port.api));
    if (out == nullptr) {
        return nullptr;
    }
    try {
        // The list may have changed since it was read; open the port only if it is the same.
        if (port.index >= out->getPortCount() || out->getPortName(port.index) != port.name) {
            return nullptr;
        }
        out->openPort(port.index, "out");
        if (!out->isPortOpen()) {
            return nullptr;
        }
    } catch (const RtMidiError&) {
        return nullptr;
    }
    return std::make_unique<RtMidiOutput>(std::move(out));
}

}  // namespace tez
