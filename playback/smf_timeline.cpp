#include "playback/smf_timeline.h"

#include <algorithm>
#include <functional>
#include <queue>
#include <utility>

#include "platform/midi_codes.h"
#include "playback/smf_bytes.h"
#include "playback/tick_rate.h"

namespace tez {
namespace {

// Where the decoding of one track stands.
struct TrackWalk {
    const std::uint8_t* pos = nullptr;
    std::uint64_t time = 0;
    std::uint8_t runningStatus = 0;
    std::uint32_t events = 0;
    std::uint32_t last = kNoEvent;  // table index of its event taken last
    bool active = false;
};

}  // namespace

SmfTimeline::SmfTimeline(std::span<const TrackBytes> tracks, std::int32_t division,
                         std::int32_t tempo)
    : m_tracks(tracks.begin(), tracks.end()), m_division(division), m_startTempo(tempo) {
    std::vector<TrackWalk> walks(m_tracks.size());
    using Due = std::pair<std::uint64_t, std::size_t>;  // (tick, track): a tie to the lower track
    std::priority_queue<Due, std::vector<Due>, std::greater<>> due;
    for (std::size_t t = 0; t < m_tracks.size(); ++t) {
        TrackWalk& walk = walks[t];
        walk.pos = m_tracks[t].data;
        std::uint32_t firstDelta = 0;
        walk.active = ReadVarLen(walk.pos, m_tracks[t].data + m_tracks[t].length, firstDelta);
        walk.time = firstDelta;
        if (walk.active) {
            due.push({walk.time, t});
        }
    }
    m_trackStarts.assign(m_tracks.size(), kNoEvent);
    m_events.reserve(CountEvents());
    while (!due.empty()) {
        const std::size_t t = due.top().second;
        due.pop();
        TrackWalk& walk = walks[t];
        const TrackBytes& track = m_tracks[t];
        // One track mostly leads for a while: it is read on without going through the queue.
        do {
            TimelineEvent entry;
            entry.tick = walk.time;
            entry.offset = static_cast<std::uint32_t>(walk.pos - track.data);
            entry.eventIndex = walk.events++;
            entry.track = static_cast<std::uint16_t>(t);
            entry.runningStatus = walk.runningStatus;
            SmfEvent event;
            walk.active =
                ReadSmfEvent(walk.pos, track.data + track.length, walk.runningStatus, walk.time, event);
            entry.endsTrack = !walk.active;
            const auto index = static_cast<std::uint32_t>(m_events.size());
            (walk.last == kNoEvent ? m_trackStarts[t] : m_events[walk.last].nextInTrack) = index;
            walk.last = index;
            if (event.status == midi::kMeta && event.metaType == midi::kSetTempo) {
                const std::uint32_t value = ReadTempo(event.data, event.length);
                m_tempos.push_back({entry.tick, static_cast<std::int32_t>(value)});
            }
            if (entry.endsTrack) {
                m_endTick = std::max(m_endTick, entry.tick);
            }
            m_events.push_back(entry);
        } while (walk.active && (due.empty() || Due{walk.time, t} < due.top()));
        if (walk.active) {
            due.push({walk.time, t});
        }
    }
    // Each track's own count of events becomes the file's count, track by track.
    std::vector<std::uint32_t> firstEvent(m_tracks.size());
    std::uint32_t first = 0;
    for (std::size_t t = 0; t < walks.size(); ++t) {
        firstEvent[t] = first;
        first += walks[t].events;
    }
    for (TimelineEvent& entry : m_events) {
        entry.eventIndex += firstEvent[entry.track];
    }
    MapTempos();
}

// One quick pass first, so that the table is allocated once at its size: a large file's
// table is not copied while it grows, which would take half as much memory again.
std::size_t SmfTimeline::CountEvents() const {
    std::size_t count = 0;
    for (const TrackBytes& track : m_tracks) {
        const std::uint8_t* pos = track.data;
        const std::uint8_t* end = track.data + track.length;
        std::uint32_t firstDelta = 0;
        if (!ReadVarLen(pos, end, firstDelta)) {
            continue;
        }
        std::uint8_t runningStatus = 0;
        std::uint64_t time = 0;
        SmfEvent event;
        do {
            ++count;
        } while (ReadSmfEvent(pos, end, runningStatus, time, event));
    }
    return count;
}

SmfEvent SmfTimeline::Decode(const TimelineEvent& entry) const {
    const TrackBytes& track = m_tracks[entry.track];
    const std::uint8_t* pos = track.data + entry.offset;
    std::uint8_t runningStatus = entry.runningStatus;
    std::uint64_t time = entry.tick;
    SmfEvent event;
    ReadSmfEvent(pos, track.data + track.length, runningStatus, time, event);
    return event;
}

std::size_t SmfTimeline::FirstAt(std::uint64_t tick) const {
    const auto at = std::lower_bound(
        m_events.begin(), m_events.end(), tick,
        [](const TimelineEvent& event, std::uint64_t t) { return event.tick < t; });
    return static_cast<std::size_t>(at - m_events.begin());
}

void SmfTimeline::MapTempos() {
    m_segments.push_back({0, m_startTempo, 0});
    for (const TempoChange& change : m_tempos) {
        if (change.tempo == 0) {
            continue;  // the tempo stays
        }
        const std::uint64_t at = MicrosecondsAt(change.tick);
        if (m_segments.back().tick == change.tick) {
            m_segments.back().tempo = change.tempo;
        } else {
            m_segments.push_back({change.tick, change.tempo, at});
        }
    }
}

std::uint64_t SmfTimeline::MicrosecondsAt(std::uint64_t tick) const {
    const auto after = std::upper_bound(
        m_segments.begin(), m_segments.end(), tick,
        [](std::uint64_t t, const TempoSegment& segment) { return t < segment.tick; });
    const TempoSegment& segment = *(after - 1);
    const TickRate rate = RateOf(m_division, segment.tempo);
    if (rate.numerator == 0 || rate.denominator == 0) {
        return segment.microseconds;
    }
    // ticks * 1000 / (ticks per millisecond), rounded to the nearest microsecond.
    const unsigned __int128 scaled =
        static_cast<unsigned __int128>(tick - segment.tick) * rate.denominator * 1000;
    const unsigned __int128 micros = (scaled + rate.numerator / 2) / rate.numerator;
    return SaturatingAdd(segment.microseconds,
                         micros > kNever ? kNever : static_cast<std::uint64_t>(micros));
}

std::size_t SmfTimeline::MemoryBytes() const {
    return m_events.capacity() * sizeof(TimelineEvent) +
           m_trackStarts.capacity() * sizeof(std::uint32_t) +
           m_tempos.capacity() * sizeof(TempoChange) + m_segments.capacity() * sizeof(TempoSegment);
}

}  // namespace tez
