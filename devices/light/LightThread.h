// The light thread of a device page: runs the page engine's passes, one per 15.625 ms tick, while
// the link is open and the background pause is clear. Start and Stop come from the owning page.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

#include "devices/light/LightEngine.h"

namespace nk7x::light {

// The time the light thread keeps its tick by, and its way of sleeping until a tick is due. The
// sleeps are on the thread's own condition variable, so a stop or a change of watch wakes them
// whatever the clock does. Tests drive a clock of their own, so that a count of passes is exact.
class LightThreadClock {
  public:
    using TimePoint = std::chrono::steady_clock::time_point;
    virtual ~LightThreadClock() = default;
    virtual TimePoint Now() const = 0;
    // Sleeps until `deadline` or a notification of `cond` (whose mutex `lock` holds); the caller
    // checks again after every return.
    virtual void SleepUntil(std::condition_variable& cond, std::unique_lock<std::mutex>& lock,
                            TimePoint deadline) = 0;
    // Sleeps until a notification of `cond`; the caller checks again after every return.
    virtual void Sleep(std::condition_variable& cond, std::unique_lock<std::mutex>& lock) = 0;
};

// The real clock, shared by every light thread that is given no other.
class SteadyLightThreadClock final : public LightThreadClock {
  public:
    static SteadyLightThreadClock& Shared();
    TimePoint Now() const override { return std::chrono::steady_clock::now(); }
    void SleepUntil(std::condition_variable& cond, std::unique_lock<std::mutex>& lock,
                    TimePoint deadline) override {
        cond.wait_until(lock, deadline);
    }
    void Sleep(std::condition_variable& cond, std::unique_lock<std::mutex>& lock) override {
        cond.wait(lock);
    }
};

class LightThread {
  public:
    // `linkOpen` and `backgroundPause` are the page link's flags (null: open, never paused); both
    // must outlive the thread, as must the engine and the clock.
    LightThread(LightEngine& engine, const std::atomic<uint32_t>* linkOpen,
                const std::atomic<uint32_t>* backgroundPause,
                LightThreadClock& clock = SteadyLightThreadClock::Shared());
    // The same over the page link's own accessors (an empty function: open, never paused); both are
    // called on the light thread once per pass and must be safe there.
    LightThread(LightEngine& engine, std::function<bool()> linkOpen, std::function<bool()> backgroundPause,
                LightThreadClock& clock = SteadyLightThreadClock::Shared());
    ~LightThread();
    LightThread(const LightThread&) = delete;
    LightThread& operator=(const LightThread&) = delete;

    // Starts the thread; false when it is already running.
    bool Start();
    // Asks the thread to end and joins it; returns 1 when it ended within 1000 ms, 0 when it was
    // late (it is joined all the same), -1 when it was not running.
    int Stop();
    bool Running() const { return m_thread.joinable(); }
    // Whether anything shows what the passes draw (at first: yes). While nothing does, the thread
    // sleeps until it is watched again or stopped: a preview nobody sees costs nothing.
    void SetWatched(bool watched);
    bool Watched() const;
    // Passes run since the start (for the idle and tick checks).
    uint64_t Passes() const { return m_passes.load(); }

    // Called on the light thread once per frame period with the time the frame was due.
    using FrameSink = std::function<void(LightThreadClock::TimePoint due)>;
    // While a sink is set the thread wakes once per `period` only: it runs the passes due by then
    // in one burst (the effect keeps its pace) and hands the frame to the sink. A stream that only
    // the device sees then costs one wake per frame instead of a pass every tick and two threads
    // more per frame. An empty sink returns to a pass every tick.
    void SetFrameSink(FrameSink sink, std::chrono::milliseconds period);
    bool HasFrameSink() const;

  private:
    void Run();
    // Waits until `deadline` or a stop request; true on a stop request.
    bool WaitUntil(LightThreadClock::TimePoint deadline);
    // Waits until the thread is watched or asked to stop; true on a stop request.
    bool WaitWatched();
    // One period of the sink mode; true on a stop request.
    bool RunFrame(LightThreadClock::TimePoint& nextPass, LightThreadClock::TimePoint& nextFrame);

    LightEngine& m_engine;
    LightThreadClock& m_clock;
    std::function<bool()> m_linkOpen;
    std::function<bool()> m_pause;
    std::thread m_thread;
    mutable std::mutex m_mutex;
    std::condition_variable m_cond;
    bool m_stop = false;
    bool m_ended = false;
    bool m_watched = true;
    FrameSink m_sink;
    std::chrono::milliseconds m_framePeriod{50};
    bool m_sinkChanged = false;
    std::atomic<uint64_t> m_passes{0};
};

} // namespace nk7x::light
