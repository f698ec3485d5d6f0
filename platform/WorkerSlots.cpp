#include "platform/WorkerSlots.h"

#include "platform/DebugLog.h"

namespace nk7x {

void StopEvent::Set() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_set = true;
    }
    m_cond.notify_all();
}

void StopEvent::Reset() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_set = false;
}

bool StopEvent::IsSet() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_set;
}

bool StopEvent::WaitFor(std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(m_mutex);
    const uint64_t pokes = m_pokes;
    m_cond.wait_for(lock, timeout, [this, pokes] { return m_set || m_pokes != pokes; });
    return m_set;
}

void StopEvent::Poke() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_pokes;
    }
    m_cond.notify_all();
}

void WorkerSlots::Wake(int slot) {
    if (slot >= 0 && slot < kSlotCount)
        m_slots[static_cast<size_t>(slot)].stop.Poke();
}

WorkerSlots::~WorkerSlots() {
    StopAll(std::chrono::milliseconds(1000));
}

bool WorkerSlots::Start(int slot, std::function<void(const StopEvent& stop)> body) {
    if (slot < 0 || slot >= kSlotCount || !body)
        return false;
    Slot& s = m_slots[static_cast<size_t>(slot)];
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (!s.done)
            return false;
    }
    if (s.thread.joinable())
        s.thread.join();
    s.stop.Reset();
    s.done = false;
    s.thread = std::thread([&s, fn = std::move(body)] {
        fn(s.stop);
        {
            std::lock_guard<std::mutex> lock(s.mutex);
            s.done = true;
        }
        s.cond.notify_all();
    });
    return true;
}

bool WorkerSlots::IsRunning(int slot) const {
    if (slot < 0 || slot >= kSlotCount)
        return false;
    const Slot& s = m_slots[static_cast<size_t>(slot)];
    std::lock_guard<std::mutex> lock(s.mutex);
    return !s.done;
}

WorkerSlots::StopResult WorkerSlots::StopAll(std::chrono::milliseconds patience) {
    for (Slot& s : m_slots)
        s.stop.Set();
    StopResult result;
    bool any = false;
    auto deadline = std::chrono::steady_clock::now() + patience;
    for (Slot& s : m_slots) {
        if (!s.thread.joinable())
            continue;
        any = true;
        {
            std::unique_lock<std::mutex> lock(s.mutex);
            if (!s.cond.wait_until(lock, deadline, [&s] { return s.done; }))
                ++result.late;
        }
        s.thread.join();
        ++result.joined;
    }
    if (any)
        DebugLog(result.late == 0 ? "所有对象处于激发状态" : "所有对象处于非激发状态，超时");
    return result;
}

} // namespace nk7x
