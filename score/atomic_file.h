// Writes an output file so that a reader sees the old contents or the new, whole, where the
// file system allows it.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace tez {

enum class WriteStatus;

// Writes `bytes` to `path`. An ordinary file in a writable folder is replaced atomically: the
// bytes go to a temporary file beside it, which is renamed over it and keeps its mode; on
// failure the old file is untouched and no temporary is left behind. A link is written
// through and stays a link; a pipe or device, or a file in a folder that takes no new file,
// is written in place.
WriteStatus WriteFileSafely(const std::string& path, std::span<const std::uint8_t> bytes);

}  // namespace tez
