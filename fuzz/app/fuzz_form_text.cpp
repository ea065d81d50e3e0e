// Any bytes as a score file: the text the form shows holds no zero byte, keeps every
// byte before the first zero of each piece in order, and all of a file without zeros.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "control/score_passes.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string shown = tez::ScoreTextForDisplay(bytes);
    if (shown.size() > bytes.size() || shown.find('\0') != std::string::npos) {
        std::abort();
    }
    if (bytes.find('\0') == std::string_view::npos && shown != bytes) {
        std::abort();
    }
    // What is shown is a subsequence of the file.
    std::size_t at = 0;
    for (char c : shown) {
        at = bytes.find(c, at);
        if (at == std::string_view::npos) {
            std::abort();
        }
        ++at;
    }
    return 0;
}
