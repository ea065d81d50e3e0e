// Every event of a loaded file, decoded once into one table in the order a playback takes
// them in: by tick, a tie to the lower track, then the track's own order. The seek index, the
// state in force at any tick, the piano roll and the importer all read the music through it,
// so that they agree with one another and with what a playback sends.
#pragma once

#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <vector>

#include "playback/smf_event.h"

namespace tez {

// A track's bytes, as loaded.
struct TrackBytes {
    const std::uint8_t* data = nullptr;
    std::uint32_t length = 0;
};

inline constexpr std::uint32_t kNoEvent = std::numeric_limits<std::uint32_t>::max();

struct TimelineEvent {
    std::uint64_t tick = 0;
    std::uint32_t offset = 0;              // of the event in its track's data, after its delta time
    std::uint32_t eventIndex = 0;          // counted through the file track by track
    std::uint32_t nextInTrack = kNoEvent;  // the table index of the track's next event
    std::uint16_t track = 0;
    std::uint8_t runningStatus = 0;  // in force before the event
    bool endsTrack = false;          // its end-of-track event, or where its data ends
};

// A Set Tempo as the clock takes it.
struct TempoChange {
    std::uint64_t tick = 0;
    std::int32_t tempo = 0;  // 0: the clock is rebased and the tempo stays
};

// The time `ticks` take at `tempo` (microseconds per quarter note) under `division`, in
// microseconds rounded to the nearest; 0 when the division gives no time.
std::uint64_t TicksToMicroseconds(std::uint64_t ticks, std::int32_t division, std::int32_t tempo);

class SmfTimeline {
  public:
    // `tempo`: the tempo in force before the file sets one; `division` as the header has it.
    SmfTimeline(std::span<const TrackBytes> tracks, std::int32_t division, std::int32_t tempo);

    std::span<const TimelineEvent> Events() const { return m_events; }
    std::span<const TrackBytes> Tracks() const { return m_tracks; }
    // The event's content, read again from its bytes.
    SmfEvent Decode(const TimelineEvent& event) const;
    // The table index of the first event at or after `tick`.
    std::size_t FirstAt(std::uint64_t tick) const;
    // The table index of each track's first event (kNoEvent: the track has none).
    std::span<const std::uint32_t> TrackStarts() const { return m_trackStarts; }
    // The tick at which the last track ends.
    std::uint64_t EndTick() const { return m_endTick; }
    std::int32_t Division() const { return m_division; }
    std::int32_t StartTempo() const { return m_startTempo; }
    std::span<const TempoChange> Tempos() const { return m_tempos; }
    // The exact time of a tick under the tempo map, in microseconds from the start, rounded
    // to the nearest; 0 throughout when the division gives no time.
    std::uint64_t MicrosecondsAt(std::uint64_t tick) const;
    // Bytes the table takes, for the benchmarks.
    std::size_t MemoryBytes() const;

  private:
    // Where the tempo map changes, with the exact time it has reached there.
    struct TempoSegment {
        std::uint64_t tick;
        std::int32_t tempo;
        std::uint64_t microseconds;
    };
    void MapTempos();
    std::size_t CountEvents() const;

    std::vector<TrackBytes> m_tracks;
    std::int32_t m_division;
    std::int32_t m_startTempo;
    std::vector<TimelineEvent> m_events;
    std::vector<std::uint32_t> m_trackStarts;
    std::vector<TempoChange> m_tempos;
    std::vector<TempoSegment> m_segments;
    std::uint64_t m_endTick = 0;
};

}  // namespace tez
