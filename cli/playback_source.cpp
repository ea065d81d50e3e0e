#include "playback_source.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>

#include "score/note_table.h"
#include "score/smf_writer.h"

namespace tez::cli {
namespace {

void PrintWarnings(const std::string& score, const Diagnostics& diagnostics) {
    for (const Diagnostic& d : diagnostics) {
        std::fprintf(stderr, "%s\n", FormatWarning(score, d).c_str());
    }
}

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
    if (!table.HasRecords()) {
        throw CLI::RuntimeError("no tezdata.", 1);
    }
    return table;
}

void LoadScore(CSmfPlayer& player, const std::string& path, ScoreOutput output) {
    Diagnostics diagnostics;
    const NoteTable table = ReadScoreOrThrow(path, diagnostics);
    if (output == ScoreOutput::kInMemory) {
        const std::vector<std::uint8_t> file = BuildScoreMidiFile(table, &diagnostics);
        PrintWarnings(path, diagnostics);
        player.LoadBytes(file);
        return;
    }
    const WriteStatus status = WriteScoreMidiFile(table, kScoreMidiFileName, &diagnostics);
    PrintWarnings(path, diagnostics);
    if (status != WriteStatus::kOk) {
        throw CLI::RuntimeError(std::string("cannot write ") + kScoreMidiFileName, 1);
    }
    player.LoadFile(kScoreMidiFileName);
}

}  // namespace

bool IsScorePath(const std::string& path) {
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == ".tez";
}

void LoadForPlayback(CSmfPlayer& player, const std::string& path, ScoreOutput output) {
    if (IsScorePath(path)) {
        LoadScore(player, path, output);
    } else {
        player.LoadFile(path.c_str());
    }
    const LoadResult result = player.LastLoadResult();
    if (result == LoadResult::kTruncated) {
        std::fprintf(stderr, "%s: warning: %s\n", path.c_str(), DescribeLoadResult(result));
    } else if (result != LoadResult::kOk) {
        throw CLI::RuntimeError(DescribeLoadResult(result), 1);
    }
}

}  // namespace tez::cli
