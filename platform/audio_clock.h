// Where the audio stream stands in time: a delay-locked loop over the times at which the
// audio callbacks start and the frames they render, as JACK keeps its own, so that a time
// maps to a sample position without the callbacks' wake-up jitter.
#pragma once

#include <cstdint>

namespace tez {

class AudioClock {
  public:
    explicit AudioClock(double sampleRate) : sampleRate_(sampleRate) {}

    // A callback started at `seconds` (monotonic) to render `frames` frames from `position`.
    void Update(double seconds, std::int64_t position, int frames);
    // The sample position that sounds in step with `seconds`; fractional.
    double PositionAt(double seconds) const;
    // The stream's rate as the monotonic clock sees it: frames per second.
    double FramesPerSecond() const { return frames_ / period_; }
    bool Started() const { return started_; }
    // The sound is not where the loop has it (a message came later than it could have):
    // the next callback starts it over.
    void Resync() { resync_ = true; }

  private:
    void Restart(double seconds, std::int64_t position, int frames);

    double sampleRate_;
    bool started_ = false;
    bool resync_ = false;
    double startedAt_ = 0;
    int callbacks_ = 0;       // since the last start
    double periodStart_ = 0;  // the filtered time of this period's first frame
    double nextStart_ = 0;    // the same, predicted for the next period
    double period_ = 0;       // the filtered length of a period in seconds
    std::int64_t position_ = 0;
    int frames_ = 0;
};

}  // namespace tez
