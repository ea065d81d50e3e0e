// The clock and the sending of events.
#include "playback/smf_player.h"

#include <algorithm>
#include <limits>

namespace tez {
namespace {

constexpr std::uint64_t kNever = std::numeric_limits<std::uint64_t>::max();

// Ticks per millisecond as a fraction. Time-code files count frames per second and ticks
// per frame, independent of the tempo; the rest count ticks per quarter note.
struct TickRate {
    std::uint64_t numerator;
    std::uint64_t denominator;
};

TickRate RateOf(std::int32_t division, std::int32_t tempo) {
    const auto word = static_cast<std::uint16_t>(division);
    if ((word & 0x8000) != 0) {
        const auto frames = static_cast<std::uint64_t>(-static_cast<std::int8_t>(word >> 8));
        // 29 stands for 30 drop-frame: 29.97 frames per second.
        const std::uint64_t framesX100 = frames == 29 ? 2997 : frames * 100;
        return {framesX100 * (word & 0xFF), 100'000};
    }
    return {static_cast<std::uint64_t>(word) * 1000, static_cast<std::uint32_t>(tempo)};
}

// value * numerator / denominator, truncated, without wrapping; saturates at 2^64 - 1.
std::uint64_t MulDiv(std::uint64_t value, std::uint64_t numerator, std::uint64_t denominator) {
    std::uint64_t product = 0;
    if (!__builtin_mul_overflow(value, numerator, &product)) {
        return product / denominator;
    }
    const unsigned __int128 wide = static_cast<unsigned __int128>(value) * numerator / denominator;
    return wide > kNever ? kNever : static_cast<std::uint64_t>(wide);
}

std::uint64_t SaturatingAdd(std::uint64_t a, std::uint64_t b) {
    std::uint64_t sum = 0;
    return __builtin_add_overflow(a, b, &sum) ? kNever : sum;
}

}  // namespace

CSmfPlayer::CSmfPlayer(MidiDevices& devices) : m_port(devices) {}

CSmfPlayer::~CSmfPlayer() {
    Stop();
    FreeTracks();
}

int CSmfPlayer::Cue() {
    Rewind();
    return m_port.Open(m_deviceId);
}

int CSmfPlayer::Play() {
    Cue();
    StartTimer(1);
    return 1;
}

int CSmfPlayer::Stop() {
    StopTimer();
    m_port.Close();
    return 1;
}

std::uint64_t CSmfPlayer::TicksIn(std::uint64_t milliseconds) const {
    const TickRate rate = RateOf(m_division, m_tempo);
    if (rate.denominator == 0) {
        return 0;  // no tempo yet (nothing loaded): the clock stands still
    }
    return MulDiv(milliseconds, rate.numerator, rate.denominator);
}

std::uint64_t CSmfPlayer::Now() const {
    return SaturatingAdd(m_tickBase, TicksIn(m_elapsedMs));
}

void CSmfPlayer::OnTimerTick() {
    m_port.SetDueTime(TickDeadline());
    const std::uint64_t now = Now();
    if (m_nextDue <= now) {
        for (std::int32_t i = 0; i < m_trackCount; ++i) {
            TrackCursor& track = m_tracks[i];
            while (track.active.load(std::memory_order_relaxed) != 0 && track.time <= now) {
                DispatchEvent(track);
            }
        }
        FindNextDue();
    }
    ++m_elapsedMs;
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
}

std::optional<std::uint64_t> CSmfPlayer::CallbacksUntilDue() const {
    if (m_nextDue == kNever && IsAnyTrackActive() == 0) {
        return std::nullopt;
    }
    const std::uint64_t now = Now();
    if (m_nextDue <= now) {
        return 0;
    }
    const TickRate rate = RateOf(m_division, m_tempo);
    if (rate.denominator == 0 || rate.numerator == 0) {
        return std::nullopt;
    }
    // The first elapsed count e with tickBase + e * num / den >= nextDue.
    const unsigned __int128 ticksNeeded = m_nextDue - m_tickBase;
    const unsigned __int128 elapsedNeeded =
        (ticksNeeded * rate.denominator + rate.numerator - 1) / rate.numerator;
    if (elapsedNeeded > kNever) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(elapsedNeeded) - m_elapsedMs;
}

void CSmfPlayer::SkipCallbacks(std::uint64_t callbacks) {
    m_elapsedMs = SaturatingAdd(m_elapsedMs, callbacks);
}

void CSmfPlayer::EndTrack(TrackCursor& track) {
    track.active.store(0);
}

void CSmfPlayer::SetTempo(const std::uint8_t* bytes, std::uint32_t count) {
    // Rebase at the old tempo, so that the position reached so far stays where it is.
    m_tickBase = Now();
    m_elapsedMs = 0;
    // The tempo is three bytes; bytes beyond them are ignored, as for any meta event
    // longer than its type needs.
    std::uint32_t tempo = 0;
    for (std::uint32_t i = 0; i < std::min<std::uint32_t>(count, 3); ++i) {
        tempo = tempo * 256 + bytes[i];
    }
    // A tempo of 0 would stop the clock for good; the previous tempo stays instead.
    if (tempo != 0) {
        m_tempo = static_cast<std::int32_t>(tempo);
    }
}

void CSmfPlayer::SendSystemExclusive(TrackCursor& track, const std::uint8_t* body,
                                     std::uint32_t count) {
    // The message is F0 followed by the body. The byte just before the body is the last
    // byte of the count, which has been read already: F0 stands in for it while the message
    // is sent, so that no buffer is needed on the timer thread.
    std::uint8_t* slot = track.data.get() + (body - 1 - track.data.get());
    const std::uint8_t saved = *slot;
    *slot = 0xF0;
    m_port.LongMsg(std::span<const std::uint8_t>(slot, std::size_t{count} + 1));
    *slot = saved;
}

void CSmfPlayer::DispatchEvent(TrackCursor& track) {
    const std::uint8_t* pos = track.pos;
    const std::uint8_t* const end = track.End();
    if (pos >= end) {
        EndTrack(track);  // the data ends without an end-of-track event
        return;
    }
    std::uint8_t status = track.runningStatus;
    if (*pos >= 0x80) {
        status = *pos++;
    }
    const auto remaining = [&] { return static_cast<std::size_t>(end - pos); };
    std::uint32_t count = 0;
    if (status >= 0x80 && status < 0xF0) {
        const std::size_t dataBytes = ShortMessageLength(status) - 1;
        if (remaining() < dataBytes) {
            EndTrack(track);
            return;
        }
        m_port.ShortMsg(status, pos[0], dataBytes == 2 ? pos[1] : 0);
        pos += dataBytes;
    } else if (status == 0xF0 || status == 0xF7) {
        if (!ReadVarLen(pos, end, count) || count > remaining()) {
            EndTrack(track);
            return;
        }
        if (status == 0xF0) {
            SendSystemExclusive(track, pos, count);
        } else if (count > 0) {
            m_port.LongMsg(std::span<const std::uint8_t>(pos, count));  // escape: as they stand
        }
        pos += count;
    } else if (status == 0xFF) {
        if (remaining() < 1) {
            EndTrack(track);
            return;
        }
        const std::uint8_t type = *pos++;
        if (!ReadVarLen(pos, end, count)) {
            EndTrack(track);
            return;
        }
        if (type == 0x2F) {
            track.pos = pos;
            EndTrack(track);
            return;
        }
        if (count > remaining()) {
            EndTrack(track);
            return;
        }
        if (type == 0x51) {
            SetTempo(pos, count);
        }
        pos += count;
    }
    track.runningStatus = status;
    std::uint32_t delta = 0;
    if (!ReadVarLen(pos, end, delta)) {
        track.pos = end;
        EndTrack(track);  // no whole delta time follows: nothing more can be timed
        return;
    }
    track.pos = pos;
    track.time += delta;
}

}  // namespace tez
