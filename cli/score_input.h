// Reading a score for a command: failures become the command's short message.
#pragma once

#include <string>

#include "score/diagnostics.h"
#include "score/note_table.h"

namespace tez::cli {

// Throws CLI::RuntimeError ("file open error", or running out of memory).
NoteTable ReadScoreOrThrow(const std::string& path, Diagnostics& diagnostics);

// Warnings to stderr, each naming the score and its line.
void PrintWarnings(const std::string& score, const Diagnostics& diagnostics);

}  // namespace tez::cli
