// Shared helpers of the light engine tests: light settings, a keyboard engine on a manual clock, and
// a light-thread clock the test moves.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <set>

#include "devices/light/KeyboardLightEngine.h"
#include "devices/light/LightClock.h"
#include "devices/light/LightThread.h"
#include "support/Wait.h"

namespace nk7x::light::test {

inline LightState Settings(uint8_t mode, uint8_t brightness = 4, uint8_t speed = 0, bool forwards = true,
                           bool multi = false, Rgb colour = {255, 255, 255}) {
    LightState s;
    s.mode = mode;
    s.brightness = brightness;
    s.speed = speed;
    s.direction = forwards ? 1 : 0;
    s.multiColor = multi ? 1 : 0;
    s.red = colour.r;
    s.green = colour.g;
    s.blue = colour.b;
    return s;
}

// Keys whose intensity equals `value`.
inline std::set<int> KeysAt(const KeyboardLightEngine& e, uint8_t value) {
    std::set<int> out;
    for (int k = 0; k < 126; ++k)
        if (e.Intensity(static_cast<std::size_t>(k)) == value)
            out.insert(k);
    return out;
}

// A light-thread clock that moves only when the test moves it. After each move the test waits for the
// thread to catch up: asleep, owing no pass at the present time, and having looked at the clock since
// the move. A count of passes is then exact however slow the machine is. One thread at a time runs
// on it, and the moves and that thread's destruction come from the test's own thread.
class TestThreadClock final : public LightThreadClock {
  public:
    TimePoint Now() const override { return TimePoint(TimePoint::duration(m_now.load())); }
    void SleepUntil(std::condition_variable& cond, std::unique_lock<std::mutex>& lock,
                    TimePoint deadline) override {
        Park(cond, lock, deadline);
    }
    void Sleep(std::condition_variable& cond, std::unique_lock<std::mutex>& lock) override {
        Park(cond, lock, TimePoint::max());
    }

    // Moves the time on by `step` and waits until the thread has caught up; false when it has not
    // within the patience of a test.
    bool Advance(std::chrono::nanoseconds step) {
        Move(step);
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, nk7x::test::kWaitPatience, [this] {
            return m_sleeperCond != nullptr && m_parkedAt == m_moves && Now() < m_deadline;
        });
    }
    // Has the thread look again without moving the time (after a change of its flags).
    bool Settle() { return Advance(std::chrono::nanoseconds(0)); }
    // `n` light ticks, one at a time, the thread catching up after each.
    bool Ticks(int n) {
        for (int i = 0; i < n; ++i)
            if (!Advance(kLightTick))
                return false;
        return true;
    }
    // Moves the time an hour on without waiting: frees a thread that a stop request failed to wake,
    // so that the failure shows instead of a hang.
    void Release() { Move(std::chrono::hours(1)); }

  private:
    void Move(std::chrono::nanoseconds step) {
        std::mutex* sleeperMutex = nullptr;
        std::condition_variable* sleeperCond = nullptr;
        {
            std::lock_guard lock(m_mutex);
            m_now += std::chrono::duration_cast<TimePoint::duration>(step).count();
            ++m_moves;
            sleeperMutex = m_sleeperMutex;
            sleeperCond = m_sleeperCond;
        }
        if (sleeperCond) {
            // Under the sleeper's own lock: it is either still deciding (and will read the new time)
            // or already waiting (and gets the notification).
            std::lock_guard lock(*sleeperMutex);
            sleeperCond->notify_all();
        }
    }
    void Park(std::condition_variable& cond, std::unique_lock<std::mutex>& lock, TimePoint deadline) {
        {
            std::lock_guard state(m_mutex);
            if (Now() >= deadline) // moved on since the caller looked
                return;
            m_sleeperMutex = lock.mutex();
            m_sleeperCond = &cond;
            m_parkedAt = m_moves;
            m_deadline = deadline;
        }
        m_changed.notify_all();
        cond.wait(lock);
        std::lock_guard state(m_mutex);
        m_sleeperMutex = nullptr;
        m_sleeperCond = nullptr;
    }

    std::atomic<TimePoint::rep> m_now{0};
    std::mutex m_mutex; // after the sleeper's mutex when both are held
    std::condition_variable m_changed;
    std::mutex* m_sleeperMutex = nullptr; // set while the thread sleeps
    std::condition_variable* m_sleeperCond = nullptr;
    uint64_t m_moves = 0;
    uint64_t m_parkedAt = 0;
    TimePoint m_deadline{};
};

} // namespace nk7x::light::test
