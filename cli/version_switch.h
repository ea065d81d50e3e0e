// A new version of the score taking over a playback from where the music is: the way both
// `tez play --watch` and `tez lsp` hear an edit.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "playback/playback_options.h"
#include "playback/smf_player.h"
#include "score/note_table.h"
#include "score/smf_writer.h"

namespace tez::cli {

// Where the music at tick `now` of `before`, on score line `line`, goes on in `after`: where
// the edit moved that line, the position moves with it; otherwise the same tick.
std::uint64_t ResumeTickAfterEdit(const NoteTable& before, const NoteTable& after,
                                  std::int32_t line, std::uint64_t now);

// Halts the playback and lets `file` (converted from `after`) go on from where `before` stood,
// with `range`'s part, speed and key and the loops the playback had left. Answers the tick it
// goes on from, or nothing when memory ran out, and then the player is empty and silent.
std::optional<std::uint64_t> MoveToNewVersion(CSmfPlayer& player, const PlaybackPosition& position,
                                              const NoteTable& before, const NoteTable& after,
                                              std::span<const std::uint8_t> file, EventLines lines,
                                              const PlaybackOptions& range);

}  // namespace tez::cli
