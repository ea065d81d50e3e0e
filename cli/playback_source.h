// Loads what the user named into a player: a score is converted in memory first, a MIDI file
// is taken as it stands.
#pragma once

#include <string>

#include "playback/smf_player.h"
#include "score/note_table.h"

namespace tez::cli {

// What a score without a note record is called, in its own words and the window's.
inline constexpr const char* kNoNotes = "no notes (no tezdata.)";

bool IsScorePath(const std::string& path);

// Throws CLI::RuntimeError with a short message when nothing playable was loaded. Warnings
// (score repairs, a file cut short) go to stderr. A score's note table goes to `score`, and
// the player learns the score line of each event.
void LoadForPlayback(CSmfPlayer& player, const std::string& path, NoteTable* score = nullptr);

// The callbacks of one pass of the playback of `path` with `options`, found quietly on a
// virtual clock with a player of its own (a run changes its player's tempo); 0 when the file
// cannot be read or never ends.
std::uint64_t OnePassCallbacks(const std::string& path, PlaybackOptions options);

}  // namespace tez::cli
