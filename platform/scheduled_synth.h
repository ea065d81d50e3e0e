// The built-in synthesizer in real time: messages stamped with the time they were due come
// from the timer thread through a wait-free queue, and the audio callback applies each at
// the synthesizer block (64 frames) its due time falls in, one constant latency later.
// Due times are counted in the stream's own samples from the first message on, so the
// music keeps the sound's clock exactly; the timer is asked to keep the same pace, so that
// messages go on arriving one latency ahead however the two clocks differ.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <span>

#include "platform/audio_clock.h"
#include "platform/fluid_synth_engine.h"
#include "platform/midi_devices.h"
#include "platform/stamped_message_queue.h"

namespace tez {

class ScheduledSynth {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr int kBlockFrames = 64;  // FluidSynth renders and takes events per block

    // `periodFrames`: the audio callback's usual length; the latency is one such period and
    // a margin for the callbacks' wake-up jitter.
    ScheduledSynth(FluidSynthEngine& engine, double sampleRate, int periodFrames);

    // Timer thread: queues a message due at `due`; none (the clock's epoch): at once. False
    // when the queue is full.
    bool Send(Clock::time_point due, std::span<const std::uint8_t> message);
    // How long a millisecond of due time lasts on the monotonic clock for the stream's
    // samples to keep pace with it. Any thread.
    double Pace() const { return pace_.load(std::memory_order_relaxed); }
    // Owner's thread, with no Send running: every voice off and every channel reset after
    // whatever was queued before, so nothing stays queued. Waits (at most `patience`) until
    // the audio has done it; false when it did not in that time.
    bool Reset(std::chrono::milliseconds patience = std::chrono::milliseconds(1000));

    // Audio thread: renders `frames` frames into `out` (nout buffers, added to), started at
    // `now`. fx buffers as FluidSynth's audio drivers hand them; none: effects into `out`.
    void Render(Clock::time_point now, int frames, int nfx, float* fx[], int nout, float* out[]);

    Clock::duration Latency() const { return latency_; }
    // Messages the audio side has applied so far (reset requests included).
    std::uint64_t Applied() const { return queue_.Popped(); }

  private:
    void ApplyDueBefore(double blockEnd);
    // The sample position a message due at `due` (nanoseconds) sounds at.
    double PositionOf(std::int64_t due);
    void UpdatePace(int frames);
    std::int64_t LatencyNanoseconds() const;

    FluidSynthEngine& engine_;
    double sampleRate_;
    int periodFrames_;
    Clock::duration latency_;
    StampedMessageQueue queue_;
    AudioClock clock_;
    std::int64_t rendered_ = 0;  // frames rendered since the start
    // How long after its due time the latest message was sent (timer thread to audio thread).
    std::atomic<std::int64_t> sendLag_{0};
    std::atomic<double> pace_{1.0};
    // The audio thread's own: where counting in samples started, and how far the counted
    // positions run ahead of the ones the monotonic clock gives (frames, predicted between
    // messages as the pace corrects it).
    bool counting_ = false;
    std::int64_t countedFromDue_ = 0;
    double countedFromPosition_ = 0;
    double aheadFrames_ = 0;
};

// An open output on the scheduled synthesizer.
class ScheduledSynthOutput final : public MidiOutput {
  public:
    explicit ScheduledSynthOutput(ScheduledSynth& synth) : synth_(synth) {}

    bool Send(std::span<const std::uint8_t> message) override { return synth_.Send(due_, message); }
    void SetDueTime(std::chrono::steady_clock::time_point due) override { due_ = due; }
    double ClockPace() const override { return synth_.Pace(); }
    void Reset() override { synth_.Reset(); }

  private:
    ScheduledSynth& synth_;
    std::chrono::steady_clock::time_point due_{};  // none given: at once
};

}  // namespace tez
