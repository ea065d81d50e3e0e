// A base class that turns a periodic millisecond timer into calls of OnTimerTick: the timer
// thread's, or the clock of a device that counts time by itself (the synthesizer's audio).
#pragma once

#include <cstdint>

#include "platform/midi_devices.h"
#include "platform/periodic_timer.h"

namespace tez {

// The timer's resolution in milliseconds: the finest period it offers and the coarsest.
struct TimerCaps {
    std::uint32_t wPeriodMin = 1;
    std::uint32_t wPeriodMax = 1'000'000;
};

class CMidiTimer {
  public:
    // The form of a timer callback: event id, message, user value and two reserved values.
    using TimerCallback = void (*)(std::uint32_t id, std::uint32_t message, std::uintptr_t user,
                                   std::uintptr_t reserved1, std::uintptr_t reserved2);

    CMidiTimer() = default;
    // Stops the timer. A derived class must stop it in its own destructor already, since its
    // OnTimerTick is gone by the time this runs.
    ~CMidiTimer();
    CMidiTimer(const CMidiTimer&) = delete;
    CMidiTimer& operator=(const CMidiTimer&) = delete;

    // Starts a periodic event every `delayMs` milliseconds, stopping any running one first.
    // Without a callback each period calls OnTimerTick on this object; with one it calls
    // `callback` with `user`. Answers the event's id, 0 when the timer cannot start. Every
    // millisecond comes from the device clock given to UseDeviceClock, if any; other periods
    // from the timer thread.
    std::uint32_t StartTimer(std::uint32_t delayMs, TimerCallback callback = nullptr,
                             std::uintptr_t user = 0);
    // Returns once no callback runs or will start. Answers 1.
    int StopTimer();
    static void TimerProc(std::uint32_t id, std::uint32_t message, std::uintptr_t user,
                          std::uintptr_t reserved1, std::uintptr_t reserved2);
    virtual void OnTimerTick() {}
    // How many of the coming ticks will have nothing to do; the timer may then deliver them
    // together, saving its wake-ups. Called on the timer thread between ticks.
    virtual std::uint64_t IdleTicks() const { return 0; }

    // How the callbacks of the last run kept time; complete after StopTimer. A run on a
    // device's clock has only its count of callbacks.
    TimingSummary LastRunTiming() const;
    // Callbacks delivered so far in this run, the running one included. Read it on the
    // thread of the callbacks, or after StopTimer.
    std::uint64_t CallbacksDelivered() const { return m_delivered; }
    // When the first callback of the last run started; read after StopTimer.
    std::chrono::steady_clock::time_point FirstCallbackAt() const { return m_firstCallbackAt; }

  protected:
    // The clock of the open device, when it counts time by itself; nullptr: the timer thread.
    // Takes effect at the next StartTimer.
    void UseDeviceClock(DeviceClock* clock) { m_deviceClock = clock; }
    // When the running tick was due on the monotonic clock: its deadline, however late the
    // tick itself came; none (the epoch) on a device's clock, whose ticks are on time by
    // definition. Read it inside OnTimerTick.
    std::chrono::steady_clock::time_point TickDeadline() const {
        return m_onDevice ? std::chrono::steady_clock::time_point{} : m_timer.CurrentDeadline();
    }

    std::uint32_t m_timerId = 0;  // 0 when no event runs
    TimerCaps m_caps;

  private:
    static void Deliver(void* self);
    static std::uint64_t IdleHint(void* self);

    PeriodicTimer m_timer;
    DeviceClock* m_deviceClock = nullptr;
    DeviceClock* m_runningClock = nullptr;  // the device clock whose callbacks run now
    bool m_onDevice = false;                // the running or last run is on a device's clock
    std::uint64_t m_delivered = 0;          // the thread of the callbacks' own while they run
    std::chrono::steady_clock::time_point m_firstCallbackAt{};
    TimerCallback m_callback = nullptr;
    std::uintptr_t m_user = 0;
    std::uint32_t m_lastTimerId = 0;
};

}  // namespace tez
