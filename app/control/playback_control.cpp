#include "control/playback_control.h"

#include <algorithm>
#include <new>

#include "control/playback_state.h"
#include "playback/smf_player.h"
#include "score/smf_writer.h"

namespace tez {

namespace {

void StartRequest(CSmfPlayer& player, const PlaybackRequest& request) {
    player.SetOptions(request.options);
    player.SetSourceLines(request.eventLines);
    player.Play();
}

// Where a move goes on: from where the music stands (moved by the edit's shift), inside the
// range when it loops.
PlaybackOptions OptionsOfMove(const PlaybackMove& move, std::uint64_t now) {
    PlaybackOptions options = move.request.options;
    if (!move.shift) {
        return options;
    }
    const std::int64_t shifted = static_cast<std::int64_t>(now) + *move.shift;
    const std::uint64_t resume = shifted < 0 ? 0 : static_cast<std::uint64_t>(shifted);
    if (options.loops == 0) {
        options.fromTick = resume;
        options.resumeTick.reset();
    } else if (resume >= options.fromTick && resume < options.toTick) {
        options.resumeTick = resume;
    }
    return options;
}

using LoadedMusic = std::shared_ptr<const std::vector<std::uint8_t>>;

void Load(CSmfPlayer& player, const LoadedMusic& music) {
    if (music) {
        player.LoadBytes(*music);
    } else {
        player.LoadFile(kScoreMidiFileName);
    }
}

// The same player holds and plays on: the device stays open, the notes sounding go on where
// the new music still has them, and nothing is sent twice.
void MoveOn(CSmfPlayer& player, const PlaybackMove& move, LoadedMusic& loaded) {
    // Read once the timer has stopped: the first tick not sent yet.
    const std::uint64_t now = player.Hold();
    const LoadedMusic& music = move.request.music;
    if (music != loaded || (!music && move.reloadFile)) {
        Load(player, music);
        loaded = music;
    }
    PlaybackRequest request = move.request;
    request.options = OptionsOfMove(move, now);
    player.SetOptions(request.options);
    player.SetSourceLines(request.eventLines);
    player.PlayOn();
}

// The player's destructor stops its timer, resets and closes the device: nothing of the
// playback outlives this scope.
void PlayOnce(MidiDevices& devices, std::chrono::milliseconds period,
              const PlaybackRequest& request, PlaybackPosition& position, MoveMailbox& moves) {
    CSmfPlayer player(devices);
    // Told once the player has closed its device, whichever way the playback ends.
    struct DropCount {
        CSmfPlayer& player;
        PlaybackPosition& position;
        ~DropCount() {
            player.Stop();
            position.dropped.store(player.m_port.DroppedMessages());
        }
    } dropCount{player, position};
    player.m_deviceId = g_deviceId.load();
    LoadedMusic loaded = request.music;
    Load(player, loaded);
    player.SetPositionSink(&position);
    StartRequest(player, request);
    g_playing.store(1);
    for (;;) {
        std::optional<PlaybackMove> move = moves.Wait(period);
        if (g_runFlag.load() == 0) {
            position.resume.store(player.Hold());
            break;
        }
        if (!move && !player.IsAnyTrackActive()) {
            move = moves.TakeOrClose();  // a move that came as the music ended still plays
            if (!move) {
                return;
            }
        }
        if (move) {
            MoveOn(player, *move, loaded);
        }
    }
    moves.Close();
}

}  // namespace

std::string StoppedStatus(std::uint64_t dropped) {
    if (dropped == 0) {
        return kStatusStopped;
    }
    return std::string(kStatusStopped) + "; " + std::to_string(dropped) +
           (dropped == 1 ? " message the device could not take was dropped"
                         : " messages the device could not take were dropped");
}

std::uint32_t PlaybackThreadProc(MidiDevices& devices, std::chrono::milliseconds period,
                                 const PlaybackRequest& request, PlaybackPosition& position,
                                 MoveMailbox& moves, std::uintptr_t argument) {
    try {
        PlayOnce(devices, period, request, position, moves);
    } catch (const std::bad_alloc&) {
        // A score too large to load plays nothing; the worker still ends normally.
        moves.Close();
    }
    return static_cast<std::uint32_t>(argument * 10);
}

void PlaybackControl::OnPlayStop() {
    if (!host_.HasNoteRecord()) {
        host_.ShowMessage(kMessageNoScoreData);
        return;
    }
    // The run flag stays set from a start until the form stops it, so a press while the
    // worker is still loading stops that playback instead of starting a second one.
    if (g_playing.load() == 0 && g_runFlag.load() == 0) {
        if (!StartPlayback(PlaybackOptions{}, false)) {
            return;
        }
    } else {
        StopPlayback();
    }
    CheckPlaybackThread();
}

void PlaybackControl::Stop() {
    if (g_playing.load() != 0 || g_runFlag.load() != 0) {
        StopPlayback();
        CheckPlaybackThread();
    }
}

PlaybackRequest PlaybackControl::RequestFor(const PlaybackOptions& options,
                                            const MusicInMemory* music) const {
    if (music != nullptr) {
        return {Adjusted(options), music->eventLines, music->file};
    }
    return {Adjusted(options), eventLines_, nullptr};
}

void PlaybackControl::PlayWith(const PlaybackOptions& options, std::optional<std::int64_t> shift,
                               const MusicInMemory* music) {
    if (!host_.HasNoteRecord() && music == nullptr) {
        host_.ShowMessage(kMessageNoScoreData);
        return;
    }
    const PlaybackRequest request = RequestFor(options, music);
    if (IsPlaying() && mailbox_.Post({request, fileVersion_ != workerFileVersion_, shift})) {
        latest_ = request;
        workerFileVersion_ = fileVersion_;
        host_.ShowStatus(kStatusPlaying);
        return;
    }
    PlaybackOptions fresh = options;
    if (shift) {
        // The playback ended just now: the new one starts where it stood.
        const std::int64_t at = static_cast<std::int64_t>(position_.tick.load()) + *shift;
        fresh.fromTick = static_cast<std::uint64_t>(std::max<std::int64_t>(0, at));
        fresh.resumeTick.reset();
    }
    g_runFlag.store(0);
    g_playing.store(0);
    if (StartPlayback(fresh, true, music)) {
        CheckPlaybackThread();
    }
}

void PlaybackControl::SetTempoAndTranspose(double tempoFactor, std::int32_t transpose) {
    adjustments_.tempoFactor = tempoFactor;
    adjustments_.transpose = transpose;
}

void PlaybackControl::SetChannels(std::uint16_t muted, std::uint16_t solo) {
    adjustments_.mutedChannels = muted;
    adjustments_.soloChannels = solo;
}

std::uint64_t PlaybackControl::StoppedAt() {
    mailbox_.Wake();
    g_playThread.Release();
    return position_.resume.load();
}

bool PlaybackControl::IsWorkerRunning() const {
    return g_playThread.IsHeld() && g_playThread.ExitCode() == kStillActive;
}

bool PlaybackControl::IsPlaying() const {
    return g_runFlag.load() != 0 && IsWorkerRunning();
}

PlaybackOptions PlaybackControl::Adjusted(PlaybackOptions options) const {
    options.tempoFactor = adjustments_.tempoFactor;
    options.transpose = adjustments_.transpose;
    options.mutedChannels = adjustments_.mutedChannels;
    options.soloChannels = adjustments_.soloChannels;
    return options;
}

bool PlaybackControl::StartPlayback(PlaybackOptions options, bool movingOn,
                                    const MusicInMemory* music) {
    // A worker told to stop may still be ending (its stop came after its poll, or from a
    // device change): it ends at once when woken, so that one worker at most holds a device
    // and the position is written by one player at a time.
    mailbox_.Wake();
    g_playThread.Release();
    g_playing.store(0);
    g_runFlag.store(1);
    latest_ = RequestFor(options, music);
    workerFileVersion_ = fileVersion_;
    position_.tick.store(options.fromTick);
    position_.resume.store(options.fromTick);
    position_.line.store(-1);
    position_.dropped.store(0);
    mailbox_.Open();
    MidiDevices& devices = devices_;
    const std::chrono::milliseconds period = handshakeWait_;
    const bool started = g_playThread.Start(
        [&devices, period, request = latest_, &position = position_,
         &moves = mailbox_](std::uintptr_t argument) {
            return PlaybackThreadProc(devices, period, request, position, moves, argument);
        },
        kWorkerArgument);
    if (!started) {
        g_runFlag.store(0);
        host_.ShowMessage(kMessageCannotStartPlayback);
        return false;
    }
    if (movingOn) {
        host_.ShowStatus(kStatusPlaying);
    } else {
        host_.SetStatusAndRefresh(kStatusPlaying);
    }
    return true;
}

// The worker is told at once, so the window's thread does not wait for it: the worker ends
// its playback (every note ended, the device reset and closed) as soon as it wakes.
void PlaybackControl::StopPlayback() {
    g_runFlag.store(0);
    g_playing.store(0);
    mailbox_.Wake();
    host_.SetStatusAndRefresh(kStatusStopped);
}

void PlaybackControl::CheckPlaybackThread() {
    if (!g_playThread.IsHeld()) {
        return;
    }
    g_threadExitCode.store(g_playThread.ExitCode());
    if (g_threadExitCode.load() == kStillActive) {
        return;
    }
    g_playThread.Release();
    g_playing.store(0);
    host_.SetStatusAndRefresh(StoppedStatus(position_.dropped.load()));
}

void PlaybackControl::OnSelchangeDeviceList() {
    g_runFlag.store(0);
    g_playing.store(0);
    mailbox_.Wake();
    host_.SetStatusAndRefresh(kStatusStopped);
    // An editable list can report no selection; the synthesizer is then the safe choice.
    const int selection = host_.DeviceListSelection();
    g_deviceId.store(selection > 0 ? selection - 1 : -1);
}

void PlaybackControl::StopForExit() {
    g_runFlag.store(0);
    mailbox_.Wake();
    g_playThread.Release();
    g_playing.store(0);
}

}  // namespace tez
