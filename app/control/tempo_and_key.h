// The tempo and key the window plays in, changed a step at a time.
#pragma once

#include <algorithm>
#include <cstdint>

namespace tez {

struct TempoAndKey {
    static constexpr std::int32_t kSlowestPercent = 25;
    static constexpr std::int32_t kFastestPercent = 400;
    static constexpr std::int32_t kPercentStep = 10;
    static constexpr std::int32_t kWidestTranspose = 24;

    std::int32_t tempoPercent = 100;  // of the score's own tempo
    std::int32_t transpose = 0;       // semitones

    // Steps of a tenth of the written tempo; the slowest is a quarter of it.
    void Slower() { tempoPercent = std::max(kSlowestPercent, tempoPercent - kPercentStep); }
    void Faster() {
        tempoPercent =
            tempoPercent < 30 ? 30 : std::min(kFastestPercent, tempoPercent + kPercentStep);
    }
    void Down() { transpose = std::max(-kWidestTranspose, transpose - 1); }
    void Up() { transpose = std::min(kWidestTranspose, transpose + 1); }
    double TempoFactor() const { return tempoPercent / 100.0; }
    bool IsAsWritten() const { return tempoPercent == 100 && transpose == 0; }
};

}  // namespace tez
