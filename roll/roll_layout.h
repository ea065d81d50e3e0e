// What goes where in a picture of a piano roll: one layout that the window's pane paints and
// `tez roll` writes as SVG, for a visible span of ticks and keys at a size in pixels.
//
// Top to bottom: the ruler (bar numbers and marker flags, then the time in seconds), the
// notes beside the keyboard strip, one pedal lane per channel that uses the sustain pedal,
// and the legend of the sixteen channels.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "roll/roll_colours.h"
#include "roll/roll_model.h"

namespace tez::roll {

inline constexpr double kKeyboardWidth = 40;
inline constexpr double kRulerHeight = 30;
inline constexpr double kRulerRowHeight = 15;  // bar numbers and markers above the seconds
inline constexpr double kPedalLaneHeight = 5;
inline constexpr double kLegendHeight = 18;
inline constexpr double kLegendEntryWidth = 36;

struct Rect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;

    double Right() const { return x + width; }
    double Bottom() const { return y + height; }
    bool Contains(double px, double py) const {
        return px >= x && px < Right() && py >= y && py < Bottom();
    }
};

// The part of the music shown, and the picture's size.
struct RollView {
    std::uint64_t fromTick = 0;
    std::uint64_t toTick = 0;  // exclusive; after fromTick
    int lowKey = 0;            // the lowest and highest key rows shown
    int highKey = 127;
    double width = 800;
    double height = 480;
};

// The whole piece, with the keys it plays and a little room above and below.
RollView WholeView(const RollModel& model, double width, double height);

// What the text and the player add to the picture.
struct RollState {
    std::int32_t cursorLine = kNoLine;  // its notes are outlined
    std::int32_t firstSelected = kNoLine;
    std::int32_t lastSelected = kNoLine;  // lines first..last are marked
    std::optional<std::uint64_t> now;     // the playhead; the notes sounding there are lit
    std::uint16_t silenced = 0;           // bit n: channel n is muted or outside the solo
    // The span a playback repeats, or the one being dragged out on the ruler.
    std::optional<std::pair<std::uint64_t, std::uint64_t>> loop;
};

enum NoteFlag : std::uint8_t {
    kOutlined = 1,  // on the cursor's line
    kSelected = 2,  // on a selected line
    kSounding = 4,  // sounding at the playhead
};

struct NoteBox {
    Rect box;
    std::uint32_t note = 0;  // index into the model's notes
    std::int32_t line = kNoLine;
    std::uint8_t key = 0;
    std::uint8_t channel = 0;
    std::uint8_t velocity = 0;
    std::uint8_t flags = 0;
};

// Zoomed out, one mark stands for every note of one key row in a run of pixel columns: the
// loudest note of each column gives the column its channel, a run of columns of one channel
// makes one mark, and the loudest of them gives its velocity.
struct ColumnMark {
    Rect box;
    std::uint8_t channel = 0;
    std::uint8_t velocity = 0;
    std::uint8_t flags = 0;
};

struct KeyRow {
    Rect box;  // the row across the notes area
    std::uint8_t key = 0;
    bool black = false;
};

struct Label {
    double x = 0;
    double y = 0;  // the text's baseline
    std::string text;
};

enum class GridKind : std::uint8_t { kBeat, kBar, kSecond };

struct GridLine {
    double x = 0;
    GridKind kind = GridKind::kBeat;
};

struct PedalBand {
    Rect box;
    std::uint8_t channel = 0;
};

struct MarkerFlag {
    double x = 0;
    std::uint64_t tick = 0;
    std::string text;
};

struct LegendEntry {
    Rect box;
    std::uint8_t channel = 0;
    bool used = false;      // the channel plays notes
    bool silenced = false;  // muted, or another channel is soloed
};

struct RollFrame {
    RollView view;
    Rect ruler;
    Rect keyboard;
    Rect notesArea;
    Rect pedalStrip;
    Rect legend;
    std::vector<KeyRow> keys;
    std::vector<Label> keyLabels;  // every C, and every key when the rows are tall enough
    std::vector<GridLine> grid;    // beats and bars across the notes, seconds on the ruler
    std::vector<Label> barLabels;
    std::vector<Label> secondLabels;
    std::vector<MarkerFlag> markers;
    std::vector<PedalBand> pedals;
    std::vector<std::uint8_t> pedalLanes;  // the channel of each lane, top to bottom
    std::vector<NoteBox> notes;            // when the notes are drawn one by one
    std::vector<ColumnMark> marks;         // when too many notes are shown to draw each
    std::vector<LegendEntry> legendEntries;
    std::optional<double> playhead;
    std::optional<Rect> loopBand;  // on the ruler
};

RollFrame LayOutRoll(const RollModel& model, const RollView& view, const RollState& state);

// The conversions between ticks and keys and the frame's pixels.
double XOfTick(const RollFrame& frame, std::uint64_t tick);
std::uint64_t TickAtX(const RollFrame& frame, double x);
int KeyAtY(const RollFrame& frame, double y);
// "C4" for key 60, "C#4" for key 61.
std::string KeyName(int key);

// Grid, labels and key rows; the layout of the notes calls it.
void LayOutGrid(const RollModel& model, RollFrame& frame);

}  // namespace tez::roll
