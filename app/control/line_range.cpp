#include "control/line_range.h"

#include <algorithm>

namespace tez {

namespace {

const LineOnset* FirstAtOrAfter(std::span<const LineOnset> onsets, std::int32_t line) {
    const auto found = std::lower_bound(
        onsets.begin(), onsets.end(), line,
        [](const LineOnset& onset, std::int32_t wanted) { return onset.line < wanted; });
    return found == onsets.end() ? nullptr : &*found;
}

const LineOnset* Exactly(std::span<const LineOnset> onsets, std::int32_t line) {
    const LineOnset* found = FirstAtOrAfter(onsets, line);
    return found != nullptr && found->line == line ? found : nullptr;
}

}  // namespace

std::uint64_t ContinuationTick(std::span<const LineOnset> before, std::span<const LineOnset> after,
                               std::int32_t line, std::uint64_t tick) {
    const LineOnset* was = Exactly(before, line);
    const LineOnset* now = Exactly(after, line);
    if (was == nullptr || now == nullptr || was->tick == now->tick || tick < was->tick) {
        return tick;
    }
    return now->tick + (tick - was->tick);
}

std::optional<PlaybackOptions> OptionsForLines(std::span<const LineOnset> onsets,
                                               std::int32_t first, std::int32_t last, bool loop) {
    const LineOnset* start = FirstAtOrAfter(onsets, first);
    if (start == nullptr) {
        return std::nullopt;
    }
    PlaybackOptions options;
    options.fromTick = start->tick;
    if (!loop) {
        return options;
    }
    options.loops = -1;
    // Onsets never fall as lines go on; lines sharing the start's tick (a chord) belong to
    // the range, which must not end where it starts.
    for (const LineOnset* after = FirstAtOrAfter(onsets, last + 1);
         after != nullptr && after != onsets.data() + onsets.size(); ++after) {
        if (after->tick > start->tick) {
            options.toTick = after->tick;
            break;
        }
    }
    return options;
}

}  // namespace tez
