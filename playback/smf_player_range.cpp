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

CSmfPlayer::PassStart CSmfPlayer::MakePassStart(std::uint64_t tick) {
    SeekResult seek = Index().Seek(tick);
    PassStart start{tick, seek.state.Tempo(), std::move(seek.cursors), {}, {}, seek.state.Chase()};
    for (const LongMessage& message : seek.longMessages) {
        if (message.status == midi::kSystemExclusive) {
            start.longBytes.push_back(midi::kSystemExclusive);
        }
        start.longBytes.insert(start.longBytes.end(), message.data, message.data + message.length);
        start.longEnds.push_back(static_cast<std::uint32_t>(start.longBytes.size()));
    }
    return start;
}

void CSmfPlayer::PrepareRange() {
    const SmfIndex& index = Index();
    m_endTick = std::min(m_options.toTick, index.EndTick());
    m_loopStart = MakePassStart(m_options.fromTick);
    m_loopsLeft = m_options.fromTick < m_endTick ? m_options.loops : 0;
    const std::uint64_t resume = m_options.resumeTick.value_or(m_options.fromTick);
    if (resume != m_options.fromTick) {
        m_resumeStart = MakePassStart(resume);
        StartPass(m_resumeStart, true);
    } else {
        StartPass(m_loopStart, true);
    }
}

void CSmfPlayer::StartPass(const PassStart& start, bool withLongMessages) {
    for (std::int32_t i = 0; i < m_trackCount; ++i) {
        TrackCursor& track = m_tracks[i];
        const CursorState& at = start.cursors[static_cast<std::size_t>(i)];
        track.pos = track.data.get() + at.offset;
        track.time = at.time;
        track.eventIndex = at.eventIndex;
        track.runningStatus = at.runningStatus;
        track.active.store(at.active ? 1 : 0);
    }
    m_tickBase = start.tick;
    m_elapsedMs = 0;
    m_tempo = start.tempo;
    m_pendingChase = &start;
    m_chaseLong = withLongMessages;
    m_passSentLong = false;
    FindNextDue();
}

std::uint64_t CSmfPlayer::ShapedStep(std::uint64_t now) {
    if (now >= m_endTick) {
        // Every event before the end goes out, also those this callback's step went past.
        if (m_nextDue < m_endTick) {
            DispatchDue(m_endTick - 1);
        }
        now = EndPass(now);
    }
    SendChase();
    if (m_nextDue <= now) {
        DispatchDue(now);
    }
    return now;
}

// At the end of the range: every note ends; then the next pass starts in this same callback,
// so the passes follow one another without a callback lost or counted twice. It starts from
// the state at its start: what the pass changed is reset before the chase restores that state.
std::uint64_t CSmfPlayer::EndPass(std::uint64_t now) {
    EndSoundingNotes();
    if (m_loopsLeft != 0) {
        if (m_loopsLeft > 0) {
            --m_loopsLeft;
        }
        m_notes.ResetTouchedChannels(m_port);
        // The system exclusive messages in force stay so unless the pass sent others: sent
        // again, a reset among them would cut short the sound of the notes just ended.
        StartPass(m_loopStart, m_passSentLong);
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

// The state in force at the pass's start, when it is still to be sent: the system exclusive
// messages first, as a reset among them would undo the channel messages.
void CSmfPlayer::SendChase() {
    if (m_pendingChase == nullptr) {
        return;
    }
    const PassStart& start = *m_pendingChase;
    m_pendingChase = nullptr;
    m_sending.track = -1;
    std::uint32_t begin = 0;
    for (std::size_t i = 0; m_chaseLong && i < start.longEnds.size(); ++i) {
        m_port.LongMsg(std::span(start.longBytes).subspan(begin, start.longEnds[i] - begin));
        begin = start.longEnds[i];
    }
    for (const ShortMessage& message : start.chase) {
        SendChannelMessage(message.status, message.data1, message.data2);
    }
    FindNextDue();
}

void CSmfPlayer::EndSoundingNotes() {
    m_sending.track = -1;
    m_notes.EndSoundingNotes(m_port);
}

void CSmfPlayer::SendChannelMessage(std::uint8_t status, std::uint8_t data1, std::uint8_t data2) {
    if (m_shaped && !m_notes.Shape(status, data1, data2)) {
        return;
    }
    m_port.ShortMsg(status, data1, data2);
    const bool fromFile = m_sending.track >= 0;
    if (m_notes.Sent(status, data1, data2, fromFile) && fromFile && m_position != nullptr) {
        const bool known = m_sendingEvent < m_lines.size();
        m_position->line.store(known ? m_lines[m_sendingEvent] : -1, std::memory_order_relaxed);
    }
}

}  // namespace tez
