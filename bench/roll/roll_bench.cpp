// The piano roll on a large score: the memory its model takes a note, and the time to lay out
// and paint one frame of the pane at zooms from a few beats to the whole piece.
// Usage: roll_bench SCORE
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <vector>

#include "roll/roll_reader.h"
#include "roll_painter.h"
#include "score/smf_writer.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kFrames = 40;  // positions spread over the piece, for each zoom
constexpr double kWidth = 1200;
constexpr double kHeight = 400;

long ResidentKilobytes() {
    std::ifstream status("/proc/self/status");
    std::string word;
    while (status >> word) {
        if (word == "VmRSS:") {
            long kb = 0;
            status >> kb;
            return kb;
        }
    }
    return 0;
}

double Milliseconds(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// One plain pass over the notes: the memory-bound floor a frame of the whole piece compares to.
double ScanMilliseconds(const tez::roll::RollModel& model) {
    std::vector<double> times;
    volatile unsigned sink = 0;
    for (int i = 0; i < 5; ++i) {
        const auto start = Clock::now();
        unsigned sum = 0;
        for (const auto& note : model.Notes()) {
            sum += note.key;
        }
        sink = sink + sum;
        times.push_back(Milliseconds(Clock::now() - start));
    }
    return Median(times);
}

void MeasureZoom(const tez::roll::RollModel& model, const char* name, std::uint64_t span,
                 double scan) {
    QImage image(static_cast<int>(kWidth), static_cast<int>(kHeight), QImage::Format_RGB32);
    std::vector<double> layout;
    std::vector<double> frame;
    std::size_t drawn = 0;
    const tez::roll::RollView whole = tez::roll::WholeView(model, kWidth, kHeight);
    span = std::min(span, whole.toTick);
    for (int i = 0; i < kFrames; ++i) {
        tez::roll::RollView view = whole;
        view.fromTick = (whole.toTick - span) / kFrames * static_cast<std::uint64_t>(i);
        view.toTick = view.fromTick + span;
        tez::roll::RollState state;
        state.now = view.fromTick + span / 2;
        const auto start = Clock::now();
        const tez::roll::RollFrame laidOut = tez::roll::LayOutRoll(model, view, state);
        const auto laid = Clock::now();
        QPainter painter(&image);
        tez::PaintRoll(painter, laidOut);
        painter.end();
        const auto painted = Clock::now();
        layout.push_back(Milliseconds(laid - start));
        frame.push_back(Milliseconds(painted - start));
        drawn = std::max(drawn, laidOut.notes.size() + laidOut.marks.size());
    }
    std::printf(
        "%-22s layout %7.2f ms, layout+paint %7.2f ms median, %7.2f ms worst, "
        "%6zu shapes; %.2fx a plain pass over the notes\n",
        name, Median(layout), Median(frame), *std::max_element(frame.begin(), frame.end()), drawn,
        Median(frame) / scan);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: roll_bench SCORE\n");
        return 2;
    }
    QGuiApplication app(argc, argv);
    tez::NoteTable table;
    if (tez::ReadScore(table, argv[1], nullptr) != tez::ReadStatus::kOk) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    tez::EventLines lines;
    const std::vector<std::uint8_t> file = tez::BuildScoreMidiFile(table, nullptr, nullptr, &lines);
    tez::FreeNoteTable(table);
    const long before = ResidentKilobytes();
    const auto start = Clock::now();
    const auto model = tez::roll::ReadRollFromBytes(file, lines);
    const double built = Milliseconds(Clock::now() - start);
    const long after = ResidentKilobytes();
    const double notes = static_cast<double>(model->Notes().size());
    std::printf(
        "%.0f notes: model built in %.0f ms, %.1f bytes a note held, %.1f bytes a note "
        "of resident memory\n",
        notes, built, static_cast<double>(model->BytesHeld()) / notes,
        static_cast<double>(after - before) * 1024 / notes);
    const auto timingStart = Clock::now();
    const auto timing = tez::roll::ReadTimingFromBytes(file);
    std::printf(
        "its timing alone (the status bar's time while the roll is hidden): %.0f ms, "
        "%.2fx the whole model; the same end: %s\n",
        Milliseconds(Clock::now() - timingStart), Milliseconds(Clock::now() - timingStart) / built,
        timing && timing->SecondsAt(timing->EndTick()) == model->SecondsAt(model->EndTick())
            ? "yes"
            : "no");
    const double scan = ScanMilliseconds(*model);
    std::printf("a plain pass over the notes: %.2f ms; a frame is %.0fx%.0f pixels\n", scan, kWidth,
                kHeight);
    const std::uint64_t beat = static_cast<std::uint64_t>(model->TicksPerBeat());
    MeasureZoom(*model, "4 beats", 4 * beat, scan);
    MeasureZoom(*model, "8 bars", 32 * beat, scan);
    MeasureZoom(*model, "128 bars", 512 * beat, scan);
    MeasureZoom(*model, "a hundredth", model->EndTick() / 100, scan);
    MeasureZoom(*model, "a tenth", model->EndTick() / 10, scan);
    MeasureZoom(*model, "the whole piece", model->EndTick(), scan);
    return 0;
}
