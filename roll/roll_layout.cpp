#include "roll/roll_layout.h"

#include <algorithm>
#include <cmath>

namespace tez::roll {
namespace {

// Notes per pixel column beyond which a view is drawn as column marks.
constexpr double kNotesPerColumnDrawn = 4;
constexpr int kKeyMargin = 2;
constexpr int kFewestKeys = 13;

std::uint8_t FlagsOf(const RollNote& note, const RollState& state) {
    std::uint8_t flags = 0;
    if (note.line != kNoLine && note.line == state.cursorLine) {
        flags |= kOutlined;
    }
    if (note.line != kNoLine && note.line >= state.firstSelected &&
        note.line <= state.lastSelected) {
        flags |= kSelected;
    }
    if (state.now && note.start <= *state.now && *state.now < note.End()) {
        flags |= kSounding;
    }
    return flags;
}

// A note without length still takes one tick of room.
std::uint64_t DrawnEnd(const RollNote& note) {
    return std::max(note.End(), note.start + 1);
}

void PlaceAreas(const RollModel& model, RollFrame& frame) {
    const RollView& view = frame.view;
    const auto lanes = static_cast<std::size_t>(__builtin_popcount(model.PedalChannels()));
    const double pedalHeight = static_cast<double>(lanes) * kPedalLaneHeight;
    const double inner = std::max(1.0, view.width - kKeyboardWidth);
    frame.legend = {0, view.height - kLegendHeight, view.width, kLegendHeight};
    frame.pedalStrip = {kKeyboardWidth, frame.legend.y - pedalHeight, inner, pedalHeight};
    frame.ruler = {kKeyboardWidth, 0, inner, kRulerHeight};
    frame.notesArea = {kKeyboardWidth, kRulerHeight, inner,
                       std::max(1.0, frame.pedalStrip.y - kRulerHeight)};
    frame.keyboard = {0, kRulerHeight, kKeyboardWidth, frame.notesArea.height};
    for (int channel = 0; channel < kChannels; ++channel) {
        if ((model.PedalChannels() >> channel & 1) != 0) {
            frame.pedalLanes.push_back(static_cast<std::uint8_t>(channel));
        }
    }
}

void LayOutPedals(const RollModel& model, RollFrame& frame) {
    for (const PedalSpan& pedal : model.Pedals()) {
        if (pedal.end <= frame.view.fromTick || pedal.start >= frame.view.toTick) {
            continue;
        }
        const auto lane = static_cast<double>(
            std::find(frame.pedalLanes.begin(), frame.pedalLanes.end(), pedal.channel) -
            frame.pedalLanes.begin());
        const double x = std::max(XOfTick(frame, pedal.start), frame.notesArea.x);
        const double right = std::min(XOfTick(frame, pedal.end), frame.notesArea.Right());
        frame.pedals.push_back({{x, frame.pedalStrip.y + lane * kPedalLaneHeight,
                                 std::max(1.0, right - x), kPedalLaneHeight - 1},
                                pedal.channel});
    }
}

void LayOutNotes(const RollModel& model, const RollState& state, RollModel::Range range,
                 RollFrame& frame) {
    const RollView& view = frame.view;
    const double rowHeight = frame.notesArea.height / (view.highKey - view.lowKey + 1);
    const auto& notes = model.Notes();
    for (std::size_t i = range.first; i < range.last; ++i) {
        const RollNote& note = notes[i];
        if (DrawnEnd(note) <= view.fromTick || note.key < view.lowKey || note.key > view.highKey) {
            continue;
        }
        const double x = std::max(XOfTick(frame, note.start), frame.notesArea.x - 1);
        const double right = std::min(XOfTick(frame, DrawnEnd(note)), frame.notesArea.Right() + 1);
        const double y = frame.notesArea.y + (view.highKey - note.key) * rowHeight;
        frame.notes.push_back({{x, y, std::max(1.0, right - x), rowHeight},
                               static_cast<std::uint32_t>(i),
                               note.line,
                               note.key,
                               note.channel,
                               note.velocity,
                               FlagsOf(note, state)});
    }
}

// The loudest note of one key row in one pixel column.
struct Cell {
    std::uint8_t channel = 0;
    std::uint8_t velocity = 0;  // 0: no note; otherwise the velocity plus one
    std::uint8_t flags = 0;
};

void LayOutColumnMarks(const RollModel& model, const RollState& state, RollModel::Range range,
                       RollFrame& frame) {
    const RollView& view = frame.view;
    const int rows = view.highKey - view.lowKey + 1;
    const auto columns = static_cast<int>(std::ceil(frame.notesArea.width));
    const double rowHeight = frame.notesArea.height / rows;
    const double columnsPerTick =
        frame.notesArea.width / static_cast<double>(view.toTick - view.fromTick);
    std::vector<Cell> cells(static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns));
    const auto& notes = model.Notes();
    for (std::size_t i = range.first; i < range.last; ++i) {
        const RollNote& note = notes[i];
        if (DrawnEnd(note) <= view.fromTick || note.key < view.lowKey || note.key > view.highKey) {
            continue;
        }
        const double from =
            note.start > view.fromTick ? static_cast<double>(note.start - view.fromTick) : 0;
        const int first = static_cast<int>(from * columnsPerTick);
        const int last = std::min(
            columns - 1, static_cast<int>(static_cast<double>(DrawnEnd(note) - 1 - view.fromTick) *
                                          columnsPerTick));
        Cell* row = &cells[static_cast<std::size_t>(view.highKey - note.key) *
                           static_cast<std::size_t>(columns)];
        const std::uint8_t flags = FlagsOf(note, state);
        for (int column = first; column <= last; ++column) {
            Cell& cell = row[column];
            if (note.velocity + 1 > cell.velocity) {
                cell.channel = note.channel;
                cell.velocity = static_cast<std::uint8_t>(note.velocity + 1);
            }
            cell.flags |= flags;
        }
    }
    for (int r = 0; r < rows; ++r) {
        const Cell* row = &cells[static_cast<std::size_t>(r) * static_cast<std::size_t>(columns)];
        for (int column = 0; column < columns;) {
            if (row[column].velocity == 0) {
                ++column;
                continue;
            }
            int end = column + 1;
            std::uint8_t loudest = row[column].velocity;
            while (end < columns && row[end].velocity != 0 &&
                   row[end].channel == row[column].channel && row[end].flags == row[column].flags) {
                loudest = std::max(loudest, row[end].velocity);
                ++end;
            }
            frame.marks.push_back({{frame.notesArea.x + column, frame.notesArea.y + r * rowHeight,
                                    static_cast<double>(end - column), rowHeight},
                                   row[column].channel,
                                   static_cast<std::uint8_t>(loudest - 1),
                                   row[column].flags});
            column = end;
        }
    }
}

void LayOutLegend(const RollModel& model, const RollState& state, RollFrame& frame) {
    const double width =
        std::min(kLegendEntryWidth, (frame.legend.width - kKeyboardWidth) / kChannels);
    for (int channel = 0; channel < kChannels; ++channel) {
        frame.legendEntries.push_back(
            {{kKeyboardWidth + channel * width, frame.legend.y + 1, width - 2, kLegendHeight - 2},
             static_cast<std::uint8_t>(channel),
             (model.NoteChannels() >> channel & 1) != 0,
             (state.silenced >> channel & 1) != 0});
    }
}

}  // namespace

RollView WholeView(const RollModel& model, double width, double height) {
    RollView view;
    view.toTick = std::max<std::uint64_t>(model.EndTick(), model.TicksPerBeat() * 4ull);
    view.lowKey = std::max(0, model.LowKey() - kKeyMargin);
    view.highKey = std::min(127, model.HighKey() + kKeyMargin);
    while (view.highKey - view.lowKey + 1 < kFewestKeys) {
        view.lowKey = std::max(0, view.lowKey - 1);
        view.highKey = std::min(127, view.highKey + 1);
    }
    view.width = width;
    view.height = height;
    return view;
}

RollFrame LayOutRoll(const RollModel& model, const RollView& view, const RollState& state) {
    RollFrame frame;
    frame.view = view;
    frame.view.lowKey = std::clamp(view.lowKey, 0, 127);
    frame.view.highKey = std::clamp(view.highKey, frame.view.lowKey, 127);
    frame.view.toTick = std::max(view.toTick, view.fromTick + 1);
    PlaceAreas(model, frame);
    LayOutGrid(model, frame);
    LayOutPedals(model, frame);
    const RollModel::Range range = model.Overlapping(frame.view.fromTick, frame.view.toTick);
    if (static_cast<double>(range.last - range.first) <=
        kNotesPerColumnDrawn * frame.notesArea.width) {
        LayOutNotes(model, state, range, frame);
    } else {
        LayOutColumnMarks(model, state, range, frame);
    }
    LayOutLegend(model, state, frame);
    if (state.now && *state.now >= frame.view.fromTick && *state.now < frame.view.toTick) {
        frame.playhead = XOfTick(frame, *state.now);
    }
    if (state.loop && state.loop->second > frame.view.fromTick &&
        state.loop->first < frame.view.toTick) {
        const double x = std::max(XOfTick(frame, state.loop->first), frame.ruler.x);
        const double right = std::min(XOfTick(frame, state.loop->second), frame.ruler.Right());
        frame.loopBand = Rect{x, frame.ruler.y, std::max(1.0, right - x), frame.ruler.height};
    }
    return frame;
}

}  // namespace tez::roll
