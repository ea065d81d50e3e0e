#include "roll/roll_layout.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

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
    // Spans of a lane less than a pixel apart make one band.
    std::array<std::size_t, kChannels> lastBand;
    lastBand.fill(SIZE_MAX);
    for (const PedalSpan& pedal : model.Pedals()) {
        if (pedal.end <= frame.view.fromTick || pedal.start >= frame.view.toTick) {
            continue;
        }
        const double x = std::max(XOfTick(frame, pedal.start), frame.notesArea.x);
        const double right = std::min(XOfTick(frame, pedal.end), frame.notesArea.Right());
        std::size_t& last = lastBand[pedal.channel];
        if (last != SIZE_MAX && frame.pedals[last].box.x <= x &&
            x <= frame.pedals[last].box.Right() + 1) {
            Rect& band = frame.pedals[last].box;
            band.width = std::max(band.Right(), right) - band.x;
            continue;
        }
        const auto lane = static_cast<double>(
            std::find(frame.pedalLanes.begin(), frame.pedalLanes.end(), pedal.channel) -
            frame.pedalLanes.begin());
        last = frame.pedals.size();
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

// The cells of the key rows shown, row by row from the top, one per pixel column.
class CellGrid {
  public:
    explicit CellGrid(const RollFrame& frame)
        : m_view(frame.view),
          m_columns(static_cast<int>(std::ceil(frame.notesArea.width))),
          m_columnsPerTick(frame.notesArea.width /
                           static_cast<double>(m_view.toTick - m_view.fromTick)),
          m_cells(static_cast<std::size_t>(m_view.highKey - m_view.lowKey + 1) *
                  static_cast<std::size_t>(m_columns)) {}

    int Columns() const { return m_columns; }
    Cell* Row(int key) {
        return &m_cells[static_cast<std::size_t>(m_view.highKey - key) *
                        static_cast<std::size_t>(m_columns)];
    }
    // The first tick of a column.
    std::uint64_t TickOf(int column) const {
        return m_view.fromTick + static_cast<std::uint64_t>(column / m_columnsPerTick);
    }
    // Marks the columns the note covers; false when it lies outside the view.
    bool Add(const RollNote& note, std::uint8_t flags) {
        if (DrawnEnd(note) <= m_view.fromTick || note.key < m_view.lowKey ||
            note.key > m_view.highKey) {
            return false;
        }
        const std::uint64_t from = note.start > m_view.fromTick ? note.start - m_view.fromTick : 0;
        const int first = static_cast<int>(static_cast<double>(from) * m_columnsPerTick);
        // A long note may end far beyond the view: clamped before it becomes an int.
        const double end = static_cast<double>(DrawnEnd(note) - 1 - m_view.fromTick);
        const int last = static_cast<int>(std::min(end * m_columnsPerTick, m_columns - 1.0));
        Cell* row = Row(note.key);
        for (int column = first; column <= last; ++column) {
            Put(row[column], note.channel, note.velocity + 1, flags);
        }
        return true;
    }
    static void Put(Cell& cell, int channel, int velocityPlusOne, std::uint8_t flags) {
        if (velocityPlusOne > cell.velocity) {
            cell.channel = static_cast<std::uint8_t>(channel);
            cell.velocity = static_cast<std::uint8_t>(velocityPlusOne);
        }
        cell.flags |= flags;
    }

    // Each row's runs of columns of one channel and the same flags, as marks.
    void MakeMarks(RollFrame& frame) {
        const int rows = m_view.highKey - m_view.lowKey + 1;
        const double rowHeight = frame.notesArea.height / rows;
        for (int r = 0; r < rows; ++r) {
            const Cell* row =
                &m_cells[static_cast<std::size_t>(r) * static_cast<std::size_t>(m_columns)];
            for (int column = 0; column < m_columns;) {
                if (row[column].velocity == 0) {
                    ++column;
                    continue;
                }
                int end = column + 1;
                std::uint8_t loudest = row[column].velocity;
                while (end < m_columns && row[end].velocity != 0 &&
                       row[end].channel == row[column].channel &&
                       row[end].flags == row[column].flags) {
                    loudest = std::max(loudest, row[end].velocity);
                    ++end;
                }
                frame.marks.push_back(
                    {{frame.notesArea.x + column, frame.notesArea.y + r * rowHeight,
                      static_cast<double>(end - column), rowHeight},
                     row[column].channel,
                     static_cast<std::uint8_t>(loudest - 1),
                     row[column].flags});
                column = end;
            }
        }
    }

  private:
    const RollView& m_view;
    int m_columns;
    double m_columnsPerTick;
    std::vector<Cell> m_cells;
};

// Every column spans whole stretches of the overview: the cells come from it, and only the
// notes that carry flags are read.
void FillFromOverview(const RollModel& model, const RollState& state, const RollView& view,
                      CellGrid& grid) {
    const RollOverview& overview = model.Overview();
    const int columns = grid.Columns();
    std::vector<std::pair<std::uint32_t, std::uint32_t>> bins(static_cast<std::size_t>(columns));
    for (int column = 0; column < columns; ++column) {
        const std::uint64_t end = column + 1 < columns ? grid.TickOf(column + 1) : view.toTick;
        bins[static_cast<std::size_t>(column)] = {
            static_cast<std::uint32_t>(
                std::min<std::uint64_t>(grid.TickOf(column) / overview.binTicks, overview.bins)),
            static_cast<std::uint32_t>(
                std::min<std::uint64_t>((end - 1) / overview.binTicks + 1, overview.bins))};
    }
    for (int key = view.lowKey; key <= view.highKey; ++key) {
        const std::uint16_t* cells = &overview.cells[static_cast<std::size_t>(key) * overview.bins];
        Cell* row = grid.Row(key);
        for (int column = 0; column < columns; ++column) {
            const auto [first, last] = bins[static_cast<std::size_t>(column)];
            const std::uint16_t loudest =
                first < last ? *std::max_element(cells + first, cells + last) : 0;
            if (loudest != 0) {
                CellGrid::Put(row[column], loudest & 15, loudest >> 4, 0);
            }
        }
    }
    const auto& notes = model.Notes();
    const auto addFlagged = [&](std::uint32_t index) {
        if (const std::uint8_t flags = FlagsOf(notes[index], state); flags != 0) {
            grid.Add(notes[index], flags);
        }
    };
    if (state.cursorLine != kNoLine) {
        for (const std::uint32_t index : model.NotesOfLines(state.cursorLine, state.cursorLine)) {
            addFlagged(index);
        }
    }
    if (state.firstSelected != kNoLine) {
        for (const std::uint32_t index :
             model.NotesOfLines(state.firstSelected, state.lastSelected)) {
            addFlagged(index);
        }
    }
    if (state.now) {
        const RollModel::Range sounding = model.Overlapping(*state.now, *state.now + 1);
        for (std::size_t i = sounding.first; i < sounding.last; ++i) {
            addFlagged(static_cast<std::uint32_t>(i));
        }
    }
}

void LayOutColumnMarks(const RollModel& model, const RollState& state, RollModel::Range range,
                       RollFrame& frame) {
    CellGrid grid(frame);
    const RollOverview& overview = model.Overview();
    const std::uint64_t span = frame.view.toTick - frame.view.fromTick;
    if (overview.bins > 0 &&
        span / static_cast<std::uint64_t>(grid.Columns()) >= overview.binTicks) {
        FillFromOverview(model, state, frame.view, grid);
    } else {
        const auto& notes = model.Notes();
        for (std::size_t i = range.first; i < range.last; ++i) {
            grid.Add(notes[i], FlagsOf(notes[i], state));
        }
    }
    grid.MakeMarks(frame);
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
