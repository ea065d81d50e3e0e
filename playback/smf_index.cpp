#include "playback/smf_index.h"

#include <algorithm>

#include "platform/midi_codes.h"
#include "playback/smf_bytes.h"
#include "playback/tick_rate.h"

namespace tez {
namespace {

// Events between checkpoints: a seek replays at most this many.
constexpr std::size_t kCheckpointEvery = 8192;

CursorState CursorAt(const TimelineEvent& event) {
    return {event.offset, event.tick, event.eventIndex, event.runningStatus, true};
}

}  // namespace

SmfIndex::SmfIndex(std::span<const TrackBytes> tracks, std::int32_t division, std::int32_t tempo)
    : m_timeline(tracks, division, tempo) {
    const std::span<const TimelineEvent> events = m_timeline.Events();
    std::vector<std::uint32_t> next(m_timeline.TrackStarts().begin(),
                                    m_timeline.TrackStarts().end());
    for (std::uint32_t start : next) {
        m_firstEvent.push_back(start == kNoEvent ? 0 : events[start].eventIndex);
    }
    ChannelState state(tempo);
    for (std::size_t i = 0; i < events.size(); ++i) {
        if (i > 0 && i % kCheckpointEvery == 0) {
            m_checkpoints.push_back({i, next, state});
        }
        const TimelineEvent& entry = events[i];
        const SmfEvent event = m_timeline.Decode(entry);
        state.Apply(event);
        next[entry.track] = entry.endsTrack ? kNoEvent : entry.nextInTrack;
        if (IsLongMessage(event)) {
            m_longMessages.push_back({event.status, event.data, event.length});
        } else if (event.status == midi::kMeta && event.metaType == midi::kMarker) {
            m_markers.push_back(
                {entry.tick, std::string(reinterpret_cast<const char*>(event.data), event.length)});
        }
    }
}

SeekResult SmfIndex::Seek(std::uint64_t tick) const {
    const std::span<const TimelineEvent> events = m_timeline.Events();
    const std::size_t target = m_timeline.FirstAt(tick);
    const auto after = std::upper_bound(
        m_checkpoints.begin(), m_checkpoints.end(), target,
        [](std::size_t t, const Checkpoint& checkpoint) { return t < checkpoint.index; });
    std::size_t from = 0;
    std::vector<std::uint32_t> next(m_timeline.TrackStarts().begin(),
                                    m_timeline.TrackStarts().end());
    SeekResult result{{}, ChannelState(m_timeline.StartTempo()), {}};
    if (after != m_checkpoints.begin()) {
        const Checkpoint& checkpoint = *(after - 1);
        from = checkpoint.index;
        next = checkpoint.next;
        result.state = checkpoint.state;
    }
    for (std::size_t i = from; i < target; ++i) {
        const TimelineEvent& entry = events[i];
        result.state.Apply(m_timeline.Decode(entry));
        next[entry.track] = entry.endsTrack ? kNoEvent : entry.nextInTrack;
    }
    result.longMessages = std::span(m_longMessages).first(result.state.LongMessages());
    for (std::uint32_t index : next) {
        result.cursors.push_back(index == kNoEvent ? CursorState{} : CursorAt(events[index]));
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

ClockState SmfIndex::ClockAt(std::uint64_t callback) const {
    // The clock as playback runs it: a tempo change takes effect in the callback in which it
    // falls due, rebased on its own tick. Counted in 1/denominator ticks from the start, the
    // time to each change is exact, whatever the tempo map.
    const std::int32_t division = m_timeline.Division();
    ClockState clock{0, 0, m_timeline.StartTempo()};
    unsigned __int128 baseReached = 0;  // when the clock reached its base tick
    TickRate rate = RateOf(division, clock.tempo);
    if (rate.numerator == 0 || rate.denominator == 0) {
        clock.elapsed = callback;
        return clock;
    }
    const unsigned __int128 now = static_cast<unsigned __int128>(callback) * rate.numerator;
    for (const TempoChange& change : m_timeline.Tempos()) {
        const unsigned __int128 reached =
            baseReached +
            static_cast<unsigned __int128>(change.tick - clock.tickBase) * rate.denominator;
        // Due in the first callback whose count reaches it; one due in this callback or
        // later counts at the old tempo until then.
        if (reached + rate.numerator > now) {
            break;
        }
        clock.tickBase = change.tick;
        baseReached = reached;
        if (change.tempo != 0) {
            clock.tempo = change.tempo;
            rate = RateOf(division, clock.tempo);
        }
    }
    // The numerator stays with the tempo: the count since the base carries over exactly.
    const unsigned __int128 past = now - baseReached;
    clock.elapsed = static_cast<std::uint64_t>(past / rate.numerator);
    clock.carry = static_cast<std::uint64_t>(past % rate.numerator);
    return clock;
}

std::uint64_t SmfIndex::TickAtCallback(std::uint64_t callback) const {
    const ClockState clock = ClockAt(callback);
    const TickRate rate = RateOf(m_timeline.Division(), clock.tempo);
    if (rate.denominator == 0) {
        return clock.tickBase;
    }
    return SaturatingAdd(clock.tickBase, TicksAfter(clock.elapsed, clock.carry, rate));
}

std::uint64_t SmfIndex::FirstTickOfCallback(std::uint64_t callback) const {
    return callback == 0 ? 0 : SaturatingAdd(TickAtCallback(callback - 1), 1);
}

}  // namespace tez
