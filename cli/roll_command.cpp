// `tez roll FILE -o OUT.svg [--from POS] [--to POS] [--width PX]`: the piano roll of a score
// or a MIDI file as an SVG picture, laid out as the window's pane lays it out.
#include <cerrno>
#include <memory>
#include <string>

#include "commands.h"
#include "count_text.h"
#include "json_text.h"
#include "option_values.h"
#include "range_options.h"
#include "roll/roll_reader.h"
#include "roll_svg.h"
#include "score/atomic_file.h"
#include "score/smf_writer.h"
#include "score_input.h"

namespace tez::cli {
namespace {

constexpr double kRowHeight = 8;  // pixels per key
constexpr int kNarrowest = 200;
constexpr int kWidest = 100000;

struct RollOptions {
    std::string input;
    std::string output;
    RangeArgs range;
    int width = 1200;
};

roll::RollView ViewOf(const roll::RollModel& model, const PlaybackOptions& range, int width) {
    roll::RollView view = roll::WholeView(model, width, 0);
    view.fromTick = range.fromTick;
    if (range.toTick != kEndOfFile) {
        view.toTick = range.toTick;
    }
    view.height = roll::kRulerHeight + (view.highKey - view.lowKey + 1) * kRowHeight +
                  __builtin_popcount(model.PedalChannels()) * roll::kPedalLaneHeight +
                  roll::kLegendHeight;
    return view;
}

void Roll(const RollOptions& options) {
    NoMidiDevices nowhere;
    CSmfPlayer player(nowhere);
    NoteTable score;
    LoadForPlayback(player, options.input, &score);
    const PositionSource source{player, IsScorePath(options.input) ? &score : nullptr,
                                options.input};
    const PlaybackOptions range = ResolveRange(options.range, source, LoopCount::kRequired);
    const roll::RollModel model = roll::ReadRoll(player, player.SourceLines());
    const roll::RollFrame frame = roll::LayOutRoll(model, ViewOf(model, range, options.width), {});
    const std::string svg = RollSvg(frame);
    const WriteStatus status = WriteFileSafely(
        options.output, {reinterpret_cast<const std::uint8_t*>(svg.data()), svg.size()});
    const int reason = errno;
    if (status == WriteStatus::kCreateFailed) {
        throw CLI::RuntimeError(FileError("cannot create", options.output, reason), 1);
    }
    if (status != WriteStatus::kOk) {
        throw CLI::RuntimeError(FileError("cannot write", options.output, reason), 1);
    }
    // The picture may be on standard output; the summary then goes to standard error.
    std::fprintf(options.output == kStandardOutputName ? stderr : stdout, "%s: %s, %s, %s\n",
                 PrintableName(options.output).c_str(), Counted(frame.notes.size(), "note").c_str(),
                 Counted(frame.marks.size(), "column mark").c_str(),
                 Counted(svg.size(), "byte").c_str());
}

}  // namespace

void AddRollCommand(CLI::App& app) {
    auto options = std::make_shared<RollOptions>();
    CLI::App* command =
        app.add_subcommand("roll", "Draw the piano roll of a score or MIDI file as SVG");
    command->add_option("file", options->input, "Score (.tez) or MIDI file")->required();
    command
        ->add_option("-o,--output", options->output,
                     "The SVG file to write (- for standard output)")
        ->required();
    command->add_option("--from", options->range.from, "Start at line:N, marker:M or a time");
    command->add_option("--to", options->range.to,
                        "End (not included) at line:N, marker:M or a time");
    command->add_option("--width", options->width, "Width in pixels (200-100000, default 1200)")
        ->transform(WholeNumberIn(kNarrowest, kWidest, "pixels"));
    command->footer(
        "Exit status: 0 written, 1 the input cannot be read or the picture cannot be written, "
        "2 a mistake on the command line or a position outside the music.");
    command->callback([options] { Roll(*options); });
}

}  // namespace tez::cli
