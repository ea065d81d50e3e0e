#include "score_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>

namespace tez {

namespace {

std::uint64_t HashOf(std::string_view bytes) {
    std::uint64_t hash = 14695981039346656037ull;  // 64-bit FNV-1a
    for (const char byte : bytes) {
        hash = (hash ^ static_cast<unsigned char>(byte)) * 1099511628211ull;
    }
    return hash;
}

FileStamp StampOf(const struct stat& status, std::string_view bytes) {
    return {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino),
            static_cast<std::int64_t>(status.st_size),
            static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec,
            HashOf(bytes)};
}

bool SameVersion(const struct stat& status, const FileStamp& stamp) {
    return static_cast<std::uint64_t>(status.st_dev) == stamp.device &&
           static_cast<std::uint64_t>(status.st_ino) == stamp.inode &&
           static_cast<std::int64_t>(status.st_size) == stamp.size &&
           static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec ==
               stamp.modifiedNs;
}

class Descriptor {
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Get() const { return fd_; }

  private:
    int fd_;
};

bool ReadAll(int fd, std::string& bytes) {
    std::array<char, 1 << 16> block{};
    for (;;) {
        const ssize_t got = ::read(fd, block.data(), block.size());
        if (got == 0) {
            return true;
        }
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes.append(block.data(), static_cast<std::size_t>(got));
    }
}

}  // namespace

std::optional<ReadScoreFile> ReadWithStamp(const std::string& path) {
    const Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat status {};
    if (file.Get() < 0 || ::fstat(file.Get(), &status) != 0) {
        return std::nullopt;
    }
    ReadScoreFile read;
    if (!ReadAll(file.Get(), read.bytes)) {
        return std::nullopt;
    }
    read.stamp = StampOf(status, read.bytes);
    return read;
}

std::optional<FileStamp> StampAfterWrite(const std::string& path, std::string_view bytes) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        return std::nullopt;
    }
    return StampOf(status, bytes);
}

bool ChangedSince(const std::string& path, const FileStamp& stamp) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        return false;
    }
    if (SameVersion(status, stamp)) {
        return false;
    }
    const std::optional<ReadScoreFile> now = ReadWithStamp(path);
    return !now || now->stamp.size != stamp.size || now->stamp.hash != stamp.hash;
}

}  // namespace tez
