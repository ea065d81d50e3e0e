#include "platform/scheduled_synth.h"

#include <fluidsynth.h>

#include <algorithm>
#include <cmath>
#include <thread>

namespace tez {
namespace {

// Room for far more than a burst of thousands of messages in one millisecond.
constexpr std::size_t kQueueBytes = 1 << 20;
// Beyond one period: how much earlier than its smoothed time an audio callback may start
// and still find every message due in its period queued.
constexpr auto kJitterMargin = std::chrono::microseconds(4000);
constexpr int kMaxOutputs = 16;
// Counted positions further than this from where the monotonic clock puts them (a stall of
// the timer or of the stream, or the timer started anew): counting starts over.
constexpr double kRecountSeconds = 0.010;
// How quickly the pace takes up a difference between the counted positions and the
// monotonic clock's, and the most it changes the pace by for it and for the clocks' rates.
constexpr double kPaceSeconds = 2.0;
constexpr double kMaxPaceCorrection = 0.002;
constexpr double kMaxRateDifference = 0.005;

double Seconds(std::int64_t nanoseconds) {
    return static_cast<double>(nanoseconds) * 1e-9;
}

std::int64_t Nanoseconds(ScheduledSynth::Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count();
}

}  // namespace

ScheduledSynth::ScheduledSynth(FluidSynthEngine& engine, double sampleRate, int periodFrames)
    : engine_(engine),
      sampleRate_(sampleRate),
      periodFrames_(periodFrames),
      latency_(std::chrono::duration_cast<Clock::duration>(
                   std::chrono::duration<double>(periodFrames / sampleRate)) +
               kJitterMargin),
      queue_(kQueueBytes),
      clock_(sampleRate) {}

bool ScheduledSynth::Send(Clock::time_point due, std::span<const std::uint8_t> message) {
    // Empty is the queue's reset request; a message without bytes is no message.
    if (message.empty()) {
        return false;
    }
    const std::int64_t dueNanoseconds = Nanoseconds(due);
    if (dueNanoseconds != 0) {
        sendLag_.store(Nanoseconds(Clock::now()) - dueNanoseconds, std::memory_order_relaxed);
    }
    return queue_.Push(dueNanoseconds, message);
}

bool ScheduledSynth::Reset(std::chrono::milliseconds patience) {
    const auto asked = Clock::now();
    if (!queue_.Push(Nanoseconds(asked), {})) {
        return false;
    }
    const std::uint64_t wanted = queue_.Pushed();
    while (queue_.Popped() < wanted) {
        if (Clock::now() - asked > patience) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

std::int64_t ScheduledSynth::LatencyNanoseconds() const {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(latency_).count();
}

double ScheduledSynth::PositionOf(std::int64_t due) {
    const std::int64_t latency = LatencyNanoseconds();
    // One latency after the message was sent, as the monotonic clock maps it.
    const double byClock =
        clock_.PositionAt(Seconds(due + sendLag_.load(std::memory_order_relaxed) + latency));
    double counted = countedFromPosition_ + Seconds(due - countedFromDue_) * sampleRate_;
    if (!counting_ || std::abs(counted - byClock) > kRecountSeconds * sampleRate_) {
        counting_ = true;
        countedFromDue_ = due;
        countedFromPosition_ = byClock;
        counted = byClock;
    }
    aheadFrames_ = counted - byClock;
    return counted;
}

void ScheduledSynth::ApplyDueBefore(double blockEnd) {
    const std::int64_t latency = LatencyNanoseconds();
    while (const auto message = queue_.Front()) {
        if (message->bytes.empty()) {
            // A reset is due when it was asked for, by the monotonic clock.
            if (clock_.PositionAt(Seconds(message->due + latency)) >= blockEnd) {
                return;
            }
            engine_.Reset();
            counting_ = false;
            queue_.Pop();
            continue;
        }
        if (message->due != 0) {
            // A message too late for its block is applied in this one: late, never lost.
            const double position = PositionOf(message->due);
            if (position >= blockEnd) {
                return;
            }
            if (position < blockEnd - periodFrames_ - kBlockFrames) {
                clock_.Resync();  // more than a period late: the clock has lost the sound
                counting_ = false;
            }
        }
        engine_.Send(message->bytes);
        queue_.Pop();
    }
}

void ScheduledSynth::UpdatePace(int frames) {
    if (!clock_.Started()) {
        return;
    }
    const double rate = std::clamp(sampleRate_ / clock_.FramesPerSecond(), 1 - kMaxRateDifference,
                                   1 + kMaxRateDifference);
    // Messages arriving earlier than one latency ahead of their sound: a slower timer.
    const double correction = std::clamp(aheadFrames_ / sampleRate_ / kPaceSeconds,
                                         -kMaxPaceCorrection, kMaxPaceCorrection);
    pace_.store(rate * (1 + correction), std::memory_order_relaxed);
    // Until the next message measures it again: what this pace takes up meanwhile.
    aheadFrames_ -= aheadFrames_ * frames / (sampleRate_ * kPaceSeconds);
}

void ScheduledSynth::Render(Clock::time_point now, int frames, int nfx, float* fx[], int nout,
                            float* out[]) {
    clock_.Update(Seconds(Nanoseconds(now)), rendered_, frames);
    nout = std::min(nout, kMaxOutputs);
    nfx = std::min(nfx, kMaxOutputs);
    float* blockOut[kMaxOutputs];
    float* blockFx[kMaxOutputs];
    for (int start = 0; start < frames; start += kBlockFrames) {
        const int length = std::min(kBlockFrames, frames - start);
        ApplyDueBefore(static_cast<double>(rendered_ + start + length));
        for (int i = 0; i < nout; ++i) {
            blockOut[i] = out[i] + start;
        }
        for (int i = 0; i < nfx; ++i) {
            blockFx[i] = fx[i] + start;
        }
        if (nfx == 0 && nout >= 2) {
            // No effect buffers from the driver: reverb and chorus go into the dry output.
            float* mixed[4] = {blockOut[0], blockOut[1], blockOut[0], blockOut[1]};
            fluid_synth_process(engine_.Synth(), length, 4, mixed, nout, blockOut);
        } else {
            fluid_synth_process(engine_.Synth(), length, nfx, blockFx, nout, blockOut);
        }
    }
    rendered_ += frames;
    UpdatePace(frames);
}

}  // namespace tez
