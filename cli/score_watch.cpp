#include "score_watch.h"

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <new>

#include "json_text.h"
#include "playback_source.h"
#include "score/smf_writer.h"
#include "score_input.h"
#include "version_switch.h"

namespace tez::cli {
namespace {

constexpr std::uint32_t kFolderEvents = IN_CLOSE_WRITE | IN_MOVED_TO | IN_MODIFY | IN_CREATE |
                                        IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
// Events that end a save: after them the file is whole unless more writes follow.
constexpr std::uint32_t kWriteDone = IN_CLOSE_WRITE | IN_MOVED_TO;
// A file written to now, and open until it is closed.
constexpr std::uint32_t kWriting = IN_MODIFY | IN_CREATE;
constexpr std::uint32_t kFolderGone = IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED;

// The file `path` leads to through links; `path` itself when it does not lead to one.
std::string LinkTarget(const std::string& path) {
    char target[PATH_MAX];
    return ::realpath(path.c_str(), target) != nullptr ? std::string(target) : path;
}

}  // namespace

SaveWatch::SaveWatch(const std::string& path) : path_(path) {
    fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ >= 0 && !Watch(named_, path_)) {
        close(fd_);
        fd_ = -1;
        return;
    }
    Retarget();
}

SaveWatch::~SaveWatch() {
    if (fd_ >= 0) {
        close(fd_);
    }
}

bool SaveWatch::Watch(Entry& entry, const std::string& path) {
    const std::filesystem::path file(path);
    entry.name = file.filename().string();
    entry.folder = file.has_parent_path() ? file.parent_path().string() : ".";
    entry.watch = inotify_add_watch(fd_, entry.folder.c_str(), kFolderEvents);
    return entry.watch >= 0;
}

// Follows the named path to its file again; the folder of a target elsewhere is watched too.
void SaveWatch::Retarget() {
    const int old = target_.watch;
    Watch(target_, LinkTarget(path_));
    if (old >= 0 && old != target_.watch && old != named_.watch) {
        inotify_rm_watch(fd_, old);
    }
}

void SaveWatch::FolderLost() {
    if (!lost_) {
        std::fprintf(stderr,
                     "%s: warning: the folder %s went away; the score is taken again when it "
                     "comes back\n",
                     PrintableName(path_).c_str(), PrintableName(named_.folder).c_str());
    }
    lost_ = true;
    named_.watch = target_.watch = -1;
}

void SaveWatch::TryFolderBack(std::chrono::steady_clock::time_point now) {
    // A removed folder still open as the current one is no folder to come back to.
    struct stat folder = {};
    if (::stat(named_.folder.c_str(), &folder) != 0 || folder.st_nlink == 0 ||
        !Watch(named_, path_)) {
        return;
    }
    lost_ = false;
    Retarget();
    std::fprintf(stderr, "%s: the folder %s is back\n", PrintableName(path_).c_str(),
                 PrintableName(named_.folder).c_str());
    // Whatever is there now is the score, once it has been quiet: it may be being written.
    changed_ = writing_ = true;
    lastEvent_ = now;
}

void SaveWatch::Take(std::uint32_t mask, bool isNamed, std::chrono::steady_clock::time_point now) {
    lastEvent_ = now;
    changed_ = true;
    if ((mask & kWriteDone) != 0) {
        writing_ = false;
    } else if ((mask & kWriting) != 0) {
        // A link made at the name is whole at once; a file created is open for writing.
        struct stat made = {};
        const bool link = (mask & IN_CREATE) != 0 && isNamed &&
                          ::lstat(path_.c_str(), &made) == 0 && S_ISLNK(made.st_mode);
        writing_ = !link;
    }
}

void SaveWatch::TakeEvents(std::chrono::steady_clock::time_point now) {
    alignas(inotify_event) char buffer[16 * (sizeof(inotify_event) + NAME_MAX + 1)];
    ssize_t got = 0;
    while ((got = read(fd_, buffer, sizeof buffer)) > 0) {
        for (char* at = buffer; at < buffer + got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(at);
            at += sizeof(inotify_event) + event->len;
            const bool ours = event->wd == named_.watch || event->wd == target_.watch;
            if (ours && (event->mask & kFolderGone) != 0) {
                FolderLost();
                continue;
            }
            const bool isNamed =
                event->wd == named_.watch && event->len > 0 && named_.name == event->name;
            const bool isTarget =
                event->wd == target_.watch && event->len > 0 && target_.name == event->name;
            if (isNamed) {
                Retarget();  // the name may be a link, or a link pointing elsewhere now
            }
            if (isNamed || isTarget) {
                Take(event->mask, isNamed, now);
            }
        }
    }
}

bool SaveWatch::SaveSettled(std::chrono::steady_clock::time_point now) {
    if (fd_ < 0) {
        return false;
    }
    TakeEvents(now);
    if (lost_) {
        TryFolderBack(now);
    }
    if (changed_ && now - lastEvent_ >= (writing_ ? kQuiet : kSettle)) {
        changed_ = false;
        return true;
    }
    return false;
}

ScoreFollower::ScoreFollower(CSmfPlayer& player, const std::string& path, const RangeArgs& range,
                             NoteTable score)
    : player_(player), path_(path), range_(range), score_(std::move(score)), watch_(path) {
    player_.SetPositionSink(&position_);
    if (!watch_.IsWatching()) {
        std::fprintf(stderr, "%s: warning: saves cannot be watched (%s)\n",
                     PrintableName(path_).c_str(), std::strerror(errno));
    }
}

void ScoreFollower::Poll() {
    if (watch_.SaveSettled(std::chrono::steady_clock::now())) {
        TakeNewVersion();
    }
}

bool ScoreFollower::TakeNewVersion() {
    const auto keepOld = [&](const std::string& why) {
        std::fprintf(stderr, "%s: %s; playing on with the previous version\n",
                     PrintableName(path_).c_str(), why.c_str());
        return false;
    };
    try {
        Diagnostics diagnostics;
        NoteTable next;
        const ReadStatus read = ReadScore(next, path_, &diagnostics);
        if (read != ReadStatus::kOk) {
            return keepOld(read == ReadStatus::kOpenFailed
                               ? std::string("cannot open it: ") + std::strerror(errno)
                               : "out of memory");
        }
        if (!next.HasRecords()) {
            return keepOld(kNoNotes);
        }
        EventLines lines;
        ScoreMidiSummary summary;
        const std::vector<std::uint8_t> file =
            BuildScoreMidiFile(next, &diagnostics, &summary, &lines);
        WarnIfSilent(summary, diagnostics);
        PrintWarnings(path_, diagnostics);

        NoMidiDevices none;
        CSmfPlayer trial(none);
        trial.LoadBytes(file);
        const PlaybackOptions range =
            ResolveRange(range_, {trial, &next, path_}, LoopCount::kOptional);

        const std::optional<std::uint64_t> from =
            MoveToNewVersion(player_, position_, score_, next, file, std::move(lines), range);
        if (!from) {
            std::fprintf(stderr, "%s: out of memory taking the new version; stopping\n",
                         PrintableName(path_).c_str());
            return false;
        }
        score_ = std::move(next);
        std::fprintf(stderr, "%s: new version playing from tick %llu\n",
                     PrintableName(path_).c_str(), static_cast<unsigned long long>(*from));
        return true;
    } catch (const CLI::RuntimeError& refused) {
        return keepOld(refused.what());
    } catch (const std::bad_alloc&) {
        return keepOld("out of memory");
    }
}

}  // namespace tez::cli
