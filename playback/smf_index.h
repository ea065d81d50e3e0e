// One pass over a loaded file that lets a playback start at any tick without replaying the
// file from its start: every so many events, at the first tick boundary, it keeps where each
// track stands and the state in force. It also knows the tempo changes, the markers and where the
// music ends.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "playback/channel_state.h"

namespace tez {

// A track's bytes, as loaded.
struct TrackBytes {
    const std::uint8_t* data = nullptr;
    std::uint32_t length = 0;
};

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

class SmfIndex {
  public:
    // `tempo`: the tempo in force before the file sets one.
    SmfIndex(std::span<const TrackBytes> tracks, std::int32_t tempo);

    // Every event before `tick` taken in; each cursor at its first event at or after it.
    SeekResult Seek(std::uint64_t tick) const;
    // The tick at which the last track ends.
    std::uint64_t EndTick() const { return m_endTick; }
    // The number of the track's first event, counted through the file track by track.
    std::uint32_t FirstEvent(std::size_t track) const { return m_firstEvent[track]; }
    // The tick of the first marker with this text.
    std::optional<std::uint64_t> MarkerTick(std::string_view text) const;
    // The tick the clock of a whole playback at its own speed reaches in this callback.
    std::uint64_t TickAtCallback(std::uint64_t callback, std::int32_t division) const;

  private:
    struct Checkpoint {
        std::uint64_t tick;  // no event of this tick taken in yet
        std::vector<CursorState> cursors;
        ChannelState state;
    };
    struct TempoChange {
        std::uint64_t tick;
        std::int32_t tempo;  // 0: the clock is rebased and the tempo stays
    };
    struct Marker {
        std::uint64_t tick;
        std::string text;
    };
    class Walk;

    std::vector<TrackBytes> m_tracks;
    std::int32_t m_startTempo;
    std::vector<CursorState> m_start;
    std::vector<std::uint32_t> m_firstEvent;
    std::vector<Checkpoint> m_checkpoints;
    std::vector<TempoChange> m_tempos;
    std::vector<Marker> m_markers;
    std::vector<LongMessage> m_longMessages;
    std::uint64_t m_endTick = 0;
};

}  // namespace tez
