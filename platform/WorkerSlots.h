// The shell's twenty worker slots: each holds a thread and its manual-reset stop event. Stopping
// sets every event and joins every thread in slot order; a thread is never killed.
#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

namespace nk7x {

// A manual-reset event: once set it stays set, and every waiter wakes at once.
class StopEvent {
  public:
    void Set();
    void Reset();
    bool IsSet() const;
    // Waits up to the time given; true when the event is set. Returns false early after a Poke.
    bool WaitFor(std::chrono::milliseconds timeout) const;
    // Wakes the current waiters without setting the event: "look again, something changed".
    void Poke();

  private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_cond;
    bool m_set = false;
    uint64_t m_pokes = 0;
};

class WorkerSlots {
  public:
    static constexpr int kSlotCount = 20;

    // Outcome of StopAll: which slots had to be waited for past the patience given.
    struct StopResult {
        int joined = 0; // threads that were running and have been joined
        int late = 0;   // of these, how many outlived the patience
    };

    WorkerSlots() = default;
    ~WorkerSlots();
    WorkerSlots(const WorkerSlots&) = delete;
    WorkerSlots& operator=(const WorkerSlots&) = delete;

    // Starts body on a new thread in the slot; false when the slot is out of range or still busy.
    // The body must return soon after its stop event is set.
    bool Start(int slot, std::function<void(const StopEvent& stop)> body);

    bool IsRunning(int slot) const;

    // Wakes the slot's body from a wait on its stop event without stopping it.
    void Wake(int slot);

    // Sets every stop event, waits for each running thread in slot order, at most `patience` in
    // total before reporting it late, then joins every thread whatever it takes. The outcome line
    // goes to the debug output.
    StopResult StopAll(std::chrono::milliseconds patience);

  private:
    struct Slot {
        StopEvent stop;
        std::thread thread;
        mutable std::mutex mutex;
        std::condition_variable cond;
        bool done = true;
    };
    std::array<Slot, kSlotCount> m_slots;
};

} // namespace nk7x
