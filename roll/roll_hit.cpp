#include "roll/roll_hit.h"

#include <algorithm>

namespace tez::roll {

std::optional<std::uint32_t> NoteAt(const RollModel& model, const RollFrame& frame, double x,
                                    double y) {
    if (!frame.notesArea.Contains(x, y)) {
        return std::nullopt;
    }
    const int key = KeyAtY(frame, y);
    const std::uint64_t tick = TickAtX(frame, x);
    const std::uint64_t from = TickAtX(frame, x - 1);
    const std::uint64_t to = TickAtX(frame, x + 1) + 1;
    const RollModel::Range range = model.Overlapping(from, to);
    std::optional<std::uint32_t> found;
    std::uint64_t nearest = UINT64_MAX;
    for (std::size_t i = range.first; i < range.last; ++i) {
        const RollNote& note = model.Notes()[i];
        const std::uint64_t end = std::max(note.End(), note.start + 1);
        if (note.key != key || end <= from) {
            continue;
        }
        const std::uint64_t distance = tick < note.start ? note.start - tick
                                       : tick >= end     ? tick - end + 1
                                                         : 0;
        if (distance <= nearest) {
            nearest = distance;
            found = static_cast<std::uint32_t>(i);
        }
    }
    return found;
}

std::optional<std::int32_t> LineAt(const RollModel& model, const RollFrame& frame, double x,
                                   double y) {
    const auto note = NoteAt(model, frame, x, y);
    if (!note || model.Notes()[*note].line == kNoLine) {
        return std::nullopt;
    }
    return model.Notes()[*note].line;
}

std::uint64_t OnsetNearX(const RollModel& model, const RollFrame& frame, double x) {
    constexpr double kReach = 4;  // pixels
    const std::uint64_t tick = TickAtX(frame, x);
    const std::uint64_t from = TickAtX(frame, x - kReach);
    const auto& notes = model.Notes();
    const auto first =
        std::lower_bound(notes.begin(), notes.end(), from,
                         [](const RollNote& note, std::uint64_t t) { return note.start < t; });
    std::optional<std::uint64_t> nearest;
    for (auto it = first; it != notes.end() && XOfTick(frame, it->start) <= x + kReach; ++it) {
        const auto distance = [tick](std::uint64_t onset) {
            return onset > tick ? onset - tick : tick - onset;
        };
        if (!nearest || distance(it->start) < distance(*nearest)) {
            nearest = it->start;
        }
    }
    return nearest.value_or(tick);
}

std::optional<int> LegendChannelAt(const RollFrame& frame, double x, double y) {
    for (const LegendEntry& entry : frame.legendEntries) {
        if (entry.box.Contains(x, y)) {
            return entry.channel;
        }
    }
    return std::nullopt;
}

}  // namespace tez::roll
