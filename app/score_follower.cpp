#include "score_follower.h"

#include <sys/stat.h>

#include <QFile>
#include <QFileInfo>

namespace tez {

namespace {

// The file's identity, size, modification and status change times: a rename over it
// changes the first, a write in place the next, and a change of mode or owner (which can
// make an unreadable save readable) the last. Empty while the file is missing.
QByteArray Stamp(const QString& path) {
    struct stat info {};
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &info) != 0) {
        return {};
    }
    return QByteArray::number(static_cast<qulonglong>(info.st_ino)) + ' ' +
           QByteArray::number(static_cast<qlonglong>(info.st_size)) + ' ' +
           QByteArray::number(static_cast<qlonglong>(info.st_mtim.tv_sec)) + '.' +
           QByteArray::number(static_cast<qlonglong>(info.st_mtim.tv_nsec)) + ' ' +
           QByteArray::number(static_cast<qlonglong>(info.st_ctim.tv_sec)) + '.' +
           QByteArray::number(static_cast<qlonglong>(info.st_ctim.tv_nsec));
}

}  // namespace

ScoreFollower::ScoreFollower(std::function<void()> onSaved) : onSaved_(std::move(onSaved)) {
    settle_.setSingleShot(true);
    settle_.setInterval(kSettleMs);
    QObject::connect(&settle_, &QTimer::timeout, [this] { OnSettled(); });
    QObject::connect(&watcher_, &QFileSystemWatcher::fileChanged, [this] { OnChange(); });
    QObject::connect(&watcher_, &QFileSystemWatcher::directoryChanged, [this] { OnChange(); });
}

void ScoreFollower::Follow(const QString& path) {
    if (!watcher_.files().isEmpty()) {
        watcher_.removePaths(watcher_.files());
    }
    if (!watcher_.directories().isEmpty()) {
        watcher_.removePaths(watcher_.directories());
    }
    settle_.stop();
    path_ = path;
    stamp_ = Stamp(path_);
    if (path_.isEmpty()) {
        return;
    }
    // The folder too: a file renamed over the score is a new file the old watch misses.
    watcher_.addPath(QFileInfo(path_).absolutePath());
    watcher_.addPath(path_);
}

void ScoreFollower::OnChange() {
    if (!watcher_.files().contains(path_) && QFileInfo::exists(path_)) {
        watcher_.addPath(path_);
    }
    settle_.start();
}

void ScoreFollower::OnSettled() {
    const QByteArray now = Stamp(path_);
    // Other files of the folder change too ("tez_p.smf" may be written beside the score);
    // a missing file is an editor between deleting and writing, or no save at all.
    if (now.isEmpty() || now == stamp_) {
        return;
    }
    stamp_ = now;
    onSaved_();
}

}  // namespace tez
