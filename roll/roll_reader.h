// Reads the music of a Standard MIDI File into a piano roll's model, through the player's own
// loading and event reading, so that the roll shows what a playback plays.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "playback/smf_player.h"
#include "roll/roll_model.h"
#include "score/note_table.h"

namespace tez::roll {

// The music of a loaded player, through its index (built if it was not); `eventLines` holds the
// score line of each event in file order (empty for a file no score gave).
RollModel ReadRoll(CSmfPlayer& player, std::span<const std::int32_t> eventLines);

// The music of a file's bytes; nothing when they are no MIDI file.
std::optional<RollModel> ReadRollFromBytes(std::span<const std::uint8_t> file,
                                           std::span<const std::int32_t> eventLines);

// The music of the MIDI file at `path`; nothing when it cannot be read or is no MIDI file.
std::optional<RollModel> ReadRollFromFile(const char* path,
                                          std::span<const std::int32_t> eventLines);

// Only the timing of a loaded player's music: its tempo map and end, without the notes, for
// telling the time of a playback at a fraction of a full read's cost.
RollModel ReadTiming(CSmfPlayer& player);
std::optional<RollModel> ReadTimingFromBytes(std::span<const std::uint8_t> file);
std::optional<RollModel> ReadTimingFromFile(const char* path);

// The music of a score as the writer converts it.
RollModel ReadRollFromScore(const NoteTable& score);

}  // namespace tez::roll
