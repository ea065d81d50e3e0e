// The roll's frame of reference: key rows and names, beats and bars, seconds and markers.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

#include "roll/roll_layout.h"

namespace tez::roll {
namespace {

constexpr int kBeatsPerBar = 4;
constexpr double kMinLineSpacing = 8;    // pixels between grid lines at the least
constexpr double kMinLabelSpacing = 40;  // pixels between bar numbers at the least
constexpr double kMinSecondSpacing = 64;
constexpr double kLabelRowHeight = 12;  // a key row this tall names every key, not only C
constexpr double kBaselineGap = 3;
constexpr std::array<double, 14> kSecondSteps{0.1, 0.2, 0.5, 1,   2,   5,   10,
                                              15,  30,  60,  120, 300, 600, 1800};

bool IsBlackKey(int key) {
    constexpr std::array<bool, 12> kBlack{false, true,  false, true,  false, false,
                                          true,  false, true,  false, true,  false};
    return kBlack[static_cast<std::size_t>(key % 12)];
}

double PixelsPerTick(const RollFrame& frame) {
    return frame.notesArea.width / static_cast<double>(frame.view.toTick - frame.view.fromTick);
}

// The smallest power of two times `unit` pixels that is at least `spacing`.
std::uint64_t StepFor(double unitPixels, double spacing) {
    std::uint64_t step = 1;
    while (unitPixels * static_cast<double>(step) < spacing && step < (1ull << 40)) {
        step *= 2;
    }
    return step;
}

std::string SecondsText(double seconds, bool tenths) {
    // In doubles: a file at a crawling tempo may last longer than any integer counts.
    const double unit = tenths ? 0.1 : 1;
    const double total = std::floor(seconds / unit + 0.5) * unit;
    const double minutes = std::floor(total / 60);
    char text[64];
    std::snprintf(text, sizeof text, tenths ? "%.0f:%04.1f" : "%.0f:%02.0f", minutes,
                  total - minutes * 60);
    return text;
}

void LayOutKeys(RollFrame& frame) {
    const RollView& view = frame.view;
    const double rowHeight = frame.notesArea.height / (view.highKey - view.lowKey + 1);
    for (int key = view.lowKey; key <= view.highKey; ++key) {
        const double y = frame.notesArea.y + (view.highKey - key) * rowHeight;
        frame.keys.push_back({{frame.notesArea.x, y, frame.notesArea.width, rowHeight},
                              static_cast<std::uint8_t>(key),
                              IsBlackKey(key)});
        if (key % 12 == 0 || rowHeight >= kLabelRowHeight) {
            frame.keyLabels.push_back(
                {frame.keyboard.x + kBaselineGap, y + rowHeight - kBaselineGap, KeyName(key)});
        }
    }
}

// `value` rounded up to `origin` plus a whole number of `step`s, which may lie before it.
std::int64_t NextOnStep(std::int64_t value, std::int64_t origin, std::int64_t step) {
    const std::int64_t past = (value - origin) % step;
    const std::int64_t into = past < 0 ? past + step : past;
    return into == 0 ? value : value + (step - into);
}

bool OnStep(std::int64_t value, std::int64_t origin, std::int64_t step) {
    return (value - origin) % step == 0;
}

// Bars are counted from the model's origin (a score's music starts a beat into its file);
// the beats before it belong to no numbered bar.
void LayOutBeats(const RollModel& model, RollFrame& frame) {
    const auto beat = static_cast<std::int64_t>(model.TicksPerBeat());
    const std::int64_t bar = beat * kBeatsPerBar;
    const auto origin = static_cast<std::int64_t>(model.BarOrigin());
    const double beatPixels = static_cast<double>(beat) * PixelsPerTick(frame);
    const bool beatsShown = beatPixels >= kMinLineSpacing;
    const std::int64_t lineStep =
        beatsShown ? beat
                   : bar * static_cast<std::int64_t>(StepFor(beatPixels * 4, kMinLineSpacing));
    const std::int64_t labelStep =
        bar * static_cast<std::int64_t>(StepFor(beatPixels * 4, kMinLabelSpacing));
    const double labelY = frame.ruler.y + kRulerRowHeight - kBaselineGap;
    const auto to = static_cast<std::int64_t>(frame.view.toTick);
    for (std::int64_t tick =
             NextOnStep(static_cast<std::int64_t>(frame.view.fromTick), origin, lineStep);
         tick < to; tick += lineStep) {
        const double x = XOfTick(frame, static_cast<std::uint64_t>(tick));
        frame.grid.push_back({x, OnStep(tick, origin, bar) ? GridKind::kBar : GridKind::kBeat});
        if (tick >= origin && OnStep(tick, origin, labelStep)) {
            frame.barLabels.push_back(
                {x + kBaselineGap, labelY, std::to_string((tick - origin) / bar + 1)});
        }
    }
}

void LayOutSeconds(const RollModel& model, RollFrame& frame) {
    const double from = model.SecondsAt(frame.view.fromTick);
    const double to = model.SecondsAt(frame.view.toTick);
    if (to <= from) {
        return;
    }
    const double pixelsPerSecond = frame.notesArea.width / (to - from);
    double step = kSecondSteps.back();
    for (const double candidate : kSecondSteps) {
        if (candidate * pixelsPerSecond >= kMinSecondSpacing) {
            step = candidate;
            break;
        }
    }
    // A piece of days at a crawling tempo still gets no more labels than fit.
    while (step * pixelsPerSecond < kMinSecondSpacing) {
        step *= 10;
    }
    const double labelY = frame.ruler.Bottom() - kBaselineGap;
    for (double count = std::ceil(from / step); count * step < to; count += 1) {
        const double x = XOfTick(frame, model.TickAtSeconds(count * step));
        frame.grid.push_back({x, GridKind::kSecond});
        frame.secondLabels.push_back(
            {x + kBaselineGap, labelY, SecondsText(count * step, step < 1)});
    }
}

void LayOutMarkers(const RollModel& model, RollFrame& frame) {
    // One flag a pixel column at most, naming the markers in it while their names are short.
    constexpr std::size_t kLongestFlagText = 24;
    double nextX = frame.notesArea.x;
    for (const RollMarker& marker : model.Markers()) {
        if (marker.tick < frame.view.fromTick || marker.tick >= frame.view.toTick) {
            continue;
        }
        const double x = XOfTick(frame, marker.tick);
        if (x >= nextX) {
            frame.markers.push_back({x, marker.tick, marker.text});
            nextX = std::floor(x) + 1;
        } else if (std::string& text = frame.markers.back().text; text.size() < kLongestFlagText) {
            text += " " + marker.text;
            if (text.size() >= kLongestFlagText) {
                text = text.substr(0, kLongestFlagText) + "...";
            }
        }
    }
}

}  // namespace

std::string KeyName(int key) {
    static constexpr std::array<const char*, 12> kNames{"C",  "C#", "D",  "D#", "E",  "F",
                                                        "F#", "G",  "G#", "A",  "A#", "B"};
    return std::string(kNames[static_cast<std::size_t>(key % 12)]) + std::to_string(key / 12 - 1);
}

double XOfTick(const RollFrame& frame, std::uint64_t tick) {
    const double offset = tick >= frame.view.fromTick
                              ? static_cast<double>(tick - frame.view.fromTick)
                              : -static_cast<double>(frame.view.fromTick - tick);
    return frame.notesArea.x + offset * PixelsPerTick(frame);
}

std::uint64_t TickAtX(const RollFrame& frame, double x) {
    const double offset = (x - frame.notesArea.x) / PixelsPerTick(frame);
    if (offset <= -static_cast<double>(frame.view.fromTick)) {
        return 0;
    }
    return static_cast<std::uint64_t>(static_cast<double>(frame.view.fromTick) + offset);
}

int KeyAtY(const RollFrame& frame, double y) {
    const RollView& view = frame.view;
    const double rowHeight = frame.notesArea.height / (view.highKey - view.lowKey + 1);
    return view.highKey - static_cast<int>(std::floor((y - frame.notesArea.y) / rowHeight));
}

void LayOutGrid(const RollModel& model, RollFrame& frame) {
    LayOutKeys(frame);
    LayOutBeats(model, frame);
    LayOutSeconds(model, frame);
    LayOutMarkers(model, frame);
}

}  // namespace tez::roll
