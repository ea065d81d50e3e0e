// The clock's arithmetic: how many ticks a number of milliseconds is worth.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>

namespace tez {

inline constexpr std::uint64_t kNever = std::numeric_limits<std::uint64_t>::max();

// Ticks per millisecond as a fraction.
struct TickRate {
    std::uint64_t numerator;
    std::uint64_t denominator;
};

// Time-code files count frames per second and ticks per frame, independent of the tempo; the
// rest count ticks per quarter note. A speed other than 1000 per mille scales the fraction,
// which stays exact: at 1000 it is the plain rate.
inline TickRate RateOf(std::int32_t division, std::int32_t tempo, std::uint32_t permille = 1000) {
    const auto word = static_cast<std::uint16_t>(division);
    TickRate rate{};
    if ((word & 0x8000) != 0) {
        const auto frames = static_cast<std::uint64_t>(-static_cast<std::int8_t>(word >> 8));
        // 29 stands for 30 drop-frame: 29.97 frames per second.
        const std::uint64_t framesX100 = frames == 29 ? 2997 : frames * 100;
        rate = {framesX100 * (word & 0xFF), 100'000};
    } else {
        rate = {static_cast<std::uint64_t>(word) * 1000, static_cast<std::uint32_t>(tempo)};
    }
    if (permille != 1000) {
        rate.numerator *= permille;
        rate.denominator *= 1000;
    }
    return rate;
}

inline std::uint64_t SaturatingAdd(std::uint64_t a, std::uint64_t b) {
    std::uint64_t sum = 0;
    return __builtin_add_overflow(a, b, &sum) ? kNever : sum;
}

// A clock counts whole milliseconds from a point `carry` past its base tick, in units of
// 1/denominator of a tick. A tempo change rebases the clock on the change's own tick and
// keeps the part of a millisecond already gone past it as the carry, so that the clock
// never drifts from the tempo map however many changes it passes.

// The ticks past its base a clock at `rate` has counted after `milliseconds`; saturates.
inline std::uint64_t TicksAfter(std::uint64_t milliseconds, std::uint64_t carry, TickRate rate) {
    const unsigned __int128 ticks =
        (static_cast<unsigned __int128>(milliseconds) * rate.numerator + carry) / rate.denominator;
    return ticks > kNever ? kNever : static_cast<std::uint64_t>(ticks);
}

// The first count of milliseconds in which a clock at `rate` (numerator not 0) has counted
// `ticks`: the division rounded up. Nothing when that count is beyond 2^64 - 1.
inline std::optional<std::uint64_t> MillisecondsFor(std::uint64_t ticks, TickRate rate,
                                                    std::uint64_t carry = 0) {
    const unsigned __int128 needed = static_cast<unsigned __int128>(ticks) * rate.denominator;
    if (needed <= carry) {
        return 0;
    }
    const unsigned __int128 milliseconds = (needed - carry + rate.numerator - 1) / rate.numerator;
    if (milliseconds > kNever) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(milliseconds);
}

}  // namespace tez
