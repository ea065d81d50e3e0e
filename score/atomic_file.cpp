#include "atomic_file.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <random>

#include "smf_writer.h"

namespace tez {

constexpr int kMostLinks = 40;  // as the system's own limit for a path

bool WriteAll(int fd, std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes = bytes.subspan(static_cast<std::size_t>(written));
    }
    return true;
}

namespace {

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Opens a new file beside `path`. Created with mode 0666 as any new file is, so the umask
// and the folder's default permissions apply; `temporary` receives its name.
int CreateTemporary(const std::string& path, std::string& temporary) {
    std::random_device seed;
    std::mt19937 random(seed());
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = path + "." + std::to_string(random() % 1'000'000'000);
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

// Truncates and rewrites what the path names: a pipe, a device, a file in a closed folder.
int OpenInPlace(const std::string& path) {
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
}

// Flushes a file or folder to disk; what cannot be flushed (a pipe, a device) needs none.
bool Flush(int fd) {
    return ::fsync(fd) == 0 || errno == EINVAL || errno == EROFS;
}

void FlushFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        Flush(fd);
        ::close(fd);
    }
}

// Takes a SIGXFSZ raised by a write past the file-size limit, which would end the process
// once unblocked.
void DiscardPendingFileSizeSignal() {
    sigset_t pending;
    sigemptyset(&pending);
    if (sigpending(&pending) == 0 && sigismember(&pending, SIGXFSZ) == 1) {
        sigset_t fileSize;
        sigemptyset(&fileSize);
        sigaddset(&fileSize, SIGXFSZ);
        const timespec now{};
        sigtimedwait(&fileSize, nullptr, &now);
    }
}

// Holds signals in the calling thread for as long as it lives.
class HeldSignals {
  public:
    explicit HeldSignals(std::initializer_list<int> signals) {
        sigset_t held;
        sigemptyset(&held);
        for (const int signal : signals)
            sigaddset(&held, signal);
        pthread_sigmask(SIG_BLOCK, &held, &saved_);
    }
    ~HeldSignals() {
        const int reason = errno;
        pthread_sigmask(SIG_SETMASK, &saved_, nullptr);
        errno = reason;
    }
    HeldSignals(const HeldSignals&) = delete;
    HeldSignals& operator=(const HeldSignals&) = delete;

  private:
    sigset_t saved_{};
};

}  // namespace

std::string FinalLinkTarget(const std::string& path) {
    std::string current = path;
    for (int hop = 0; hop < kMostLinks; ++hop) {
        char link[PATH_MAX];
        const ssize_t length = ::readlink(current.c_str(), link, sizeof link - 1);
        if (length < 0)
            return current;  // no link (or nothing there): the chain ends here
        const std::string next(link, static_cast<std::size_t>(length));
        current = next.front() == '/' ? next : FolderOf(current) + "/" + next;
    }
    return current;
}

ReplacingFile::ReplacingFile(const std::string& path) {
    sigset_t fileSize;
    sigemptyset(&fileSize);
    sigaddset(&fileSize, SIGXFSZ);
    signalsHeld_ = pthread_sigmask(SIG_BLOCK, &fileSize, &savedMask_) == 0;
    if (path == kStandardOutputName) {
        fd_ = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0);
        return;
    }
    // A rename would put a file where the pipe or device was. Asked of the path itself: a
    // link such as /dev/stdout leads to one through names only the system can follow.
    struct stat old = {};
    const bool exists = ::stat(path.c_str(), &old) == 0;
    if (!exists && errno == ELOOP) {
        return;  // no file to replace at the end of links that go round
    }
    if (exists && !S_ISREG(old.st_mode)) {
        fd_ = OpenInPlace(path);
        return;
    }
    target_ = FinalLinkTarget(path);
    OpenReplacement(exists, old);
}

void ReplacingFile::OpenReplacement(bool exists, const struct stat& old) {
    fd_ = CreateTemporary(target_, temporary_);
    if (fd_ < 0) {  // the folder takes no new file; a file already there may still be writable
        temporary_.clear();
        if (exists)
            fd_ = OpenInPlace(target_);
        return;
    }
    if (exists) {
        // The replacement keeps the old file's owner (where allowed) and its mode.
        const bool sameOwner = old.st_uid == ::geteuid() && old.st_gid == ::getegid();
        [[maybe_unused]] const int chowned = sameOwner ? 0 : ::fchown(fd_, old.st_uid, old.st_gid);
        ::fchmod(fd_, old.st_mode & 07777);
    }
}

ReplacingFile::~ReplacingFile() {
    Abandon();
}

bool ReplacingFile::Commit() {
    const bool flushed = Flush(fd_);
    const bool closed = ::close(fd_) == 0;
    fd_ = -1;
    if (!flushed || !closed) {
        Abandon();
        return false;
    }
    if (!temporary_.empty()) {
        if (std::rename(temporary_.c_str(), target_.c_str()) != 0) {
            Abandon();
            return false;
        }
        temporary_.clear();
        FlushFolder(FolderOf(target_));
    }
    RestoreSignals();
    return true;
}

void ReplacingFile::Abandon() {
    const int reason = errno;
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    if (!temporary_.empty())
        ::unlink(temporary_.c_str());
    temporary_.clear();
    RestoreSignals();
    errno = reason;
}

void ReplacingFile::RestoreSignals() {
    if (!signalsHeld_)
        return;
    DiscardPendingFileSizeSignal();
    pthread_sigmask(SIG_SETMASK, &savedMask_, nullptr);
    signalsHeld_ = false;
}

WriteStatus WriteFileSafely(const std::string& path, std::span<const std::uint8_t> bytes) {
    const HeldSignals stops({SIGINT, SIGTERM, SIGHUP, SIGQUIT});
    ReplacingFile file(path);
    if (!file.IsOpen())
        return WriteStatus::kCreateFailed;
    if (!WriteAll(file.Descriptor(), bytes)) {
        file.Abandon();
        return WriteStatus::kWriteFailed;
    }
    return file.Commit() ? WriteStatus::kOk : WriteStatus::kWriteFailed;
}

}  // namespace tez
