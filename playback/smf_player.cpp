// The clock and the sending of events.
#include "playback/smf_player.h"

#include <algorithm>

#include "platform/midi_codes.h"
#include "playback/smf_event.h"
#include "playback/tick_rate.h"

namespace tez {

CSmfPlayer::CSmfPlayer(MidiDevices& devices) : m_port(devices) {}

CSmfPlayer::~CSmfPlayer() {
    Stop();
    FreeTracks();
}

int CSmfPlayer::Cue() {
    Rewind();
    m_notes.Clear();  // the device starts without notes of this player sounding
    m_device.Forget();
    m_moving = false;
    if (m_shaped) {
        PrepareRange();
    }
    return m_port.Open(m_deviceId);
}

int CSmfPlayer::Play() {
    Cue();
    UseDeviceClock(m_port.OwnClock());
    StartTimer(1);
    return 1;
}

int CSmfPlayer::Stop() {
    StopTimer();
    // Stopped before its end (a signal, the Stop button) the music leaves no note sounding,
    // also on a device that ignores All Notes Off.
    if (m_shaped || IsAnyTrackActive() != 0) {
        EndSoundingNotes();
    }
    m_port.Close();
    m_device.Forget();
    return 1;
}

std::uint64_t CSmfPlayer::TicksIn(std::uint64_t milliseconds) const {
    const TickRate rate = RateOf(m_division, m_tempo, m_speed);
    if (rate.denominator == 0) {
        return 0;  // no tempo yet (nothing loaded): the clock stands still
    }
    return TicksAfter(milliseconds, m_carry, rate);
}

bool CSmfPlayer::ClockStands() const {
    return RateOf(m_division, kDefaultTempo).numerator == 0;
}

std::uint64_t CSmfPlayer::Now() const {
    return SaturatingAdd(m_tickBase, TicksIn(m_elapsedMs));
}

void CSmfPlayer::OnTimerTick() {
    m_port.SetDueTime(TickDeadline());
    std::uint64_t now = Now();
    if (m_shaped) {
        now = ShapedStep(now);
    } else if (m_nextDue <= now) {
        now = DispatchDue(now, kNever);
    }
    if (m_position != nullptr) {
        m_position->tick.store(now, std::memory_order_relaxed);
    }
    m_resumeTick = SaturatingAdd(now, 1);
    ++m_elapsedMs;
}

std::uint64_t CSmfPlayer::DispatchDue(std::uint64_t now, std::optional<std::uint64_t> cap) {
    // A tempo change moves what is due in this callback: the tracks are gone through again
    // up to the clock at its new rate.
    for (bool again = true; again;) {
        again = false;
        for (std::int32_t i = 0; i < m_trackCount; ++i) {
            TrackCursor& track = m_tracks[i];
            while (track.active.load(std::memory_order_relaxed) != 0 && track.time <= now) {
                m_sending.track = i;
                DispatchEvent(track);
                if (m_rebased && cap) {
                    const std::uint64_t moved = std::min(Now(), *cap);
                    again = again || moved > now;
                    now = moved;
                }
                m_rebased = false;
            }
            if (track.time > now && ClockStands()) {
                EndTrack(track);  // a clock that stands never reaches the track's next event
            }
        }
    }
    FindNextDue();
    return now;
}

std::uint64_t CSmfPlayer::IdleTicks() const {
    return CallbacksUntilDue().value_or(kNever);
}

void CSmfPlayer::FindNextDue() {
    m_nextDue = kNever;
    for (std::int32_t i = 0; i < m_trackCount; ++i) {
        if (m_tracks[i].active.load(std::memory_order_relaxed) != 0) {
            m_nextDue = std::min(m_nextDue, m_tracks[i].time);
        }
    }
    if (m_shaped) {
        m_nextDue = m_pendingChase != nullptr ? 0 : std::min(m_nextDue, m_endTick);
    }
}

std::optional<std::uint64_t> CSmfPlayer::CallbacksUntilDue() const {
    if (m_nextDue == kNever && IsAnyTrackActive() == 0) {
        return std::nullopt;
    }
    const std::uint64_t now = Now();
    if (m_nextDue <= now) {
        return 0;
    }
    const TickRate rate = RateOf(m_division, m_tempo, m_speed);
    if (rate.denominator == 0 || rate.numerator == 0) {
        return std::nullopt;
    }
    // The first elapsed count e with tickBase + (e * num + carry) / den >= nextDue.
    const std::optional<std::uint64_t> elapsedNeeded =
        MillisecondsFor(m_nextDue - m_tickBase, rate, m_carry);
    if (!elapsedNeeded) {
        return std::nullopt;
    }
    return *elapsedNeeded - m_elapsedMs;
}

void CSmfPlayer::SkipCallbacks(std::uint64_t callbacks) {
    m_elapsedMs = SaturatingAdd(m_elapsedMs, callbacks);
}

void CSmfPlayer::EndTrack(TrackCursor& track) {
    track.active.store(0);
}

void CSmfPlayer::SetTempo(std::uint64_t tick, const std::uint8_t* bytes, std::uint32_t count) {
    Rebase(tick);
    const std::uint32_t tempo = ReadTempo(bytes, count);
    // A tempo of 0 would stop the clock for good; the previous tempo stays instead.
    if (tempo != 0) {
        m_tempo = static_cast<std::int32_t>(tempo);
    }
}

// Moves the clock's base to `tick`, which it has reached, keeping what it has gone past it:
// the ticks' rate numerator does not depend on the tempo, so the carry holds at any tempo.
void CSmfPlayer::Rebase(std::uint64_t tick) {
    m_rebased = true;
    const TickRate rate = RateOf(m_division, m_tempo, m_speed);
    if (rate.numerator == 0 || rate.denominator == 0 || tick < m_tickBase) {
        m_tickBase = Now();
        m_elapsedMs = 0;
        m_carry = 0;
        return;
    }
    const unsigned __int128 counted =
        static_cast<unsigned __int128>(m_elapsedMs) * rate.numerator + m_carry;
    const unsigned __int128 toTick =
        static_cast<unsigned __int128>(tick - m_tickBase) * rate.denominator;
    // Only the last events of a range, sent before the clock reaches them, are not reached.
    const unsigned __int128 past = counted > toTick ? counted - toTick : 0;
    m_tickBase = tick;
    m_elapsedMs = static_cast<std::uint64_t>(past / rate.numerator);
    m_carry = static_cast<std::uint64_t>(past % rate.numerator);
}

void CSmfPlayer::SendSystemExclusive(TrackCursor& track, const std::uint8_t* body,
                                     std::uint32_t count) {
    // The message is F0 followed by the body. The byte just before the body is the last
    // byte of the count, which has been read already: F0 stands in for it while the message
    // is sent, so that no buffer is needed on the timer thread.
    std::uint8_t* slot = track.data.get() + (body - 1 - track.data.get());
    const std::uint8_t saved = *slot;
    *slot = 0xF0;
    SendLong(std::span<const std::uint8_t>(slot, std::size_t{count} + 1));
    *slot = saved;
}

void CSmfPlayer::SendLong(std::span<const std::uint8_t> message) {
    m_port.LongMsg(message);
    m_device.HearLong(message);
}

void CSmfPlayer::DispatchEvent(TrackCursor& track) {
    m_sending.tick = track.time;
    m_sendingEvent = track.eventIndex++;
    SmfEvent event;
    const bool goesOn =
        ReadSmfEvent(track.pos, track.End(), track.runningStatus, track.time, event);
    if (event.IsChannelMessage()) {
        SendChannelMessage(event.status, event.Data1(), event.Data2());
    } else if (event.status == midi::kSystemExclusive) {
        SendSystemExclusive(track, event.data, event.length);
    } else if (IsLongMessage(event)) {
        SendLong(std::span<const std::uint8_t>(event.data, event.length));  // as they stand
    } else if (event.status == midi::kMeta && event.metaType == midi::kSetTempo) {
        SetTempo(m_sending.tick, event.data, event.length);
    }
    if (!goesOn) {
        EndTrack(track);
    }
}

}  // namespace tez
