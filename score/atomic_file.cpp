#include "atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <random>

#include "smf_writer.h"

namespace tez {

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

// Truncates and rewrites the file the path leads to: a file behind a link, a pipe, a device.
int OpenInPlace(const std::string& path) {
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
}

}  // namespace

ReplacingFile::ReplacingFile(const std::string& path) : path_(path) {
    struct stat old = {};
    const bool exists = ::lstat(path_.c_str(), &old) == 0;
    // A rename would put a file where the link or the special file was.
    if (exists && !S_ISREG(old.st_mode)) {
        fd_ = OpenInPlace(path_);
        return;
    }
    fd_ = CreateTemporary(path_, temporary_);
    if (fd_ < 0) {  // the folder takes no new file; a file already there may still be writable
        temporary_.clear();
        if (exists)
            fd_ = OpenInPlace(path_);
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
    const bool closed = ::close(fd_) == 0;
    fd_ = -1;
    if (closed && (temporary_.empty() || std::rename(temporary_.c_str(), path_.c_str()) == 0)) {
        temporary_.clear();
        return true;
    }
    Abandon();
    return false;
}

void ReplacingFile::Abandon() {
    const int reason = errno;
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    if (!temporary_.empty())
        ::unlink(temporary_.c_str());
    temporary_.clear();
    errno = reason;
}

WriteStatus WriteFileSafely(const std::string& path, std::span<const std::uint8_t> bytes) {
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
