#include "playback/smf_timeline.h"

#include <algorithm>
#include <utility>

#include "platform/midi_codes.h"
#include "playback/smf_bytes.h"
#include "playback/smf_merge.h"
#include "playback/tick_rate.h"

namespace tez {

SmfTimeline::SmfTimeline(std::span<const TrackBytes> tracks, std::int32_t division,
                         std::int32_t tempo)
    : m_tracks(tracks.begin(), tracks.end()), m_division(division), m_startTempo(tempo) {
    m_trackStarts.assign(m_tracks.size(), kNoEvent);
    std::vector<std::uint32_t> lastOfTrack(m_tracks.size(), kNoEvent);
    std::vector<std::uint32_t> eventsOfTrack(m_tracks.size(), 0);
    m_events.reserve(CountEvents());
    MergeTracks(m_tracks, [&](const TimelineEvent& entry, const SmfEvent& event) {
        const auto index = static_cast<std::uint32_t>(m_events.size());
        std::uint32_t& last = lastOfTrack[entry.track];
        (last == kNoEvent ? m_trackStarts[entry.track] : m_events[last].nextInTrack) = index;
        last = index;
        ++eventsOfTrack[entry.track];
        if (event.status == midi::kMeta && event.metaType == midi::kSetTempo) {
            const std::uint32_t value = ReadTempo(event.data, event.length);
            m_tempos.push_back({entry.tick, static_cast<std::int32_t>(value)});
        }
        if (entry.endsTrack) {
            m_endTick = std::max(m_endTick, entry.tick);
        }
        m_events.push_back(entry);
    });
    // Each track's own count of events becomes the file's count, track by track.
    std::vector<std::uint32_t> firstEvent(m_tracks.size());
    std::uint32_t first = 0;
    for (std::size_t t = 0; t < eventsOfTrack.size(); ++t) {
        firstEvent[t] = first;
        first += eventsOfTrack[t];
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

std::uint64_t TicksToMicroseconds(std::uint64_t ticks, std::int32_t division, std::int32_t tempo) {
    const TickRate rate = RateOf(division, tempo);
    if (rate.numerator == 0 || rate.denominator == 0) {
        return 0;
    }
    // ticks * 1000 / (ticks per millisecond), rounded to the nearest microsecond.
    std::uint64_t narrow = 0;
    if (!__builtin_mul_overflow(ticks, rate.denominator * 1000, &narrow) &&
        narrow <= kNever - rate.numerator / 2) {
        return (narrow + rate.numerator / 2) / rate.numerator;  // the common case, in 64 bits
    }
    const unsigned __int128 scaled =
        static_cast<unsigned __int128>(ticks) * rate.denominator * 1000;
    const unsigned __int128 micros = (scaled + rate.numerator / 2) / rate.numerator;
    return micros > kNever ? kNever : static_cast<std::uint64_t>(micros);
}

std::uint64_t SmfTimeline::MicrosecondsAt(std::uint64_t tick) const {
    const auto after = std::upper_bound(
        m_segments.begin(), m_segments.end(), tick,
        [](std::uint64_t t, const TempoSegment& segment) { return t < segment.tick; });
    const TempoSegment& segment = *(after - 1);
    return SaturatingAdd(segment.microseconds,
                         TicksToMicroseconds(tick - segment.tick, m_division, segment.tempo));
}

std::size_t SmfTimeline::MemoryBytes() const {
    return m_events.capacity() * sizeof(TimelineEvent) +
           m_trackStarts.capacity() * sizeof(std::uint32_t) +
           m_tempos.capacity() * sizeof(TempoChange) + m_segments.capacity() * sizeof(TempoSegment);
}

}  // namespace tez
