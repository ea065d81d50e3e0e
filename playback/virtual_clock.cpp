#include "playback/virtual_clock.h"

#include <limits>

namespace tez {

int VirtualClock::Start() {
    callback_ = 0;
    lastBusy_ = 0;
    return player_.Cue();
}

void VirtualClock::Tick() {
    player_.OnTimerTick();
    ++callback_;
}

bool VirtualClock::TickNextBusy() {
    if (player_.IsAnyTrackActive() == 0) {
        return false;
    }
    const std::optional<std::uint64_t> idle = player_.CallbacksUntilDue();
    if (!idle || *idle >= std::numeric_limits<std::uint64_t>::max() - callback_) {
        return false;
    }
    player_.SkipCallbacks(*idle);
    callback_ += *idle;
    lastBusy_ = callback_;
    Tick();
    return true;
}

std::optional<std::uint64_t> VirtualClock::RunToEnd() {
    while (TickNextBusy()) {
    }
    if (player_.IsAnyTrackActive() != 0) {
        return std::nullopt;
    }
    return lastBusy_;
}

}  // namespace tez
