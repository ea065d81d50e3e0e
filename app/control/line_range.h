// Playing a part of a score named by its lines: the cursor's line to the end, or a
// selection of lines again and again.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "playback/playback_options.h"

namespace tez {

// The tick at which a score line that gave a note record sounds.
struct LineOnset {
    std::int32_t line = 0;  // counted from 1, as in the warnings
    std::uint64_t tick = 0;
};

// With `loop`, score lines `first` to `last` (inclusive) until stopped: from the onset of
// the first line at or after `first` that gave a record, to the onset of the first such
// line after `last`, or the file's end. Without it, from that first onset to the end.
// Nothing when no line from `first` on gave a record. `onsets` is in line order.
std::optional<PlaybackOptions> OptionsForLines(std::span<const LineOnset> onsets,
                                               std::int32_t first, std::int32_t last, bool loop);

// Where a playback at `tick`, last sounding score line `line` (-1: none yet), goes on in a
// new version of the score: at the same tick, unless the edit moved that line; then as far
// past the line's new onset as it was past the old one.
std::uint64_t ContinuationTick(std::span<const LineOnset> before, std::span<const LineOnset> after,
                               std::int32_t line, std::uint64_t tick);

}  // namespace tez
