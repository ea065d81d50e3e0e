// Replaces a file so that any reader sees either the old contents or the new, whole.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace tez {

enum class WriteStatus;

// Writes `bytes` to a temporary file beside `path`, then renames it over `path`.
// On failure the old file is untouched and no temporary is left behind.
WriteStatus ReplaceFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes);

}  // namespace tez
