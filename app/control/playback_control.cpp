#include "control/playback_control.h"

#include <new>
#include <thread>

#include "control/playback_state.h"
#include "playback/smf_player.h"
#include "score/smf_writer.h"

namespace tez {

namespace {

// The player's destructor stops its timer, resets and closes the device: nothing of the
// playback outlives this scope.
void PlayOnce(MidiDevices& devices, std::chrono::milliseconds period,
              const PlaybackRequest& request, PlaybackPosition& position) {
    CSmfPlayer player(devices);
    player.m_deviceId = g_deviceId.load();
    player.LoadFile(kScoreMidiFileName);
    player.SetOptions(request.options);
    player.SetSourceLines(request.eventLines);
    player.SetPositionSink(&position);
    player.Play();
    g_playing.store(1);
    std::this_thread::sleep_for(period);
    while (g_runFlag.load() != 0 && player.IsAnyTrackActive()) {
        std::this_thread::sleep_for(period);
    }
}

}  // namespace

std::uint32_t PlaybackThreadProc(MidiDevices& devices, std::chrono::milliseconds period,
                                 const PlaybackRequest& request, PlaybackPosition& position,
                                 std::uintptr_t argument) {
    try {
        PlayOnce(devices, period, request, position);
    } catch (const std::bad_alloc&) {
        // A score too large to load plays nothing; the worker still ends normally.
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
        if (!StartPlayback(PlaybackOptions{})) {
            return;
        }
    } else {
        StopPlayback();
    }
    CheckPlaybackThread();
}

void PlaybackControl::PlayWith(const PlaybackOptions& options) {
    if (!host_.HasNoteRecord()) {
        host_.ShowMessage(kMessageNoScoreData);
        return;
    }
    g_runFlag.store(0);
    g_playing.store(0);
    if (StartPlayback(options)) {
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

bool PlaybackControl::IsWorkerRunning() const {
    return g_playThread.IsHeld() && g_playThread.ExitCode() == kStillActive;
}

bool PlaybackControl::IsPlaying() const {
    return g_runFlag.load() != 0 && IsWorkerRunning();
}

bool PlaybackControl::StartPlayback(PlaybackOptions options) {
    // A worker told to stop may still be ending (its stop came after its poll, or from a
    // device change): wait for it, so that one worker at most holds a device and the
    // position is written by one player at a time.
    g_playThread.Release();
    g_playing.store(0);
    g_runFlag.store(1);
    options.tempoFactor = adjustments_.tempoFactor;
    options.transpose = adjustments_.transpose;
    options.mutedChannels = adjustments_.mutedChannels;
    options.soloChannels = adjustments_.soloChannels;
    latest_ = PlaybackRequest{options, eventLines_};
    position_.tick.store(options.fromTick);
    position_.line.store(-1);
    MidiDevices& devices = devices_;
    const std::chrono::milliseconds period = handshakeWait_;
    const bool started = g_playThread.Start(
        [&devices, period, request = latest_, &position = position_](std::uintptr_t argument) {
            return PlaybackThreadProc(devices, period, request, position, argument);
        },
        kWorkerArgument);
    if (!started) {
        g_runFlag.store(0);
        host_.ShowMessage(kMessageCannotStartPlayback);
        return false;
    }
    host_.SetStatusAndRefresh(kStatusPlaying);
    return true;
}

void PlaybackControl::StopPlayback() {
    g_runFlag.store(0);
    g_playing.store(0);
    host_.SetStatusAndRefresh(kStatusStopped);
    std::this_thread::sleep_for(handshakeWait_);
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
    host_.SetStatusAndRefresh(kStatusStopped);
}

void PlaybackControl::OnSelchangeDeviceList() {
    g_runFlag.store(0);
    g_playing.store(0);
    host_.SetStatusAndRefresh(kStatusStopped);
    std::this_thread::sleep_for(handshakeWait_);
    // An editable list can report no selection; the synthesizer is then the safe choice.
    const int selection = host_.DeviceListSelection();
    g_deviceId.store(selection > 0 ? selection - 1 : -1);
}

void PlaybackControl::StopForExit() {
    g_runFlag.store(0);
    g_playThread.Release();
    g_playing.store(0);
}

}  // namespace tez
