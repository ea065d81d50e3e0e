// The MIDI output devices of the system: the built-in synthesizer as device -1,
// then every MIDI output port the system offers as devices 0..Count()-1.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace tez {

// The clock of a device that counts time by itself: it calls a playback's callbacks once per
// millisecond of its own time, between the blocks of sound it makes, so that the music keeps
// the sound's clock exactly however the device's blocks come.
class DeviceClock {
  public:
    using Callback = void (*)(void* user);
    virtual ~DeviceClock() = default;
    // Calls `callback(user)` once per millisecond of the device's time, one at a time, the
    // first at the first millisecond begun after this call. A running one is stopped first.
    virtual void StartTicks(Callback callback, void* user) = 0;
    // Returns once no callback runs or will start. Not from inside a callback.
    virtual void StopTicks() = 0;
};

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
    // The device's own clock, when it has one that the playback must keep (an audio stream
    // counting time in its samples): it then runs the millisecond callbacks itself. nullptr:
    // the timer thread runs them.
    virtual DeviceClock* OwnClock() { return nullptr; }
    // Messages dropped because they can never reach the device (larger than it takes at
    // once), so that nothing queued behind them waits. Any thread.
    virtual std::uint64_t Dropped() const { return 0; }
    // The device went away during use (its server ended): nothing sent arrives any more.
    // Any thread.
    virtual bool Lost() const { return false; }
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
