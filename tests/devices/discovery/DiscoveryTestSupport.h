// Helpers for the discovery tests: a sink that records every call, a temporary emulator folder, and
// a capture of the debug output.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "devices/discovery/DiscoveryThread.h"
#include "support/TestSupport.h"

namespace nk7x::test {

struct SinkEvent {
    enum Type { Connect, Remove, FirstScan, Denied } type;
    int index = -1;
    DeviceSlot slot;
    uint64_t pass = 0;              // the discovery pass the call came in
    std::vector<DeviceSlot> denied; // Denied only
    bool listAgreed = true;         // the slot list, read inside the call, agreed with `slot`
};

class RecordingSink : public IDiscoverySink {
  public:
    // Set before the thread starts: the call's pass number and the list the handler may read.
    const CDiscoveryThread* thread = nullptr;
    const CSlotList* slots = nullptr;
    std::function<void(const SinkEvent&)> onEvent; // runs inside the call, on the discovery thread

    void OnConnect(int slotIndex, const DeviceSlot& slot) override;
    void OnRemove(int slotIndex, const DeviceSlot& slot) override;
    void OnFirstScanFinished() override;
    void OnAccessDenied(const std::vector<DeviceSlot>& interfaces) override;

    std::vector<SinkEvent> Events() const;
    std::vector<SinkEvent> Of(SinkEvent::Type type) const;
    // Waits until `count` events of `type` have arrived; false on time-out.
    bool WaitFor(SinkEvent::Type type, size_t count, std::chrono::milliseconds timeout) const;

  private:
    void Record(SinkEvent e);
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_cond;
    std::vector<SinkEvent> m_events;
};

// Waits until the thread has begun pass number `pass` (1-based); false on time-out.
bool WaitForPass(const CDiscoveryThread& thread, uint64_t pass, std::chrono::milliseconds timeout);

} // namespace nk7x::test
