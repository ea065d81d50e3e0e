#include "control/score_passes.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "score/smf_writer.h"

namespace tez {

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// Reads the whole file; nothing when it cannot be opened or a read fails (a directory
// opens on this system, but reading it fails).
std::optional<std::string> ReadAllBytes(const std::string& path) {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        return std::nullopt;
    }
    std::string bytes;
    char block[1 << 16];
    std::size_t got = 0;
    while ((got = std::fread(block, 1, sizeof block, file.get())) > 0) {
        bytes.append(block, got);
    }
    if (std::ferror(file.get())) {
        return std::nullopt;
    }
    return bytes;
}

std::size_t PieceLength(std::string_view rest) {
    const std::size_t limit = std::min(rest.size(), kDisplayPieceBytes);
    const void* lineFeed = std::memchr(rest.data(), '\n', limit);
    if (lineFeed == nullptr) {
        return limit;
    }
    return static_cast<const char*>(lineFeed) - rest.data() + 1;
}

}  // namespace

std::string ScoreTextForDisplay(std::string_view bytes) {
    std::string shown;
    shown.reserve(bytes.size());
    while (!bytes.empty()) {
        const std::size_t length = PieceLength(bytes);
        const std::string_view piece = bytes.substr(0, length);
        shown.append(piece.substr(0, piece.find('\0')));
        bytes.remove_prefix(length);
    }
    return shown;
}

std::optional<std::string> ReadScoreForDisplay(const std::string& path) {
    std::optional<std::string> bytes = ReadAllBytes(path);
    if (!bytes) {
        return std::nullopt;
    }
    return ScoreTextForDisplay(*bytes);
}

ScorePassResult ConvertScoreFile(NoteTable& table, const std::string& path,
                                 std::vector<std::int32_t>* eventLines,
                                 const DeferredStops* stops) {
    switch (ReadScore(table, path, nullptr)) {
        case ReadStatus::kOpenFailed:
            return ScorePassResult::kOpenFailed;
        case ReadStatus::kOutOfMemory:
            return ScorePassResult::kOutOfMemory;
        case ReadStatus::kOk:
            break;
    }
    const auto hold = HoldStops(stops);
    if (WriteScoreMidiFile(table, kScoreMidiFileName, nullptr, nullptr, eventLines) !=
        WriteStatus::kOk) {
        return ScorePassResult::kWriteFailed;
    }
    return ScorePassResult::kConverted;
}

}  // namespace tez
