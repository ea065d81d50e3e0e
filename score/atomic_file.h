// Writes an output file so that a reader sees the old contents or the new, whole, where the
// file system allows it.
#pragma once

#include <signal.h>
#include <sys/stat.h>

#include <cstdint>
#include <span>
#include <string>

namespace tez {

enum class WriteStatus;

// The output name that means standard output.
inline constexpr const char* kStandardOutputName = "-";

// The file a path leads to through a chain of symbolic links, each relative link taken from
// the folder of the link that holds it; the path itself when it is no link. A link to a file
// not there yet leads to that name. A chain too long (a loop) ends at its last link.
std::string FinalLinkTarget(const std::string& path);

// An output being written. An ordinary file in a writable folder is written as a temporary
// file beside it (beside the target of a link), which Commit flushes to disk and renames over
// it, keeping the old file's mode; a link stays a link. Until then, and whenever the writing
// fails, the old file is untouched and the temporary is removed. A pipe or device, standard
// output ("-"), or a file in a folder that takes no new file, is written in place.
// While it is open, the calling thread does not take SIGXFSZ: a write past the file-size
// limit fails (EFBIG) instead of ending the process.
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

    // Flushes and closes the output and puts it in place. False, with errno saying why, when
    // any of that fails; the temporary file is then removed.
    bool Commit();
    // Closes the output and removes the temporary file, keeping errno.
    void Abandon();

  private:
    void OpenReplacement(bool exists, const struct stat& old);
    void RestoreSignals();

    std::string target_;
    std::string temporary_;
    int fd_ = -1;
    sigset_t savedMask_{};
    bool signalsHeld_ = false;
};

// Writes every byte to `fd`, going on after an interruption. False when writing fails (errno
// says why).
bool WriteAll(int fd, std::span<const std::uint8_t> bytes);

// Writes `bytes` to `path` through a ReplacingFile. The stop signals (SIGINT, SIGTERM,
// SIGHUP, SIGQUIT) wait until the file is in place or abandoned.
WriteStatus WriteFileSafely(const std::string& path, std::span<const std::uint8_t> bytes);

}  // namespace tez
