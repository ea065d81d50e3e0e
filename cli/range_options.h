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
    CLI::Option* fromOption = nullptr;
    std::string to;
    CLI::Option* toOption = nullptr;
    std::vector<std::string> loop;  // --loop [COUNT]
    CLI::Option* loopOption = nullptr;
    double tempo = 1.0;
    int transpose = 0;
    std::string mute;
    CLI::Option* muteOption = nullptr;
    std::string solo;
    CLI::Option* soloOption = nullptr;
};

enum class LoopCount {
    kOptional,  // without a count the range repeats until stopped
    kRequired,  // a run that must end
};

void AddRangeOptions(CLI::App& command, RangeArgs& args);

// An option's rule for a whole number of `unit` from `lowest` to `highest`, said in the
// option's own words ("--rate: 44100.5 is not a whole number of Hz").
CLI::Validator WholeNumberIn(int lowest, int highest, const std::string& unit);

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
