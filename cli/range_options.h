// The options `play`, `dump` and `render` share: which part of the music plays, how often,
// how fast, in which key and on which channels.
#pragma once

#include <CLI/CLI.hpp>

#include <string>
#include <vector>

#include "playback/playback_options.h"
#include "playback/smf_player.h"
#include "playback_source.h"
#include "score/note_table.h"

namespace tez::cli {

// Problems with these options end the command with this code, before anything plays.
inline constexpr int kBadRangeExit = 2;

struct RangeArgs {
    std::string from;
    std::string to;
    std::string loop;  // --loop [COUNT]
    CLI::Option* loopOption = nullptr;
    double tempo = 1.0;
    int transpose = 0;
    std::string mute;
    std::string solo;
};

enum class LoopCount {
    kOptional,  // without a count the range repeats until stopped
    kRequired,  // a run that must end
};

void AddRangeOptions(CLI::App& command, RangeArgs& args);

// The command line with each --loop's count made plain: a number after --loop is its count,
// any other word is not (`tez play --loop song.tez` plays song.tez until stopped). CLI11 would
// take any word after an option whose value may be left out for its value; so a count joins
// its --loop (`--loop=3`) and a --loop without one goes after the other options, where no
// word follows it. An empty count is refused (CLI::ValidationError).
std::vector<std::string> PlaceLoopCounts(std::vector<std::string> args);

// What the positions are counted in: the loaded file, and the score it came from (nullptr
// for a MIDI file).
struct PositionSource {
    CSmfPlayer& player;
    const NoteTable* score;
    const std::string& path;
};

// The options as the player takes them. Throws CLI::RuntimeError with kBadRangeExit and a
// message naming the problem.
PlaybackOptions ResolveRange(const RangeArgs& args, const PositionSource& source, LoopCount rule);

// Loads the file for playback (see LoadForPlayback) and sets the player's options from the
// arguments. A score's note table goes to `score`.
PlaybackOptions LoadWithRange(CSmfPlayer& player, const std::string& path, const RangeArgs& args,
                              LoopCount rule, NoteTable& score);

// A position (`line:N`, `marker:M`, seconds `83.5` or `1:23.5`) as a tick of the file; a
// position in time also goes to `milliseconds`, so that the clock can start at that time.
std::uint64_t ResolvePosition(const std::string& option, const std::string& text,
                              const PositionSource& source,
                              std::optional<std::uint64_t>* milliseconds = nullptr);

}  // namespace tez::cli
