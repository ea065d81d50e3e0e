// Playing with options: a part of the file, looped, faster or slower, transposed, with
// channels muted or soloed; the state in force sent first and no note left sounding.
#include <algorithm>
#include <cmath>

#include "platform/midi_codes.h"
#include "playback/smf_player.h"
#include "playback/tick_rate.h"

namespace tez {
namespace {

constexpr double kSlowest = 0.25;
constexpr double kFastest = 4.0;
constexpr std::int32_t kWidestTranspose = 24;

}  // namespace

void CSmfPlayer::SetOptions(const PlaybackOptions& options) {
    m_options = options;
    m_options.tempoFactor = std::clamp(options.tempoFactor, kSlowest, kFastest);
    m_options.transpose = std::clamp(options.transpose, -kWidestTranspose, kWidestTranspose);
    m_speed = static_cast<std::uint32_t>(std::lround(m_options.tempoFactor * 1000));
    m_shaped = !m_options.IsWholeFile();
    m_loopsLeft = 0;
    m_notes.SetShape(m_options.transpose, m_options.mutedChannels, m_options.soloChannels);
}

void CSmfPlayer::SetSourceLines(std::vector<std::int32_t> lines) {
    m_lines = std::move(lines);
}

const SmfIndex& CSmfPlayer::Index() {
    if (m_index == nullptr) {
        std::vector<TrackBytes> tracks;
        for (std::int32_t i = 0; i < m_trackCount; ++i) {
            tracks.push_back({m_tracks[i].data.get(), m_tracks[i].length});
        }
        m_index = std::make_unique<SmfIndex>(tracks, m_division, kDefaultTempo);
    }
    return *m_index;
}

EventSource CSmfPlayer::SendingSource() const {
    EventSource source = m_sending;
    if (source.track >= 0 && m_sendingEvent < m_lines.size()) {
        source.line = m_lines[m_sendingEvent];
    }
    return source;
}

int CSmfPlayer::Halt() {
    StopTimer();
    EndSoundingNotes();
    return 1;
}

std::uint64_t CSmfPlayer::Hold() {
    StopTimer();
    return m_resumeTick;
}

void CSmfPlayer::CueOn() {
    Rewind();
    // A move goes through a pass start even to the whole file, so that the device is moved
    // to the state in force there.
    m_shaped = true;
    m_moving = true;
    PrepareRange();
}

int CSmfPlayer::PlayOn() {
    CueOn();
    UseDeviceClock(m_port.OwnClock());
    StartTimer(1);
    return 1;
}

CSmfPlayer::PassStart CSmfPlayer::MakePassStart(std::uint64_t tick,
                                                std::optional<ClockState> clock) {
    SeekResult seek = Index().Seek(tick);
    PassStart start;
    start.tick = tick;
    start.clock = clock.value_or(ClockState{tick, 0, seek.state.Tempo()});
    if (clock && m_speed != 1000) {
        // The same time past the base at this speed: the rate's numerator is scaled by the
        // speed and its denominator by 1000.
        const TickRate plain = RateOf(m_division, clock->tempo);
        const TickRate fast = RateOf(m_division, clock->tempo, m_speed);
        if (plain.numerator != 0 && fast.numerator != 0) {
            const unsigned __int128 past =
                (static_cast<unsigned __int128>(clock->elapsed) * plain.numerator + clock->carry) *
                1000;
            start.clock.elapsed = static_cast<std::uint64_t>(past / fast.numerator);
            start.clock.carry = static_cast<std::uint64_t>(past % fast.numerator);
        }
    }
    start.cursors = std::move(seek.cursors);
    // A reset among the messages undoes what came before it: the device needs them from there.
    std::size_t first = 0;
    for (std::size_t i = 0; i < seek.longMessages.size(); ++i) {
        const LongMessage& message = seek.longMessages[i];
        if (message.status == midi::kSystemExclusive &&
            IsDeviceReset(message.data, message.length)) {
            first = i;
        }
    }
    for (const LongMessage& message : seek.longMessages.subspan(first)) {
        const std::size_t begin = start.longBytes.size();
        if (message.status == midi::kSystemExclusive) {
            start.longBytes.push_back(midi::kSystemExclusive);
        }
        start.longBytes.insert(start.longBytes.end(), message.data, message.data + message.length);
        start.longPrint.Add(std::span(start.longBytes).subspan(begin));
        start.longEnds.push_back(static_cast<std::uint32_t>(start.longBytes.size()));
    }
    start.state = std::move(seek.state);
    return start;
}

void CSmfPlayer::PrepareRange() {
    const SmfIndex& index = Index();
    // The file's end is its last tick, which plays; a range's own end is the first tick
    // it leaves out.
    m_endInclusive = m_options.toTick > index.EndTick();
    m_endTick = std::min(m_options.toTick, index.EndTick());
    std::optional<ClockState> clock;
    if (m_options.fromMilliseconds) {
        clock = index.ClockAt(*m_options.fromMilliseconds);
    }
    m_loopStart = MakePassStart(m_options.fromTick, clock);
    m_loopsLeft = m_options.fromTick < m_endTick ? m_options.loops : 0;
    const std::uint64_t resume = m_options.resumeTick.value_or(m_options.fromTick);
    if (resume != m_options.fromTick) {
        m_resumeStart = MakePassStart(resume);
        StartPass(m_resumeStart);
    } else {
        StartPass(m_loopStart);
    }
}

void CSmfPlayer::StartPass(const PassStart& start) {
    for (std::int32_t i = 0; i < m_trackCount; ++i) {
        TrackCursor& track = m_tracks[i];
        const CursorState& at = start.cursors[static_cast<std::size_t>(i)];
        track.pos = track.data.get() + at.offset;
        track.time = at.time;
        track.eventIndex = at.eventIndex;
        track.runningStatus = at.runningStatus;
        track.active.store(at.active ? 1 : 0);
    }
    m_tickBase = start.clock.tickBase;
    m_elapsedMs = start.clock.elapsed;
    m_carry = start.clock.carry;
    m_tempo = start.clock.tempo;
    m_resumeTick = start.tick;
    m_pendingChase = &start;
    FindNextDue();
}

std::uint64_t CSmfPlayer::ShapedStep(std::uint64_t now) {
    if (now >= m_endTick) {
        // Every event of the pass goes out, also those this callback's step went past.
        const std::uint64_t last = m_endInclusive ? m_endTick : m_endTick - 1;
        if (m_nextDue <= last && (m_endInclusive || m_endTick > 0)) {
            SendTransition();
            DispatchDue(last, std::nullopt);
        }
        now = EndPass(now);
    }
    SendTransition();
    if (m_nextDue <= now) {
        // A tempo change does not take the clock past the pass's end, which the next
        // callback sends.
        const std::uint64_t last =
            m_endInclusive || m_endTick == 0 || m_endTick == kNever ? m_endTick : m_endTick - 1;
        now = DispatchDue(now, last);
    }
    return now;
}

// At the end of the range: every note ends; then the next pass starts in this same callback,
// so the passes follow one another without a callback lost or counted twice. Its transition
// moves the device back to the state at its start: what the pass changed goes back.
std::uint64_t CSmfPlayer::EndPass(std::uint64_t now) {
    EndSoundingNotes();
    if (m_loopsLeft != 0) {
        if (m_loopsLeft > 0) {
            --m_loopsLeft;
        }
        StartPass(m_loopStart);
        return Now();
    }
    for (std::int32_t i = 0; i < m_trackCount; ++i) {
        EndTrack(m_tracks[i]);
    }
    m_pendingChase = nullptr;  // a range that ended where it began sends nothing more
    m_endTick = kNever;
    FindNextDue();
    return now;
}

void CSmfPlayer::OwnMessages::Send(ShortMessage message) {
    m_player.m_port.ShortMsg(message.status, message.data1, message.data2);
    m_player.m_device.Hear(message);
    if ((message.status & 0xF0) >= midi::kKeyPressure) {
        m_player.m_notes.Sent(message.status, message.data1, message.data2);  // the pedal
    }
}

// The move from what the device has to the state in force at the pass's start: the system
// exclusive messages first, unless the device has heard the same since its last reset, as a
// reset among them would undo the channel messages.
void CSmfPlayer::SendTransition() {
    if (m_pendingChase == nullptr) {
        return;
    }
    const PassStart& start = *m_pendingChase;
    m_pendingChase = nullptr;
    m_sending.track = -1;
    if (m_moving) {
        KeepOrEndNotes(start.state);
    }
    if (m_device.Longs() != start.longPrint) {
        std::uint32_t begin = 0;
        for (const std::uint32_t end : start.longEnds) {
            SendLong(std::span(start.longBytes).subspan(begin, end - begin));
            begin = end;
        }
    }
    OwnMessages own(*this);
    start.state.MoveDevice(m_device, own);
    if (m_moving) {
        StrikeChangedNotes(start.state);
        m_moving = false;
    }
    FindNextDue();
}

// Each note sounding, as the new music shapes it (key, channels).
template <typename Visit>
void ForEachShapedNote(const ChannelState& target, const NoteLedger& notes, Visit visit) {
    for (int index = 0; index < 16 * 128; ++index) {
        if (target.Sounding(index) == 0) {
            continue;
        }
        const auto status = static_cast<std::uint8_t>(midi::kNoteOn | index / 128);
        std::uint8_t key = static_cast<std::uint8_t>(index % 128);
        const std::uint8_t velocity = target.Velocity(index);
        if (notes.Shape(status, key, velocity)) {
            visit(status, static_cast<std::uint8_t>(index % 128), (index / 128) * 128 + key,
                  velocity);
        }
    }
}

void CSmfPlayer::KeepOrEndNotes(const ChannelState& target) {
    std::array<std::uint8_t, 16 * 128> keep{};
    ForEachShapedNote(target, m_notes,
                      [&](std::uint8_t, std::uint8_t, int shaped, std::uint8_t velocity) {
                          keep[static_cast<std::size_t>(shaped)] = velocity;
                      });
    OwnMessages own(*this);
    m_notes.EndNotesNotIn(keep, own);
}

void CSmfPlayer::StrikeChangedNotes(const ChannelState& target) {
    ForEachShapedNote(
        target, m_notes,
        [&](std::uint8_t status, std::uint8_t key, int shaped, std::uint8_t velocity) {
            if (m_notes.Sounding(shaped) == 0) {
                SendChannelMessage(status, key, velocity);
            }
        });
}

void CSmfPlayer::EndSoundingNotes() {
    m_sending.track = -1;
    OwnMessages own(*this);
    m_notes.EndSoundingNotes(own);
}

void CSmfPlayer::SendChannelMessage(std::uint8_t status, std::uint8_t data1, std::uint8_t data2) {
    if (m_shaped && !m_notes.Shape(status, data1, data2)) {
        return;
    }
    m_port.ShortMsg(status, data1, data2);
    m_device.Hear({status, data1, data2});
    const bool fromFile = m_sending.track >= 0;
    if (m_notes.Sent(status, data1, data2) && fromFile && m_position != nullptr) {
        const bool known = m_sendingEvent < m_lines.size();
        m_position->line.store(known ? m_lines[m_sendingEvent] : -1, std::memory_order_relaxed);
    }
}

}  // namespace tez
