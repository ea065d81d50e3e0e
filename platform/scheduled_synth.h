// The built-in synthesizer in real time, its audio stream the playback's clock. The audio
// callback renders in steps of one millisecond of samples (48 frames at 48 kHz) and runs the
// player's millisecond callback at the start of each, as FluidSynth's own sequencer does with
// its sample timer: music time begins at the first step rendered after Play and is counted in
// the stream's frames, whatever size the audio callbacks have, however long the stream takes
// to start and whatever its clock's rate against the system's. A stall of the process holds
// the stream and the music together: nothing is made up in a burst afterwards.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <span>

#include "platform/fluid_synth_engine.h"
#include "platform/midi_devices.h"
#include "platform/stamped_message_queue.h"

namespace tez {

class ScheduledSynth final : public DeviceClock {
  public:
    ScheduledSynth(FluidSynthEngine& engine, int sampleRate);

    // Queues a message; it takes effect at the start of the next step (inside a callback:
    // the step that callback begins). From the thread of the callbacks while they run, else
    // from the owner's. False when the queue is full.
    bool Send(std::span<const std::uint8_t> message);
    // Owner's thread, no callbacks running: every voice off and every channel reset after
    // whatever was queued before. Waits (at most `patience`) until the audio has done it;
    // false when it did not in that time.
    bool Reset(std::chrono::milliseconds patience = std::chrono::milliseconds(1000));

    void StartTicks(Callback callback, void* user) override;
    void StopTicks() override;

    // Audio thread: renders `frames` frames into `out` (nout buffers, added to). fx buffers as
    // FluidSynth's audio drivers hand them; none: effects into `out`.
    void Render(int frames, int nfx, float* fx[], int nout, float* out[]);

    // Frames rendered since the stream started; inside a callback, the frame its messages
    // take effect at. The audio thread's own.
    std::int64_t Rendered() const { return rendered_; }
    // Messages the audio side has applied so far (reset requests included).
    std::uint64_t Applied() const { return queue_.Popped(); }
    // Frames rendered so far, for any thread: whether the stream still runs.
    std::int64_t Progress() const { return progress_.load(std::memory_order_relaxed); }

  private:
    void BeginStep();
    void ApplyQueued();
    void RenderFrames(int offset, int length, int nfx, float* fx[], int nout, float* out[]);

    FluidSynthEngine& engine_;
    std::int64_t sampleRate_;
    StampedMessageQueue queue_;
    Callback callback_ = nullptr;       // written only while no callbacks run
    std::atomic<void*> user_{nullptr};  // null: no callbacks
    std::atomic<bool> inCallback_{false};
    // The audio thread's own.
    std::int64_t rendered_ = 0;
    std::atomic<std::int64_t> progress_{0};  // rendered_, published once a callback
    std::int64_t steps_ = 0;
    int stepLeft_ = 0;  // frames of the current step still to render
};

// An open output on the scheduled synthesizer.
class ScheduledSynthOutput final : public MidiOutput {
  public:
    explicit ScheduledSynthOutput(ScheduledSynth& synth) : synth_(synth) {}

    // A message the queue cannot take now is dropped and counted.
    bool Send(std::span<const std::uint8_t> message) override {
        const bool sent = synth_.Send(message);
        if (!sent && !message.empty()) {
            dropped_.fetch_add(1, std::memory_order_relaxed);
        }
        return sent;
    }
    std::uint64_t Dropped() const override { return dropped_.load(std::memory_order_relaxed); }
    DeviceClock* OwnClock() override { return &synth_; }
    void Reset() override { synth_.Reset(); }
    // The stream has stopped (its sound server went away): no frame rendered for a few
    // seconds while the one asking kept asking. Asked from one thread, a few times a second;
    // a long pause between two questions (the whole process was stopped) starts the count
    // over, so a stopped and continued process is not taken for a lost stream.
    bool Lost() const override;

  private:
    ScheduledSynth& synth_;
    std::atomic<std::uint64_t> dropped_{0};
    mutable std::int64_t lastProgress_ = -1;
    mutable std::chrono::steady_clock::time_point lastAsked_{};
    mutable std::chrono::steady_clock::time_point lastMoved_{};
    mutable bool lost_ = false;
};

}  // namespace tez
