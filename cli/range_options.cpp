#include "range_options.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <regex>

#include "json_text.h"
#include "option_values.h"
#include "score/smf_writer.h"

namespace tez::cli {
namespace {

constexpr double kSlowest = 0.25;
constexpr double kFastest = 4.0;
constexpr int kWidestTranspose = 24;

[[noreturn]] void Refuse(const std::string& message) {
    throw CLI::RuntimeError(message, kBadRangeExit);
}

// Decimal, whatever its leading zeros.
std::optional<std::int64_t> WholeNumber(const std::string& text) {
    static const std::regex kDigits("0*([0-9]{1,9})");
    std::smatch match;
    if (!std::regex_match(text, match, kDigits)) {
        return std::nullopt;
    }
    return std::stoll(match[1].str());
}

// Seconds as `83.5` or minutes and seconds as `1:23.5`, in milliseconds.
std::optional<std::uint64_t> Milliseconds(const std::string& text) {
    static const std::regex kTime("(?:([0-9]{1,6}):)?([0-9]{1,9}(?:\\.[0-9]*)?)");
    std::smatch match;
    if (!std::regex_match(text, match, kTime)) {
        return std::nullopt;
    }
    const double minutes = match[1].matched ? std::stod(match[1].str()) : 0.0;
    const double seconds = std::stod(match[2].str());
    if (match[1].matched && seconds >= 60) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(std::llround((minutes * 60 + seconds) * 1000));
}

std::uint16_t Channels(const std::string& option, const std::string& list) {
    std::uint16_t bits = 0;
    // Every item between commas counts: "1,,2" and "1,2," have an empty one.
    for (std::size_t start = 0; start <= list.size();) {
        const std::size_t end = std::min(list.find(',', start), list.size());
        const std::string item = list.substr(start, end - start);
        const std::optional<std::int64_t> channel = WholeNumber(item);
        if (item.empty()) {
            Refuse(option + ": an empty item in '" + list + "'; name the channels 0-15, " +
                   "separated by commas");
        }
        if (!channel || *channel > 15) {
            Refuse(option + ": '" + item + "' is not a channel 0-15");
        }
        bits = static_cast<std::uint16_t>(bits | 1u << *channel);
        start = end + 1;
    }
    return bits;
}

std::int32_t Loops(const RangeArgs& args, LoopCount rule) {
    if (args.loopOption == nullptr || args.loopOption->count() == 0) {
        return 0;
    }
    if (args.loop.empty()) {
        if (rule == LoopCount::kRequired) {
            Refuse("--loop: give the number of times to play the range; this command must end");
        }
        return -1;
    }
    const std::optional<std::int64_t> count = WholeNumber(args.loop);
    if (!count || *count < 1) {
        Refuse("--loop: COUNT must be a whole number of 1 or more, not '" +
               PrintableName(args.loop) + "'");
    }
    return static_cast<std::int32_t>(*count - 1);
}

std::uint64_t LineTick(const std::string& option, const std::string& number,
                       const PositionSource& source) {
    if (source.score == nullptr) {
        Refuse(option + ": line positions need a score; " + source.path + " is a MIDI file");
    }
    const std::optional<std::int64_t> line = WholeNumber(number);
    if (!line || *line < 1) {
        Refuse(option + ": 'line:" + number + "' does not name a line (they count from 1)");
    }
    const std::optional<std::uint64_t> tick =
        LineOnsetTick(*source.score, static_cast<std::int32_t>(*line));
    if (!tick) {
        Refuse(option + ": line " + number + " is past the last note line of " + source.path);
    }
    return *tick;
}

std::uint64_t MarkerTick(const std::string& option, const std::string& name,
                         const PositionSource& source) {
    std::optional<std::uint64_t> tick;
    if (source.score != nullptr) {
        if (const std::optional<std::int64_t> number = WholeNumber(name); number && *number > 0) {
            tick = MarkerOnsetTick(*source.score, static_cast<std::int32_t>(*number));
        }
    } else {
        tick = source.player.Index().MarkerTick(name);
    }
    if (!tick) {
        Refuse(option + ": there is no marker " + name + " in " + source.path);
    }
    return *tick;
}

}  // namespace

void AddRangeOptions(CLI::App& command, RangeArgs& args) {
    command.add_option("--from", args.from,
                       "Start at POS: line:N, marker:M, seconds (83.5) or m:ss (1:23.5)");
    command.add_option("--to", args.to, "Stop at POS (not included); same forms as --from");
    args.loopOption =
        command
            .add_option("--loop", args.loop,
                        "Play the range COUNT times (play: without COUNT, until stopped)")
            ->expected(0, 1)
            ->type_name("[COUNT]");
    command.add_option("--tempo", args.tempo, "Speed factor 0.25-4.0 (default 1)")
        ->check(NumberIn(kSlowest, kFastest, "0.25-4.0"));
    command
        .add_option("--transpose", args.transpose,
                    "Semitones -24..24; channel 9 (drums) stays as it is")
        ->transform(WholeNumberIn(-kWidestTranspose, kWidestTranspose, ""));
    command.add_option("--mute", args.mute, "Channels to silence, e.g. 1,3");
    command.add_option("--solo", args.solo, "The only channels to sound, e.g. 0,2");
}

std::vector<std::string> PlaceLoopCounts(std::vector<std::string> args) {
    static const std::regex kCount("[0-9]+");
    const auto optionsEnd = std::find(args.begin(), args.end(), "--");
    std::vector<std::string> placed(args.begin(), optionsEnd);
    std::size_t countless = 0;
    for (std::size_t i = 0; i < placed.size();) {
        if (placed[i] == "--loop=") {
            throw CLI::ValidationError("--loop", "the value is empty");
        }
        if (placed[i] != "--loop") {
            ++i;
            continue;
        }
        const bool followed = i + 1 < placed.size();
        if (followed && placed[i + 1].empty()) {
            throw CLI::ValidationError("--loop", "the value is empty");
        }
        if (followed && std::regex_match(placed[i + 1], kCount)) {
            placed[i] = "--loop=" + placed[i + 1];
            placed.erase(placed.begin() + static_cast<std::ptrdiff_t>(i) + 1);
            ++i;
        } else {
            placed.erase(placed.begin() + static_cast<std::ptrdiff_t>(i));
            ++countless;
        }
    }
    placed.insert(placed.end(), countless, "--loop");
    placed.insert(placed.end(), optionsEnd, args.end());
    return placed;
}

std::uint64_t ResolvePosition(const std::string& option, const std::string& text,
                              const PositionSource& source,
                              std::optional<std::uint64_t>* milliseconds) {
    if (text.rfind("line:", 0) == 0) {
        return LineTick(option, text.substr(5), source);
    }
    if (text.rfind("marker:", 0) == 0) {
        return MarkerTick(option, text.substr(7), source);
    }
    const std::optional<std::uint64_t> ms = Milliseconds(text);
    if (!ms) {
        Refuse(option + ": cannot read the position '" + text +
               "'; use line:N, marker:M, seconds (83.5) or minutes:seconds (1:23.5)");
    }
    CSmfPlayer& player = source.player;
    // The first tick a whole playback has not sent before that time: a start there sends
    // nothing early, an end there leaves out nothing due before it.
    const std::uint64_t tick = player.Index().FirstTickOfCallback(*ms);
    if (milliseconds != nullptr) {
        *milliseconds = ms;
    }
    if (tick > player.Index().EndTick()) {
        Refuse(option + ": " + text + " is past the end of the music");
    }
    return tick;
}

PlaybackOptions LoadWithRange(CSmfPlayer& player, const std::string& path, const RangeArgs& args,
                              LoopCount rule, NoteTable& score) {
    LoadForPlayback(player, path, &score);
    const PositionSource source{player, IsScorePath(path) ? &score : nullptr, path};
    const PlaybackOptions options = ResolveRange(args, source, rule);
    player.SetOptions(options);
    return options;
}

PlaybackOptions ResolveRange(const RangeArgs& args, const PositionSource& source, LoopCount rule) {
    PlaybackOptions options;
    const std::uint64_t end = source.player.Index().EndTick();
    if (!args.from.empty()) {
        options.fromTick = ResolvePosition("--from", args.from, source, &options.fromMilliseconds);
        if (options.fromTick >= end) {
            Refuse("--from: " + args.from + " is at or past the end of the music");
        }
    }
    if (!args.to.empty()) {
        options.toTick = ResolvePosition("--to", args.to, source);
        if (options.toTick <= options.fromTick) {
            Refuse("--to: " + args.to + " (tick " + std::to_string(options.toTick) +
                   ") is not after --from (tick " + std::to_string(options.fromTick) + ")");
        }
    }
    options.loops = Loops(args, rule);
    options.tempoFactor = args.tempo;
    options.transpose = args.transpose;
    if (!args.mute.empty()) {
        options.mutedChannels = Channels("--mute", args.mute);
    }
    if (!args.solo.empty()) {
        options.soloChannels = Channels("--solo", args.solo);
    }
    return options;
}

}  // namespace tez::cli
