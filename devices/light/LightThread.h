// The light thread of a device page: runs the page engine's passes, one per 15.625 ms tick, while
// the link is open and the background pause is clear. Start and Stop come from the owning page.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

#include "devices/light/LightEngine.h"

namespace nk7x::light {

class LightThread {
  public:
    // `linkOpen` and `backgroundPause` are the page link's flags (null: open, never paused); both
    // must outlive the thread, as must the engine.
    LightThread(LightEngine& engine, const std::atomic<uint32_t>* linkOpen,
                const std::atomic<uint32_t>* backgroundPause);
    // The same over the page link's own accessors (an empty function: open, never paused); both are
    // called on the light thread once per pass and must be safe there.
    LightThread(LightEngine& engine, std::function<bool()> linkOpen, std::function<bool()> backgroundPause);
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

  private:
    void Run();
    // Waits until `deadline` or a stop request; true on a stop request.
    bool WaitUntil(std::chrono::steady_clock::time_point deadline);
    // Waits until the thread is watched or asked to stop; true on a stop request.
    bool WaitWatched();

    LightEngine& m_engine;
    std::function<bool()> m_linkOpen;
    std::function<bool()> m_pause;
    std::thread m_thread;
    mutable std::mutex m_mutex;
    std::condition_variable m_cond;
    bool m_stop = false;
    bool m_ended = false;
    bool m_watched = true;
    std::atomic<uint64_t> m_passes{0};
};

} // namespace nk7x::light
