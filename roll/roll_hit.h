// What lies under a point of a laid-out roll.
#pragma once

#include <cstdint>
#include <optional>

#include "roll/roll_layout.h"

namespace tez::roll {

// The note under the point, else the nearest within a pixel of it along its key row; of
// several as near, the one begun last. Zoomed out, where marks stand for many notes, the
// same rule finds the one at the pointer's tick.
std::optional<std::uint32_t> NoteAt(const RollModel& model, const RollFrame& frame, double x,
                                    double y);
// The score line of the note under the point.
std::optional<std::int32_t> LineAt(const RollModel& model, const RollFrame& frame, double x,
                                   double y);
// The tick under `x`, moved to the onset of a note within a few pixels of it: a click on
// the ruler above a note starts with that note.
std::uint64_t OnsetNearX(const RollModel& model, const RollFrame& frame, double x);
// The channel of the legend entry under the point.
std::optional<int> LegendChannelAt(const RollFrame& frame, double x, double y);

}  // namespace tez::roll
