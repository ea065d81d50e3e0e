// A score file as the window read or wrote it: its bytes and what identifies that version,
// so that a save can tell whether someone else wrote the file in the meantime.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tez {

// Which file and which version of it: a rename over the path, a write in place or a change
// of size or time shows in the first four, and the hash tells a mere touch from new content.
struct FileStamp {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modifiedNs = 0;
    std::uint64_t hash = 0;
};

struct ReadScoreFile {
    std::string bytes;
    FileStamp stamp;
};

// The whole file and the stamp of the version read; nothing when it cannot be opened or read.
std::optional<ReadScoreFile> ReadWithStamp(const std::string& path);
// The stamp of the file at `path` after `bytes` were written to it.
std::optional<FileStamp> StampAfterWrite(const std::string& path, std::string_view bytes);
// True when the file at `path` holds other content than the version stamped. A file that is
// gone holds nothing anyone could lose.
bool ChangedSince(const std::string& path, const FileStamp& stamp);

}  // namespace tez
