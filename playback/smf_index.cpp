#include "playback/smf_index.h"

#include <algorithm>
#include <functional>
#include <queue>

#include "platform/midi_codes.h"
#include "playback/smf_bytes.h"
#include "playback/tick_rate.h"

namespace tez {
namespace {

// Events between checkpoints: a seek replays at most this many.
constexpr std::uint32_t kCheckpointEvery = 16384;

CursorState StartOf(const TrackBytes& track) {
    CursorState cursor;
    const std::uint8_t* pos = track.data;
    std::uint32_t firstDelta = 0;
    cursor.active = ReadVarLen(pos, track.data + track.length, firstDelta);
    cursor.offset = static_cast<std::uint32_t>(pos - track.data);
    cursor.time = firstDelta;
    return cursor;
}

}  // namespace

// The events of all tracks in the order of their ticks (a tie goes to the lower track).
class SmfIndex::Walk {
  public:
    Walk(const std::vector<TrackBytes>& tracks, std::vector<CursorState> cursors)
        : m_tracks(tracks), m_cursors(std::move(cursors)) {
        for (std::size_t t = 0; t < m_cursors.size(); ++t) {
            if (m_cursors[t].active) {
                m_due.push({m_cursors[t].time, t});
            }
        }
    }

    std::uint64_t NextTick() const {
        const std::uint64_t queued = m_due.empty() ? kNever : m_due.top().first;
        return m_current ? std::min(m_current->first, queued) : queued;
    }

    // Reads the next event. `visit(event, tick, track, trackEnds)`.
    template <typename Visit>
    void Step(Visit visit) {
        // The track read last stays out of the queue while it leads, as one track mostly does.
        Due next{};
        if (m_current && (m_due.empty() || *m_current <= m_due.top())) {
            next = *m_current;
        } else {
            if (m_current) {
                m_due.push(*m_current);
            }
            next = m_due.top();
            m_due.pop();
        }
        m_current.reset();
        const auto [tick, t] = next;
        CursorState& cursor = m_cursors[t];
        const TrackBytes& track = m_tracks[t];
        const std::uint8_t* pos = track.data + cursor.offset;
        SmfEvent event;
        const bool goesOn =
            ReadSmfEvent(pos, track.data + track.length, cursor.runningStatus, cursor.time, event);
        cursor.offset = static_cast<std::uint32_t>(pos - track.data);
        ++cursor.eventIndex;
        cursor.active = goesOn;
        if (goesOn) {
            m_current = Due{cursor.time, t};
        }
        visit(event, tick, !goesOn);
    }

    const std::vector<CursorState>& Cursors() const { return m_cursors; }

  private:
    using Due = std::pair<std::uint64_t, std::size_t>;
    const std::vector<TrackBytes>& m_tracks;
    std::vector<CursorState> m_cursors;
    std::priority_queue<Due, std::vector<Due>, std::greater<>> m_due;
    std::optional<Due> m_current;
};

SmfIndex::SmfIndex(std::span<const TrackBytes> tracks, std::int32_t tempo)
    : m_tracks(tracks.begin(), tracks.end()), m_startTempo(tempo) {
    for (const TrackBytes& track : m_tracks) {
        m_start.push_back(StartOf(track));
    }
    Walk walk(m_tracks, m_start);
    ChannelState state(tempo);
    std::uint64_t lastTick = 0;
    std::uint32_t sinceCheckpoint = 0;
    while (walk.NextTick() != kNever) {
        const std::uint64_t next = walk.NextTick();
        // Only where a tick begins: a seek to it must send every event of the tick.
        if (sinceCheckpoint >= kCheckpointEvery && next > lastTick) {
            m_checkpoints.push_back({next, walk.Cursors(), state});
            sinceCheckpoint = 0;
        }
        walk.Step([&](const SmfEvent& event, std::uint64_t tick, bool trackEnds) {
            state.Apply(event);
            if (IsLongMessage(event)) {
                m_longMessages.push_back({event.status, event.data, event.length});
            } else if (event.status == midi::kMeta && event.metaType == midi::kSetTempo) {
                m_tempos.push_back({tick, state.Tempo()});
            } else if (event.status == midi::kMeta && event.metaType == midi::kMarker) {
                m_markers.push_back(
                    {tick, std::string(reinterpret_cast<const char*>(event.data), event.length)});
            }
            if (trackEnds) {
                m_endTick = std::max(m_endTick, tick);
            }
            lastTick = tick;
        });
        ++sinceCheckpoint;
    }
    // Each track's own count of events becomes the file's count, track by track.
    std::uint32_t first = 0;
    for (const CursorState& end : walk.Cursors()) {
        m_firstEvent.push_back(first);
        first += end.eventIndex;
    }
}

SeekResult SmfIndex::Seek(std::uint64_t tick) const {
    const auto after = std::upper_bound(
        m_checkpoints.begin(), m_checkpoints.end(), tick,
        [](std::uint64_t t, const Checkpoint& checkpoint) { return t < checkpoint.tick; });
    SeekResult result{m_start, ChannelState(m_startTempo), {}};
    if (after != m_checkpoints.begin()) {
        const Checkpoint& from = *(after - 1);
        result.cursors = from.cursors;
        result.state = from.state;
    }
    Walk walk(m_tracks, std::move(result.cursors));
    while (walk.NextTick() < tick) {
        walk.Step([&](const SmfEvent& event, std::uint64_t, bool) { result.state.Apply(event); });
    }
    result.longMessages = std::span(m_longMessages).first(result.state.LongMessages());
    result.cursors = walk.Cursors();
    for (std::size_t t = 0; t < result.cursors.size(); ++t) {
        result.cursors[t].eventIndex += m_firstEvent[t];
    }
    return result;
}

std::optional<std::uint64_t> SmfIndex::MarkerTick(std::string_view text) const {
    for (const Marker& marker : m_markers) {
        if (marker.text == text) {
            return marker.tick;
        }
    }
    return std::nullopt;
}

std::uint64_t SmfIndex::TickAtCallback(std::uint64_t callback, std::int32_t division) const {
    // The clock as playback runs it: each tempo change rebases it in the callback in which
    // it falls due.
    std::uint64_t base = 0;
    std::uint64_t rebasedAt = 0;
    std::int32_t tempo = m_startTempo;
    for (const TempoChange& change : m_tempos) {
        const TickRate rate = RateOf(division, tempo);
        if (rate.numerator == 0 || rate.denominator == 0) {
            return base;
        }
        std::uint64_t dueAt = rebasedAt;
        if (change.tick > base) {
            const std::optional<std::uint64_t> wait = MillisecondsFor(change.tick - base, rate);
            dueAt = wait ? SaturatingAdd(rebasedAt, *wait) : kNever;
        }
        if (dueAt > callback) {
            break;
        }
        base = SaturatingAdd(base, MulDiv(dueAt - rebasedAt, rate.numerator, rate.denominator));
        rebasedAt = dueAt;
        tempo = change.tempo;
    }
    const TickRate rate = RateOf(division, tempo);
    if (rate.denominator == 0) {
        return base;
    }
    return SaturatingAdd(base, MulDiv(callback - rebasedAt, rate.numerator, rate.denominator));
}

}  // namespace tez
