#include "playback_source.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>

#include "score/smf_writer.h"
#include "score_input.h"

namespace tez::cli {
namespace {

void LoadScore(CSmfPlayer& player, const std::string& path, ScoreOutput output, NoteTable* score) {
    Diagnostics diagnostics;
    NoteTable table = ReadScoreOrThrow(path, diagnostics);
    if (!table.HasRecords()) {
        throw CLI::RuntimeError("no tezdata.", 1);
    }
    EventLines lines;
    if (output == ScoreOutput::kInMemory) {
        const std::vector<std::uint8_t> file =
            BuildScoreMidiFile(table, &diagnostics, nullptr, &lines);
        PrintWarnings(path, diagnostics);
        player.LoadBytes(file);
    } else {
        const WriteStatus status =
            WriteScoreMidiFile(table, kScoreMidiFileName, &diagnostics, nullptr, &lines);
        PrintWarnings(path, diagnostics);
        if (status != WriteStatus::kOk) {
            throw CLI::RuntimeError(std::string("cannot write ") + kScoreMidiFileName, 1);
        }
        player.LoadFile(kScoreMidiFileName);
    }
    player.SetSourceLines(std::move(lines));
    if (score != nullptr) {
        *score = std::move(table);
    }
}

}  // namespace

bool IsScorePath(const std::string& path) {
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == ".tez";
}

void LoadForPlayback(CSmfPlayer& player, const std::string& path, ScoreOutput output,
                     NoteTable* score) {
    if (IsScorePath(path)) {
        LoadScore(player, path, output, score);
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
