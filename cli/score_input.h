// Reading a score for a command: failures become the command's short message.
#pragma once

#include <string>

#include "score/diagnostics.h"
#include "score/note_table.h"

namespace tez::cli {

// "tez: cannot open song.tez: No such file or directory": what failed, on which file, and
// the system's reason for errno value `error`.
std::string FileError(const std::string& action, const std::string& path, int error);

// Throws CLI::RuntimeError naming the file and the reason it cannot be read, or running out
// of memory.
NoteTable ReadScoreOrThrow(const std::string& path, Diagnostics& diagnostics);

// In the order of the score: the reader's and the writer's warnings interleaved.
void SortByPosition(Diagnostics& diagnostics);

// Warnings to stderr in the order of the score, each naming the score, its line and column.
void PrintWarnings(const std::string& score, Diagnostics diagnostics);

}  // namespace tez::cli
