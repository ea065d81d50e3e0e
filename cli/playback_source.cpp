#include "playback_source.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "json_text.h"
#include "playback/virtual_clock.h"
#include "score/smf_writer.h"
#include "score_input.h"

namespace tez::cli {
namespace {

void LoadScore(CSmfPlayer& player, const std::string& path, NoteTable* score) {
    Diagnostics diagnostics;
    NoteTable table = ReadScoreOrThrow(path, diagnostics);
    if (!table.HasRecords()) {
        throw CLI::RuntimeError("tez: " + PrintableName(path) + ": " + kNoNotes, 1);
    }
    EventLines lines;
    ScoreMidiSummary summary;
    const std::vector<std::uint8_t> file =
        BuildScoreMidiFile(table, &diagnostics, &summary, &lines);
    WarnIfSilent(summary, diagnostics);
    PrintWarnings(path, diagnostics);
    player.LoadBytes(file);
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

void LoadForPlayback(CSmfPlayer& player, const std::string& path, NoteTable* score) {
    if (IsScorePath(path)) {
        LoadScore(player, path, score);
    } else {
        player.LoadFile(path.c_str());
    }
    const int reason = errno;
    const LoadResult result = player.LastLoadResult();
    if (result == LoadResult::kTruncated || result == LoadResult::kNoTiming) {
        std::fprintf(stderr, "%s: warning: %s\n", PrintableName(path).c_str(),
                     DescribeLoadResult(result));
    } else if (result == LoadResult::kOpenFailed) {
        throw CLI::RuntimeError(FileError("cannot open", path, reason), 1);
    } else if (result != LoadResult::kOk) {
        throw CLI::RuntimeError("tez: " + PrintableName(path) + ": " + DescribeLoadResult(result),
                                1);
    }
}

std::uint64_t OnePassCallbacks(const std::string& path, PlaybackOptions options) {
    NoMidiDevices none;
    CSmfPlayer dryRun(none);
    if (IsScorePath(path)) {
        NoteTable table;
        if (ReadScore(table, path, nullptr) != ReadStatus::kOk)
            return 0;
        dryRun.LoadBytes(BuildScoreMidiFile(table, nullptr));
    } else {
        dryRun.LoadFile(path.c_str());
    }
    options.loops = 0;
    options.resumeTick.reset();
    dryRun.SetOptions(options);
    VirtualClock clock(dryRun);
    clock.Start();
    return clock.RunToEnd().value_or(0);
}

}  // namespace tez::cli
