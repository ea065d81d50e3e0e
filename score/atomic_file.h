// Writes an output file so that a reader sees the old contents or the new, whole, where the
// file system allows it.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace tez {

enum class WriteStatus;

// An output being written. An ordinary file in a writable folder is written as a temporary
// file beside it, which Commit renames over it, keeping the old file's mode; until then, and
// whenever the writing fails, the old file is untouched. A link is written through and stays
// a link; a pipe or device, or a file in a folder that takes no new file, is written in place.
class ReplacingFile {
  public:
    // Opens the output of `path`; IsOpen() is false when it cannot be created (errno says why).
    explicit ReplacingFile(const std::string& path);
    // Without Commit, the temporary file is removed.
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    int Descriptor() const { return fd_; }
    // The temporary file's name; empty when the output is written in place.
    const std::string& TemporaryPath() const { return temporary_; }

    // Closes the output and puts it in place. False, with errno saying why, when closing or
    // renaming fails; the temporary file is then removed.
    bool Commit();
    // Closes the output and removes the temporary file, keeping errno.
    void Abandon();

  private:
    std::string path_;
    std::string temporary_;
    int fd_ = -1;
};

// Writes every byte to `fd`, going on after an interruption. False when writing fails (errno
// says why).
bool WriteAll(int fd, std::span<const std::uint8_t> bytes);

// Writes `bytes` to `path` through a ReplacingFile.
WriteStatus WriteFileSafely(const std::string& path, std::span<const std::uint8_t> bytes);

}  // namespace tez
