#include "devices/discovery/DiscoveryTestSupport.h"

#include <cstdlib>
#include <filesystem>
#include <thread>

#include "platform/DebugLog.h"

namespace nk7x::test {

void RecordingSink::Record(SinkEvent e) {
    if (thread)
        e.pass = thread->PassCount();
    if (slots && (e.type == SinkEvent::Connect || e.type == SinkEvent::Remove)) {
        const std::optional<DeviceSlot> now = slots->Get(e.index);
        if (e.type == SinkEvent::Connect)
            e.listAgreed = now && now->connected == 1 && now->path == e.slot.path;
        else
            e.listAgreed = now && now->connected == 0 && now->path.empty();
    }
    if (onEvent)
        onEvent(e);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_events.push_back(std::move(e));
    }
    m_cond.notify_all();
}

void RecordingSink::OnConnect(int slotIndex, const DeviceSlot& slot) {
    Record({SinkEvent::Connect, slotIndex, slot, 0, {}, true});
}

void RecordingSink::OnRemove(int slotIndex, const DeviceSlot& slot) {
    Record({SinkEvent::Remove, slotIndex, slot, 0, {}, true});
}

void RecordingSink::OnFirstScanFinished() {
    Record({SinkEvent::FirstScan, -1, {}, 0, {}, true});
}

void RecordingSink::OnAccessDenied(const std::vector<DeviceSlot>& interfaces) {
    Record({SinkEvent::Denied, -1, {}, 0, interfaces, true});
}

std::vector<SinkEvent> RecordingSink::Events() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_events;
}

std::vector<SinkEvent> RecordingSink::Of(SinkEvent::Type type) const {
    std::vector<SinkEvent> out;
    for (SinkEvent& e : Events()) {
        if (e.type == type)
            out.push_back(std::move(e));
    }
    return out;
}

bool RecordingSink::WaitFor(SinkEvent::Type type, size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_cond.wait_for(lock, timeout, [&] {
        size_t n = 0;
        for (const SinkEvent& e : m_events)
            n += e.type == type;
        return n >= count;
    });
}

bool WaitForPass(const CDiscoveryThread& thread, uint64_t pass, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (thread.PassCount() < pass) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

} // namespace nk7x::test
