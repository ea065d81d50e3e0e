// Lets a playback start at any tick without replaying the file from its start: every so many
// events of the file's timeline it keeps where each track stands and the state in force. It
// also knows the markers and the clock a whole playback runs.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "playback/channel_state.h"
#include "playback/smf_timeline.h"

namespace tez {

// Where one track stands, as a value a cursor can be set from.
struct CursorState {
    std::uint32_t offset = 0;      // of the next unread byte in the track's data
    std::uint64_t time = 0;        // of the next event
    std::uint32_t eventIndex = 0;  // of the next event, counted through the file track by track
    std::uint8_t runningStatus = 0;
    bool active = false;
};

// A system exclusive message (its body after F0) or escaped bytes (sent as they stand).
struct LongMessage {
    std::uint8_t status = 0;  // F0 or F7
    const std::uint8_t* data = nullptr;
    std::uint32_t length = 0;
};

// The tracks and the state in force just before a tick.
struct SeekResult {
    std::vector<CursorState> cursors;
    ChannelState state;
    std::span<const LongMessage> longMessages;  // every one before the tick, in order
};

// The clock of a whole playback in one callback: the tick it was rebased at, the callbacks
// counted since, how far past the base it was when it began counting them (in
// 1/denominator ticks of its rate), and the tempo.
struct ClockState {
    std::uint64_t tickBase = 0;
    std::uint64_t elapsed = 0;
    std::int32_t tempo = 0;
    std::uint64_t carry = 0;
};

class SmfIndex {
  public:
    // `tempo`: the tempo in force before the file sets one.
    SmfIndex(std::span<const TrackBytes> tracks, std::int32_t division, std::int32_t tempo);

    const SmfTimeline& Timeline() const { return m_timeline; }
    // Every event before `tick` taken in; each cursor at its first event at or after it.
    SeekResult Seek(std::uint64_t tick) const;
    // The tick at which the last track ends.
    std::uint64_t EndTick() const { return m_timeline.EndTick(); }
    // The number of the track's first event, counted through the file track by track.
    std::uint32_t FirstEvent(std::size_t track) const { return m_firstEvent[track]; }
    // The tick of the first marker with this text.
    std::optional<std::uint64_t> MarkerTick(std::string_view text) const;
    // The tick the clock of a whole playback at its own speed reaches in this callback.
    std::uint64_t TickAtCallback(std::uint64_t callback) const;
    // That clock as it stands in this callback, before it counts it.
    ClockState ClockAt(std::uint64_t callback) const;
    // The first tick a whole playback has not sent before this callback.
    std::uint64_t FirstTickOfCallback(std::uint64_t callback) const;

  private:
    struct Checkpoint {
        std::size_t index;  // of the first event of the timeline not taken in
        std::vector<std::uint32_t> next;  // each track's next event (kNoEvent: none)
        ChannelState state;
    };
    struct Marker {
        std::uint64_t tick;
        std::string text;
    };

    SmfTimeline m_timeline;
    std::vector<std::uint32_t> m_firstEvent;
    std::vector<Checkpoint> m_checkpoints;
    std::vector<Marker> m_markers;
    std::vector<LongMessage> m_longMessages;
};

}  // namespace tez
