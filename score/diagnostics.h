// Warnings the reader and writer raise when they repair a value of the score.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tez {

struct Diagnostic {
    std::int32_t line = 0;    // 1-based line of the score the repair belongs to
    std::string message;      // e.g. "key 200 is out of range 0..127; written as 127"
    std::int32_t column = 0;  // 1-based byte column of the value on its line; 0 when none
};

using Diagnostics = std::vector<Diagnostic>;

// Formats a diagnostic the way compilers do: "score.tez:12:5: warning: ...", without the
// column when the diagnostic has none.
std::string FormatWarning(const std::string& scoreName, const Diagnostic& diagnostic);

}  // namespace tez
