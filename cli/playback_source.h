// Loads what the user named into a player: a score is converted first, a MIDI file is
// taken as it stands.
#pragma once

#include <string>

#include "playback/smf_player.h"

namespace tez::cli {

enum class ScoreOutput {
    kWriteScoreFile,  // as the window does: the score's MIDI file becomes "tez_p.smf" here
    kInMemory,
};

bool IsScorePath(const std::string& path);

// Throws CLI::RuntimeError with a short message when nothing playable was loaded. Warnings
// (score repairs, a file cut short) go to stderr.
void LoadForPlayback(CSmfPlayer& player, const std::string& path, ScoreOutput output);

}  // namespace tez::cli
