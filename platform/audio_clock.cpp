#include "platform/audio_clock.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tez {
namespace {

// The loop's bandwidth: wide at first, so it locks on within the first few hundred ms, then
// narrowing to where wake-up jitter is filtered out while it still follows the small rate
// difference between the audio device's clock and the monotonic one.
constexpr double kStartBandwidthHz = 2.0;
constexpr double kBandwidthHz = 0.2;
// A callback later than a period means the stream itself was held up (its buffer ran dry):
// the sound is no longer where it was, and the loop starts over.
constexpr double kStallPeriods = 4.0;
// A callback earlier than this many periods, among the first few, belongs to the stream
// filling its buffer; later on, to one catching up after a late one.
constexpr double kEarlyPeriods = 0.5;
constexpr int kFillingCallbacks = 8;

}  // namespace

void AudioClock::Restart(double seconds, std::int64_t position, int frames) {
    started_ = true;
    resync_ = false;
    startedAt_ = seconds;
    callbacks_ = 0;
    period_ = frames / sampleRate_;
    periodStart_ = seconds;
    nextStart_ = seconds + period_;
    position_ = position;
    frames_ = frames;
}

void AudioClock::Update(double seconds, std::int64_t position, int frames) {
    const double nominal = frames / sampleRate_;
    const double error = seconds - nextStart_;
    if (!started_ || resync_ || frames != frames_ || position != position_ + frames_ ||
        error > kStallPeriods * nominal ||
        (callbacks_ < kFillingCallbacks && error < -kEarlyPeriods * nominal)) {
        Restart(seconds, position, frames);
        return;
    }
    const double bandwidth =
        std::max(kBandwidthHz, kStartBandwidthHz / (1 + 4 * (seconds - startedAt_)));
    // A callback never starts before the sound needs it, but often after, when its thread
    // wakes late: the loop follows the early ones and the late ones only a quarter as much,
    // and none by more than the jitter it expects.
    const double counted =
        std::clamp(error < 0 ? error : error / 4, -0.25 * nominal, 0.25 * nominal);
    const double omega = 2 * std::numbers::pi * bandwidth * period_;
    periodStart_ = nextStart_;
    nextStart_ += std::numbers::sqrt2 * omega * counted + period_;
    period_ += omega * omega * counted;
    position_ = position;
    ++callbacks_;
}

double AudioClock::PositionAt(double seconds) const {
    return static_cast<double>(position_) +
           (seconds - periodStart_) / (nextStart_ - periodStart_) * frames_;
}

}  // namespace tez
