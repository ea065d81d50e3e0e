#include "platform/scheduled_synth.h"

#include <fluidsynth.h>

#include <algorithm>
#include <thread>

#include "platform/monotonic_time.h"

namespace tez {
namespace {

// Room for far more than a burst of thousands of messages in one millisecond.
constexpr std::size_t kQueueBytes = 1 << 20;
constexpr int kMaxOutputs = 16;

}  // namespace

ScheduledSynth::ScheduledSynth(FluidSynthEngine& engine, int sampleRate)
    : engine_(engine), sampleRate_(sampleRate), queue_(kQueueBytes) {}

bool ScheduledSynth::Send(std::span<const std::uint8_t> message) {
    // Empty is the queue's reset request; a message without bytes is no message.
    return !message.empty() && queue_.Push(0, message);
}

bool ScheduledSynth::Reset(std::chrono::milliseconds patience) {
    if (!queue_.Push(0, {})) {
        return false;
    }
    const std::uint64_t wanted = queue_.Pushed();
    return AwaitConsumer([&] { return queue_.Popped() >= wanted; }, [] { return false; }, patience);
}

void ScheduledSynth::StartTicks(Callback callback, void* user) {
    StopTicks();
    callback_ = callback;
    user_.store(user);
}

void ScheduledSynth::StopTicks() {
    // With inCallback_ set before user_ is read (both sequentially consistent), either the
    // audio thread sees no user any more, or this sees it inside the callback and waits.
    user_.store(nullptr);
    while (inCallback_.load()) {
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
}

void ScheduledSynth::BeginStep() {
    inCallback_.store(true);
    if (void* user = user_.load()) {
        callback_(user);
    }
    inCallback_.store(false);
    ApplyQueued();
    // Steps of a millisecond, counted from the stream's start so that rounding never adds up.
    ++steps_;
    stepLeft_ = static_cast<int>(steps_ * sampleRate_ / 1000 - (steps_ - 1) * sampleRate_ / 1000);
}

void ScheduledSynth::ApplyQueued() {
    while (const auto message = queue_.Front()) {
        if (message->bytes.empty()) {
            engine_.Reset();
        } else {
            engine_.Send(message->bytes);
        }
        queue_.Pop();
    }
}

void ScheduledSynth::RenderFrames(int offset, int length, int nfx, float* fx[], int nout,
                                  float* out[]) {
    float* blockOut[kMaxOutputs];
    float* blockFx[kMaxOutputs];
    for (int i = 0; i < nout; ++i) {
        blockOut[i] = out[i] + offset;
    }
    for (int i = 0; i < nfx; ++i) {
        blockFx[i] = fx[i] + offset;
    }
    if (nfx == 0 && nout >= 2) {
        // No effect buffers from the driver: reverb and chorus go into the dry output.
        float* mixed[4] = {blockOut[0], blockOut[1], blockOut[0], blockOut[1]};
        fluid_synth_process(engine_.Synth(), length, 4, mixed, nout, blockOut);
    } else {
        fluid_synth_process(engine_.Synth(), length, nfx, blockFx, nout, blockOut);
    }
}

void ScheduledSynth::Render(int frames, int nfx, float* fx[], int nout, float* out[]) {
    nout = std::min(nout, kMaxOutputs);
    nfx = std::min(nfx, kMaxOutputs);
    for (int done = 0; done < frames;) {
        if (stepLeft_ == 0) {
            BeginStep();
        }
        const int length = std::min(stepLeft_, frames - done);
        RenderFrames(done, length, nfx, fx, nout, out);
        done += length;
        stepLeft_ -= length;
        rendered_ += length;
    }
    progress_.store(rendered_, std::memory_order_relaxed);
}

bool ScheduledSynthOutput::Lost() const {
    constexpr auto kLongPause = std::chrono::milliseconds(500);
    constexpr auto kSilentFor = std::chrono::seconds(3);
    if (lost_) {
        return true;  // a driver whose server went away does not come back
    }
    const auto now = std::chrono::steady_clock::now();
    const std::int64_t progress = synth_.Progress();
    if (progress != lastProgress_ || now - lastAsked_ > kLongPause) {
        lastProgress_ = progress;
        lastMoved_ = now;
    }
    lastAsked_ = now;
    lost_ = now - lastMoved_ > kSilentFor;
    return lost_;
}

}  // namespace tez
