#include "control/line_range.h"

#include <algorithm>

#include "score/smf_writer.h"

namespace tez {

namespace {

// The first later onset of a record after line `last`: records on the lines after it
// that share `from`'s tick (a chord) belong to the range, which must not end where it
// starts.
std::optional<std::uint64_t> EndAfter(const NoteTable& table, std::int32_t last,
                                      std::uint64_t from) {
    const auto lines = table.sourceLines.begin();
    const auto end = lines + std::min<std::size_t>(table.sourceLines.size(),
                                                   static_cast<std::size_t>(table.count));
    for (auto next = std::upper_bound(lines, end, last); next != end;
         next = std::upper_bound(next, end, *next)) {
        const std::optional<std::uint64_t> onset = LineOnsetTick(table, *next);
        if (onset && *onset > from) {
            return onset;
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<PlaybackOptions> OptionsForLines(const NoteTable& table, std::int32_t first,
                                               std::int32_t last, bool loop) {
    const std::optional<std::uint64_t> from = LineOnsetTick(table, first);
    if (!table.HasRecords() || !from) {
        return std::nullopt;
    }
    PlaybackOptions options;
    options.fromTick = *from;
    if (loop) {
        options.loops = -1;
        options.toTick = EndAfter(table, last, *from).value_or(kEndOfFile);
    }
    return options;
}

std::uint64_t ContinuationTick(std::optional<std::uint64_t> lineWas,
                               std::optional<std::uint64_t> lineIs, std::uint64_t tick) {
    if (!lineWas || !lineIs || *lineWas == *lineIs || tick < *lineWas) {
        return tick;
    }
    return *lineIs + (tick - *lineWas);
}

}  // namespace tez
