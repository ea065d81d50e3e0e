// Writes note records as score text a musician can read and edit.
#pragma once

#include <span>
#include <string>

#include "note_table.h"

namespace tez {

// Ticks of a bar of four quarters: a blank line stands before the first record of each bar.
inline constexpr std::int64_t kLayoutBarTicks = 480;

// One line a record, the fields in the order I K V L W M, each only where it differs from its
// default, in columns as wide as their widest value; a blank line (no record) at each bar.
// The same records always give the same bytes, and reading them gives the records back.
std::string LayoutScore(std::span<const NoteRecord> records);

}  // namespace tez
