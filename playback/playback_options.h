// How one playback runs beside the file's own content: which part, how often, how fast,
// in which key and with which channels.
#pragma once

#include <atomic>
#include <cstdint>
#include <limits>
#include <optional>

namespace tez {

inline constexpr std::uint64_t kEndOfFile = std::numeric_limits<std::uint64_t>::max();

struct PlaybackOptions {
    std::uint64_t fromTick = 0;         // where the music starts; the state in force is sent first
    std::uint64_t toTick = kEndOfFile;  // exclusive end; kEndOfFile: the file's own end
    std::int32_t loops = 0;             // passes after the first; -1 repeats until stopped
    double tempoFactor = 1.0;           // 0.25..4.0; the file's tempo changes still apply, scaled
    std::int32_t transpose = 0;         // -24..+24 semitones; channel 9 (drums) untouched
    std::uint16_t mutedChannels = 0;    // bit n mutes channel n
    std::uint16_t soloChannels = 0;     // non-zero: only these channels sound
    // Where the first pass starts, when not at fromTick: a playback that takes over from
    // another goes on where that one stood, and later passes start at fromTick again.
    std::optional<std::uint64_t> resumeTick;
    // Set: the start was given in time, at the file's own speed, and the clock starts at
    // exactly that time: fromTick is then the first tick a whole playback sends at or after it.
    std::optional<std::uint64_t> fromMilliseconds;

    bool IsWholeFile() const;  // everything, as written
};

// Where a playback stands, written by the timer thread and read by any other.
struct PlaybackPosition {
    std::atomic<std::uint64_t> tick{0};
    // The score line of the most recent note-on sent; -1 when none (or not from a score).
    std::atomic<std::int32_t> line{-1};
    // The first tick not sent, written once a playback has stopped: where a pause goes on.
    std::atomic<std::uint64_t> resume{0};
    // Messages the device could not take in the last playback, written once it has ended.
    std::atomic<std::uint64_t> dropped{0};
};

}  // namespace tez
