// Play/Stop and the device choice of the score form: one playback at a time, each on a
// worker thread of its own that owns the player for its whole life.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "platform/midi_devices.h"

namespace tez {

inline constexpr const char* kStatusPlaying = "playing...";
inline constexpr const char* kStatusStopped = "stopped";
inline constexpr const char* kMessageNoScoreData = "no tezdata.";
inline constexpr const char* kMessageCannotStartPlayback = "cannot start playback.";

// What the playback control needs of the form it belongs to.
class PlaybackHost {
  public:
    virtual ~PlaybackHost() = default;
    // Whether the form holds at least one note record of its last completed read.
    virtual bool HasNoteRecord() const = 0;
    // Sets the status string and refreshes the form's boxes from its strings.
    virtual void SetStatusAndRefresh(const std::string& status) = 0;
    // A modal message box with an OK button.
    virtual void ShowMessage(const std::string& text) = 0;
    // The index of the selected device list entry; entry 0 is device -1.
    virtual int DeviceListSelection() const = 0;
};

class PlaybackControl {
  public:
    // `handshakeWait` is the form's pause after a stop and the worker's period between
    // looks at the run flag; 100 ms in the program.
    PlaybackControl(PlaybackHost& host, MidiDevices& devices,
                    std::chrono::milliseconds handshakeWait = std::chrono::milliseconds(100))
        : host_(host), devices_(devices), handshakeWait_(handshakeWait) {}
    PlaybackControl(const PlaybackControl&) = delete;
    PlaybackControl& operator=(const PlaybackControl&) = delete;
    // Stops any playback, so that closing the form leaves no note sounding.
    ~PlaybackControl() { StopForExit(); }

    // The Play/Stop button: starts a playback of "tez_p.smf" when none runs, else stops.
    void OnPlayStop();
    // Releases the worker's handle once it has ended and shows "stopped".
    void CheckPlaybackThread();
    // A new choice in the device list: stops any playback and keeps the device for the next.
    void OnSelchangeDeviceList();
    // Asks the worker to end and waits until it has: its player resets and closes the device.
    void StopForExit();

  private:
    bool StartPlayback();
    void StopPlayback();

    PlaybackHost& host_;
    MidiDevices& devices_;
    std::chrono::milliseconds handshakeWait_;
};

// The worker's routine: plays "tez_p.smf" of the current directory once on device
// g_deviceId until the music ends or the run flag is cleared, looking at both after every
// `period`. Returns argument times ten.
std::uint32_t PlaybackThreadProc(MidiDevices& devices, std::chrono::milliseconds period,
                                 std::uintptr_t argument);

}  // namespace tez
