// Reading a score for a command: failures become the command's short message.
#pragma once

#include <string>

#include "score/diagnostics.h"
#include "score/note_table.h"
#include "score/smf_writer.h"

namespace tez::cli {

// "tez: cannot open song.tez: No such file or directory": what failed, on which file, and
// the system's reason for errno value `error`.
std::string FileError(const std::string& action, const std::string& path, int error);

// Throws CLI::RuntimeError naming the file and the reason it cannot be read, or running out
// of memory.
NoteTable ReadScoreOrThrow(const std::string& path, Diagnostics& diagnostics);

// A score whose records start no note (rests, pedals, markers, tempo changes only) converts
// to a file that plays nothing: a warning at its line 1, column 1, where a score without
// records has its error.
inline constexpr const char* kNoSound = "no note sounds; the MIDI file is silent";
void WarnIfSilent(const ScoreMidiSummary& summary, Diagnostics& diagnostics);

// In the order of the score: the reader's and the writer's warnings interleaved.
void SortByPosition(Diagnostics& diagnostics);

// Warnings to stderr in the order of the score, each naming the score, its line and column.
void PrintWarnings(const std::string& score, Diagnostics diagnostics);

}  // namespace tez::cli
