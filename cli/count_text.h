// Counts in the tool's reports, with their nouns in the singular for one.
#pragma once

#include <cstdint>
#include <string>

namespace tez::cli {

// "1 note", "2 notes", "0 notes".
inline std::string Counted(std::uint64_t count, const std::string& noun) {
    return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

}  // namespace tez::cli
