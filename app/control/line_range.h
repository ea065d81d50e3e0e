// Playing a part of a score named by its lines: the cursor's line to the end, or a
// selection of lines again and again.
#pragma once

#include <cstdint>
#include <optional>

#include "playback/playback_options.h"
#include "score/note_table.h"

namespace tez {

// With `loop`, score lines `first` to `last` (counted from 1, inclusive) until stopped:
// from the onset of the first record at or after line `first`, to the first later onset
// of a record after line `last`, or the file's end. Without it, from that onset to the
// end. Nothing when no record comes at or after line `first`.
std::optional<PlaybackOptions> OptionsForLines(const NoteTable& table, std::int32_t first,
                                               std::int32_t last, bool loop);

// Where a playback at `tick` goes on in a new version of its score, given the onset of the
// line it last sounded before and after the edit: at the same tick, unless the edit moved
// that line; then as far past the line's new onset as it was past the old one.
std::uint64_t ContinuationTick(std::optional<std::uint64_t> lineWas,
                               std::optional<std::uint64_t> lineIs, std::uint64_t tick);

}  // namespace tez
