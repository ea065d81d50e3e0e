// The system's devices: the built-in synthesizer as -1, the MIDI ports as 0..n-1.
#include <mutex>

#include "platform/live_synthesizer.h"
#include "platform/midi_devices.h"
#include "platform/rtmidi_ports.h"

namespace tez {
namespace {

class SystemDevices final : public MidiDevices {
  public:
    int Count() override {
        std::lock_guard lock(mutex_);
        return ports_.Refresh();
    }

    std::string Name(int id) override {
        if (id == -1) {
            return synthesizer_.Name();
        }
        std::lock_guard lock(mutex_);
        return ports_.Name(id);
    }

    std::unique_ptr<MidiOutput> Open(int id) override {
        if (id == -1) {
            return synthesizer_.Open();
        }
        std::lock_guard lock(mutex_);
        if (ports_.Count() == 0) {
            ports_.Refresh();
        }
        return ports_.Open(id);
    }

    std::string OpenFailure(int id) override {
        return id == -1 ? synthesizer_.Failure() : "the port did not open";
    }

    void Prepare(int id) override {
        if (id == -1) {
            synthesizer_.Prepare();
        }
    }

  private:
    std::mutex mutex_;  // the port list is read by the window and opened by a playback
    RtMidiPorts ports_;
    LiveSynthesizer synthesizer_;
};

}  // namespace

MidiDevices& SystemMidiDevices() {
    static SystemDevices devices;
    return devices;
}

}  // namespace tez
