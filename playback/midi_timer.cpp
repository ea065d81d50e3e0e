#include "playback/midi_timer.h"

namespace tez {

CMidiTimer::~CMidiTimer() {
    StopTimer();
}

std::uint32_t CMidiTimer::StartTimer(std::uint32_t delayMs, TimerCallback callback,
                                     std::uintptr_t user) {
    StopTimer();
    if (delayMs < m_caps.wPeriodMin || delayMs > m_caps.wPeriodMax) {
        return 0;
    }
    const std::uint32_t id = ++m_lastTimerId == 0 ? ++m_lastTimerId : m_lastTimerId;
    m_callback = callback != nullptr ? callback : &CMidiTimer::TimerProc;
    m_user = callback != nullptr ? user : reinterpret_cast<std::uintptr_t>(this);
    m_timerId = id;
    m_delivered = 0;
    m_firstCallbackAt = {};
    m_onDevice = m_deviceClock != nullptr && delayMs == 1;
    if (m_onDevice) {
        m_runningClock = m_deviceClock;
        m_runningClock->StartTicks(&CMidiTimer::Deliver, this);
        return m_timerId;
    }
    // Only this object's own ticks can say when they will be idle.
    const PeriodicTimer::IdleHint hint = callback != nullptr ? nullptr : &CMidiTimer::IdleHint;
    if (!m_timer.Start(std::chrono::milliseconds(delayMs), &CMidiTimer::Deliver, this, hint)) {
        m_timerId = 0;
    }
    return m_timerId;
}

int CMidiTimer::StopTimer() {
    if (m_runningClock != nullptr) {
        m_runningClock->StopTicks();
        m_runningClock = nullptr;
    }
    m_timer.Stop();
    m_timerId = 0;
    return 1;
}

TimingSummary CMidiTimer::LastRunTiming() const {
    TimingSummary summary = m_onDevice ? TimingSummary{} : m_timer.Summary();
    summary.callbacks = m_delivered;
    return summary;
}

void CMidiTimer::TimerProc(std::uint32_t, std::uint32_t, std::uintptr_t user, std::uintptr_t,
                           std::uintptr_t) {
    reinterpret_cast<CMidiTimer*>(user)->OnTimerTick();
}

void CMidiTimer::Deliver(void* self) {
    auto* timer = static_cast<CMidiTimer*>(self);
    if (timer->m_delivered++ == 0) {
        timer->m_firstCallbackAt = std::chrono::steady_clock::now();
    }
    // m_timerId is not read here: the owner clears it while the thread may still run.
    timer->m_callback(timer->m_lastTimerId, 0, timer->m_user, 0, 0);
}

std::uint64_t CMidiTimer::IdleHint(void* self) {
    return static_cast<const CMidiTimer*>(self)->IdleTicks();
}

}  // namespace tez
