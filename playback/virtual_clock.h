// Runs a player's timer callbacks one after another without waiting in real time, for
// dumping, rendering and testing a playback.
#pragma once

#include <cstdint>
#include <optional>

#include "playback/smf_player.h"

namespace tez {

class VirtualClock {
  public:
    explicit VirtualClock(CSmfPlayer& player) : player_(player) {}

    // What Play does before the timer starts: rewinds and opens the player's device.
    // Answers whether the device is open.
    int Start();
    // After the player's Hold: what PlayOn does before the timer starts. The callbacks count on.
    void Continue() { player_.CueOn(); }
    // The number of the callback that runs now, or runs next between callbacks; 0 is the
    // first one after Start.
    std::uint64_t Callback() const { return callback_; }
    // Runs one callback.
    void Tick();
    // Passes over the callbacks in which nothing falls due and runs the next one in which
    // something does. False, and nothing run, when no track is active any more or the clock
    // can never reach the next event.
    bool TickNextBusy();
    // Runs until every track has ended. Answers the callback in which the last one ended
    // (0 when none had anything to play), or nothing when the clock can never get there.
    std::optional<std::uint64_t> RunToEnd();

  private:
    CSmfPlayer& player_;
    std::uint64_t callback_ = 0;
    std::uint64_t lastBusy_ = 0;
};

}  // namespace tez
