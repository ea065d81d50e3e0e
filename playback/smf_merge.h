// The order in which a playback takes a file's events: by tick, a tie to the lower track,
// then the track's own order. The timeline keeps it as a table; a single pass over a large
// file (the importer) walks it without one.
#pragma once

#include <cstdint>
#include <functional>
#include <queue>
#include <span>
#include <utility>
#include <vector>

#include "playback/smf_bytes.h"
#include "playback/smf_event.h"
#include "playback/smf_timeline.h"

namespace tez {

// Calls `visit(entry, event)` for every event of `tracks` in playback order. `entry` has its
// tick, offset, track, running status and end flag set; `eventIndex` counts within its track.
template <typename Visit>
void MergeTracks(std::span<const TrackBytes> tracks, Visit&& visit) {
    struct TrackWalk {
        const std::uint8_t* pos = nullptr;
        std::uint64_t time = 0;
        std::uint8_t runningStatus = 0;
        std::uint32_t events = 0;
        bool active = false;
    };
    std::vector<TrackWalk> walks(tracks.size());
    using Due = std::pair<std::uint64_t, std::size_t>;  // (tick, track): a tie to the lower track
    std::priority_queue<Due, std::vector<Due>, std::greater<>> due;
    for (std::size_t t = 0; t < tracks.size(); ++t) {
        TrackWalk& walk = walks[t];
        walk.pos = tracks[t].data;
        std::uint32_t firstDelta = 0;
        walk.active = ReadVarLen(walk.pos, tracks[t].data + tracks[t].length, firstDelta);
        walk.time = firstDelta;
        if (walk.active) {
            due.push({walk.time, t});
        }
    }
    while (!due.empty()) {
        const std::size_t t = due.top().second;
        due.pop();
        // One track mostly leads for a while: it is read on without going through the queue,
        // its walk in locals, which the visitor's stores (of bytes, which may alias anything)
        // would otherwise send through memory at every event.
        TrackWalk walk = walks[t];
        const std::uint8_t* const data = tracks[t].data;
        const std::uint8_t* const end = data + tracks[t].length;
        do {
            TimelineEvent entry;
            entry.tick = walk.time;
            entry.offset = static_cast<std::uint32_t>(walk.pos - data);
            entry.eventIndex = walk.events++;
            entry.track = static_cast<std::uint16_t>(t);
            entry.runningStatus = walk.runningStatus;
            SmfEvent event;
            walk.active = ReadSmfEvent(walk.pos, end, walk.runningStatus, walk.time, event);
            entry.endsTrack = !walk.active;
            visit(entry, event);
        } while (walk.active && (due.empty() || Due{walk.time, t} < due.top()));
        walks[t] = walk;
        if (walk.active) {
            due.push({walk.time, t});
        }
    }
}

}  // namespace tez
