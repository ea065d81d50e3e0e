#include "score_watch.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>

#include "score/atomic_file.h"
#include "score/smf_writer.h"
#include "score_input.h"

namespace tez::cli {
SaveWatch::SaveWatch(const std::string& path) {
    const std::filesystem::path file(path);
    name_ = file.filename().string();
    const std::string folder = file.has_parent_path() ? file.parent_path().string() : ".";
    fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ >= 0 && inotify_add_watch(fd_, folder.c_str(), IN_CLOSE_WRITE | IN_MOVED_TO) < 0) {
        close(fd_);
        fd_ = -1;
    }
}

SaveWatch::~SaveWatch() {
    if (fd_ >= 0) {
        close(fd_);
    }
}

bool SaveWatch::SaveSettled(std::chrono::steady_clock::time_point now) {
    alignas(inotify_event) char buffer[16 * (sizeof(inotify_event) + NAME_MAX + 1)];
    ssize_t got = 0;
    while (fd_ >= 0 && (got = read(fd_, buffer, sizeof buffer)) > 0) {
        for (char* at = buffer; at < buffer + got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(at);
            if (event->len > 0 && name_ == event->name && !firstSave_) {
                firstSave_ = now;
            }
            at += sizeof(inotify_event) + event->len;
        }
    }
    if (firstSave_ && now - *firstSave_ >= kBurst) {
        firstSave_.reset();
        return true;
    }
    return false;
}

ScoreFollower::ScoreFollower(CSmfPlayer& player, const std::string& path, const RangeArgs& range,
                             NoteTable score)
    : player_(player), path_(path), range_(range), score_(std::move(score)), watch_(path) {
    player_.SetPositionSink(&position_);
    if (!watch_.IsWatching()) {
        std::fprintf(stderr, "%s: warning: saves cannot be watched (%s)\n", path_.c_str(),
                     std::strerror(errno));
    }
}

void ScoreFollower::Poll() {
    if (watch_.SaveSettled(std::chrono::steady_clock::now())) {
        TakeNewVersion();
    }
}

// Where the edit moved the line that sounds now, the position moves with it; otherwise the
// new version goes on at the same tick.
std::uint64_t ScoreFollower::ResumeTick(const NoteTable& next, std::uint64_t now) const {
    const std::int32_t line = position_.line.load();
    if (line < 1) {
        return now;
    }
    const std::optional<std::uint64_t> before = LineOnsetTick(score_, line);
    const std::optional<std::uint64_t> after = LineOnsetTick(next, line);
    if (!before || !after || *before > now) {
        return now;
    }
    return *after + (now - *before);
}

bool ScoreFollower::TakeNewVersion() {
    const auto keepOld = [&](const std::string& why) {
        std::fprintf(stderr, "%s: %s; playing on with the previous version\n", path_.c_str(),
                     why.c_str());
        return false;
    };
    try {
        Diagnostics diagnostics;
        NoteTable next;
        const ReadStatus read = ReadScore(next, path_, &diagnostics);
        if (read != ReadStatus::kOk) {
            return keepOld(read == ReadStatus::kOpenFailed ? "file open error" : "out of memory");
        }
        if (!next.HasRecords()) {
            return keepOld("no tezdata.");
        }
        EventLines lines;
        const std::vector<std::uint8_t> file =
            BuildScoreMidiFile(next, &diagnostics, nullptr, &lines);
        PrintWarnings(path_, diagnostics);

        NoMidiDevices none;
        CSmfPlayer trial(none);
        trial.LoadBytes(file);
        const PlaybackOptions range =
            ResolveRange(range_, {trial, &next, path_}, LoopCount::kOptional);

        player_.Halt();
        PlaybackOptions options = range;
        options.loops = player_.LoopsLeft() < 0 ? -1 : std::min(player_.LoopsLeft(), range.loops);
        const std::uint64_t resume = ResumeTick(next, player_.Now());
        const std::uint64_t end = std::min(range.toTick, trial.Index().EndTick());
        if (resume > range.fromTick && resume < end) {
            options.resumeTick = resume;
        }
        try {
            player_.LoadBytes(file);
            player_.SetSourceLines(std::move(lines));
            player_.SetOptions(options);
            player_.Play();
        } catch (const std::bad_alloc&) {
            // Neither version can go on: the playback ends rather than hang in silence.
            player_.FreeTracks();
            std::fprintf(stderr, "%s: out of memory taking the new version; stopping\n",
                         path_.c_str());
            return false;
        }
        score_ = std::move(next);
        if (WriteFileSafely(kScoreMidiFileName, file) != WriteStatus::kOk) {
            std::fprintf(stderr, "%s: warning: cannot write %s\n", path_.c_str(),
                         kScoreMidiFileName);
        }
        std::fprintf(stderr, "%s: new version playing from tick %llu\n", path_.c_str(),
                     static_cast<unsigned long long>(options.resumeTick.value_or(range.fromTick)));
        return true;
    } catch (const CLI::RuntimeError& refused) {
        return keepOld(refused.what());
    } catch (const std::bad_alloc&) {
        return keepOld("out of memory");
    }
}

}  // namespace tez::cli
