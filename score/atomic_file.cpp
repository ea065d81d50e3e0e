#include "atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <random>

#include "smf_writer.h"

namespace tez {
namespace {

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

WriteStatus WriteAndClose(int fd, std::span<const std::uint8_t> bytes) {
    const bool written = WriteAll(fd, bytes);
    const bool closed = ::close(fd) == 0;
    return written && closed ? WriteStatus::kOk : WriteStatus::kWriteFailed;
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

// Truncates and rewrites the file the path leads to: a file behind a link, a pipe, a device.
WriteStatus WriteInPlace(const std::string& path, std::span<const std::uint8_t> bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    return fd < 0 ? WriteStatus::kCreateFailed : WriteAndClose(fd, bytes);
}

}  // namespace

WriteStatus WriteFileSafely(const std::string& path, std::span<const std::uint8_t> bytes) {
    struct stat old = {};
    const bool exists = ::lstat(path.c_str(), &old) == 0;
    // A rename would put a file where the link or the special file was.
    if (exists && !S_ISREG(old.st_mode))
        return WriteInPlace(path, bytes);
    std::string temporary;
    const int fd = CreateTemporary(path, temporary);
    if (fd < 0)  // the folder takes no new file; a file already there may still be writable
        return exists ? WriteInPlace(path, bytes) : WriteStatus::kCreateFailed;
    if (exists) {
        // The replacement keeps the old file's owner (where allowed) and its mode.
        const bool sameOwner = old.st_uid == ::geteuid() && old.st_gid == ::getegid();
        [[maybe_unused]] const int chowned = sameOwner ? 0 : ::fchown(fd, old.st_uid, old.st_gid);
        ::fchmod(fd, old.st_mode & 07777);
    }
    const WriteStatus status = WriteAndClose(fd, bytes);
    if (status != WriteStatus::kOk || std::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return WriteStatus::kWriteFailed;
    }
    return WriteStatus::kOk;
}

}  // namespace tez
