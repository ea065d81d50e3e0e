#include "score_input.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "json_text.h"

namespace tez::cli {

std::string FileError(const std::string& action, const std::string& path, int error) {
    return "tez: " + action + " " + PrintableName(path) + ": " + std::strerror(error);
}

NoteTable ReadScoreOrThrow(const std::string& path, Diagnostics& diagnostics) {
    NoteTable table;
    switch (ReadScore(table, path, &diagnostics)) {
        case ReadStatus::kOk:
            break;
        case ReadStatus::kOpenFailed:
            throw CLI::RuntimeError(FileError("cannot open", path, errno), 1);
        case ReadStatus::kOutOfMemory:
            throw CLI::RuntimeError("tez: out of memory reading the score", 1);
    }
    return table;
}

void WarnIfSilent(const ScoreMidiSummary& summary, Diagnostics& diagnostics) {
    if (summary.records > 0 && summary.notes == 0) {
        diagnostics.push_back({1, kNoSound, 1});
    }
}

void SortByPosition(Diagnostics& diagnostics) {
    std::stable_sort(diagnostics.begin(), diagnostics.end(), [](const auto& a, const auto& b) {
        return a.line != b.line ? a.line < b.line : a.column < b.column;
    });
}

void PrintWarnings(const std::string& score, Diagnostics diagnostics) {
    SortByPosition(diagnostics);
    const std::string name = PrintableName(score);
    for (const Diagnostic& d : diagnostics) {
        std::fprintf(stderr, "%s\n", FormatWarning(name, d).c_str());
    }
}

}  // namespace tez::cli
