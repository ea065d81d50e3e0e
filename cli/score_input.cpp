#include "score_input.h"

#include <CLI/CLI.hpp>

#include <cstdio>

namespace tez::cli {

NoteTable ReadScoreOrThrow(const std::string& path, Diagnostics& diagnostics) {
    NoteTable table;
    switch (ReadScore(table, path, &diagnostics)) {
        case ReadStatus::kOk:
            break;
        case ReadStatus::kOpenFailed:
            throw CLI::RuntimeError("file open error", 1);
        case ReadStatus::kOutOfMemory:
            throw CLI::RuntimeError("out of memory reading the score", 1);
    }
    return table;
}

void PrintWarnings(const std::string& score, const Diagnostics& diagnostics) {
    for (const Diagnostic& d : diagnostics) {
        std::fprintf(stderr, "%s\n", FormatWarning(score, d).c_str());
    }
}

}  // namespace tez::cli
