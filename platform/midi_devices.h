// The MIDI output devices of the system: the built-in synthesizer as device -1,
// then every MIDI output port the system offers as devices 0..Count()-1.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace tez {

// One open output device.
class MidiOutput {
  public:
    virtual ~MidiOutput() = default;
    // Sends one complete message: a channel message of 2 or 3 bytes, or a system
    // exclusive message beginning with F0. The bytes are consumed before it returns.
    // Called from the timer thread.
    virtual bool Send(std::span<const std::uint8_t> message) = 0;
    // When the messages sent from now on were due: the deadline of the timer callback that
    // sends them, on the monotonic clock. An output that can place a message in time plays
    // it one constant latency after this moment; the others send at once and ignore it.
    // Called from the timer thread.
    virtual void SetDueTime(std::chrono::steady_clock::time_point /*due*/) {}
    // How long a due time's millisecond lasts on the monotonic clock, in milliseconds, for an
    // output that counts time by its own clock (an audio device's samples): the timer keeps
    // to it, so that messages go on arriving one constant latency ahead of their sound.
    // Called from the timer thread.
    virtual double ClockPace() const { return 1.0; }
    // Leaves no note sounding: for a port All Sound Off, All Notes Off, sustain off and
    // Reset All Controllers on all 16 channels; for the synthesizer its own full reset.
    virtual void Reset() = 0;
};

// A list of devices that can be opened by id.
class MidiDevices {
  public:
    virtual ~MidiDevices() = default;
    // Number of system ports (ids 0..n-1); the synthesizer (-1) is always there besides.
    virtual int Count() = 0;
    // The device's name as the system gives it; empty when the id names no device.
    virtual std::string Name(int id) = 0;
    // Opens a device; nullptr when it cannot be opened.
    virtual std::unique_ptr<MidiOutput> Open(int id) = 0;
    // Why the device could not be opened, in a few words; empty when there is nothing to add.
    virtual std::string OpenFailure(int /*id*/) { return {}; }
    // Gets a device ready ahead of time so that a later Open is quick: the synthesizer loads
    // its SoundFont and starts its audio here. May take long; callable from any thread.
    virtual void Prepare(int /*id*/) {}
};

// A list in which no device opens: a player driven by a virtual clock for a dry run (a
// length, a position) sends nowhere.
class NoMidiDevices final : public MidiDevices {
  public:
    int Count() override { return 0; }
    std::string Name(int) override { return {}; }
    std::unique_ptr<MidiOutput> Open(int) override { return nullptr; }
};

// The system's devices: FluidSynth as -1, the ALSA sequencer's and JACK's ports as 0..n-1.
MidiDevices& SystemMidiDevices();

}  // namespace tez
