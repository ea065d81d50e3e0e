#include "platform/scheduled_synth.h"

#include <fluidsynth.h>

#include <algorithm>
#include <thread>

namespace tez {
namespace {

// Room for far more than a burst of thousands of messages in one millisecond.
constexpr std::size_t kQueueBytes = 1 << 20;
// Beyond one period: how much earlier than its smoothed time an audio callback may start
// and still find every message due in its period queued.
constexpr auto kJitterMargin = std::chrono::microseconds(4000);
constexpr int kMaxOutputs = 16;

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
    return !message.empty() && queue_.Push(Nanoseconds(due), message);
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

void ScheduledSynth::ApplyDueBefore(double blockEnd) {
    const std::int64_t latency =
        std::chrono::duration_cast<std::chrono::nanoseconds>(latency_).count();
    while (const auto message = queue_.Front()) {
        // A message too late for its block is applied in this one: late, never lost.
        const double position = clock_.PositionAt(Seconds(message->due + latency));
        if (position >= blockEnd) {
            return;
        }
        if (position < blockEnd - periodFrames_ - kBlockFrames && !message->bytes.empty()) {
            clock_.Resync();  // more than a period late: the clock has lost the sound
        }
        if (message->bytes.empty()) {
            engine_.Reset();
        } else {
            engine_.Send(message->bytes);
        }
        queue_.Pop();
    }
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
}

}  // namespace tez
