// The monotonic clock as the devices' threads share it: times as plain nanosecond counts (an
// atomic word, a queue's stamp) and the wait for another thread to catch up.
#pragma once

#include <chrono>
#include <cstdint>
#include <thread>

namespace tez {

inline std::int64_t Nanoseconds(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count();
}

// Waits until `done()` holds, looking every millisecond: for a device's own thread to take
// what was queued for it. False when `patience` ran out first, or at once when `gone()` (the
// other thread will never come).
template <typename Done, typename Gone>
bool AwaitConsumer(Done done, Gone gone, std::chrono::milliseconds patience) {
    const auto asked = std::chrono::steady_clock::now();
    while (!done()) {
        if (gone() || std::chrono::steady_clock::now() - asked > patience) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace tez
