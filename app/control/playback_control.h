// Play/Stop and the device choice of the score form: one playback at a time, each on a
// worker thread of its own that owns the player for its whole life.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "control/move_mailbox.h"
#include "platform/midi_devices.h"
#include "playback/playback_options.h"

namespace tez {

inline constexpr const char* kStatusPlaying = "playing...";
inline constexpr const char* kStatusStopped = "stopped";
// "stopped", and how many messages the device could not take when there were any.
std::string StoppedStatus(std::uint64_t dropped);
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
    // Sets the status string and shows it, refreshing the score box only where that loses
    // nothing typed: for a playback that moves on rather than one Play/Stop starts.
    virtual void ShowStatus(const std::string& status) { SetStatusAndRefresh(status); }
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
    // Stops a playback that runs or is starting, whatever score the form holds.
    void Stop();
    // A new choice in the device list: stops any playback and keeps the device for the next.
    void OnSelchangeDeviceList();
    // Asks the worker to end and waits until it has: its player resets and closes the device.
    void StopForExit();

    // Plays "tez_p.smf", or `music` when given, with `options` (tempo and transpose replaced
    // by the control's). A running playback moves on in its own player, without a gap; with
    // `shift`, from where it stands, that many ticks further. Otherwise a playback starts.
    void PlayWith(const PlaybackOptions& options, std::optional<std::int64_t> shift = {},
                  const MusicInMemory* music = nullptr);
    // The score line of each event of "tez_p.smf", just written again, for the playbacks
    // started or moved on from now on.
    void SetEventLines(std::vector<std::int32_t> lines) {
        eventLines_ = std::move(lines);
        ++fileVersion_;
    }
    const std::vector<std::int32_t>& EventLines() const { return eventLines_; }
    // Speed and key of every playback started from now on, Play/Stop's included.
    void SetTempoAndTranspose(double tempoFactor, std::int32_t transpose);
    // The channels muted, and soloed (none: all sound), for every playback started from now on.
    void SetChannels(std::uint16_t muted, std::uint16_t solo);
    // Where the latest playback stands; written by its player while it plays.
    const PlaybackPosition& Position() const { return position_; }
    // The options the latest playback started with.
    const PlaybackOptions& LatestOptions() const { return latest_.options; }
    // The file in memory the latest playback plays; none for "tez_p.smf".
    const std::shared_ptr<const std::vector<std::uint8_t>>& LatestMusic() const {
        return latest_.music;
    }
    // After a stop: waits for the worker to end and answers the first tick it did not send.
    std::uint64_t StoppedAt();
    // True while a worker runs, from its start until its routine has returned.
    bool IsWorkerRunning() const;
    // True while a worker runs that has not been told to stop.
    bool IsPlaying() const;

  private:
    // `movingOn`: a playback that takes over from another, which keeps what is typed.
    bool StartPlayback(PlaybackOptions options, bool movingOn,
                       const MusicInMemory* music = nullptr);
    PlaybackRequest RequestFor(const PlaybackOptions& options, const MusicInMemory* music) const;
    void StopPlayback();
    PlaybackOptions Adjusted(PlaybackOptions options) const;

    PlaybackHost& host_;
    MidiDevices& devices_;
    std::chrono::milliseconds handshakeWait_;
    std::vector<std::int32_t> eventLines_;
    PlaybackOptions adjustments_;
    PlaybackRequest latest_;
    // Counts the writes of "tez_p.smf"; the worker has the one it last loaded.
    std::uint64_t fileVersion_ = 0;
    std::uint64_t workerFileVersion_ = 0;
    MoveMailbox mailbox_;
    // Outlives every worker: the destructor waits for the last one.
    PlaybackPosition position_;
};

// The worker's routine: plays "tez_p.smf" of the current directory as `request` asks on
// device g_deviceId until the music ends or the run flag is cleared, looking at both after
// every `period`, and keeps `position` up to date. Each move left in `moves` goes on in the
// same player at once. Returns argument times ten.
std::uint32_t PlaybackThreadProc(MidiDevices& devices, std::chrono::milliseconds period,
                                 const PlaybackRequest& request, PlaybackPosition& position,
                                 MoveMailbox& moves, std::uintptr_t argument);

}  // namespace tez
