// The discovery thread: every 100 ms it lists the HID interfaces while some slot is free, attaches
// the supported ones to the slot list, checks that attached interfaces are still present, and tells
// its sink synchronously about every slot that connects or goes.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/discovery/InterfaceProbe.h"
#include "app/discovery/SlotList.h"
#include "platform/WorkerSlots.h"

namespace nk7x {

inline constexpr std::chrono::milliseconds kDiscoveryPassInterval{100};

// Implemented by the main window. Every call comes on the discovery thread.
class IDiscoverySink {
public:
    virtual ~IDiscoverySink() = default;
    // Slot `slotIndex` became connected; `slot` is its record (connected, with its path). The
    // discovery thread waits until this returns, so the handler sees the slot list as it is.
    virtual void OnConnect(int slotIndex, const DeviceSlot& slot) = 0;
    // The interface of slot `slotIndex` has gone and the slot is free again; `slot` is the record as
    // it was while attached (path included). Waited for like OnConnect.
    virtual void OnRemove(int slotIndex, const DeviceSlot& slot) = 0;
    // Once, after the first pass: the devices present at start are connected. Need not wait.
    virtual void OnFirstScanFinished() = 0;
    // After a pass whose list of supported interfaces refused for lack of permission differs from
    // the previous pass's (empty again once they open, or are no longer looked for).
    virtual void OnAccessDenied(const std::vector<DeviceSlot>& interfaces) { (void)interfaces; }
};

class CDiscoveryThread {
public:
    // `probe` null: the process-wide transport. The interval exists for tests; the program uses
    // kDiscoveryPassInterval.
    CDiscoveryThread(CSlotList& slots, IDiscoverySink& sink, std::unique_ptr<IInterfaceProbe> probe = nullptr,
                     std::chrono::milliseconds interval = kDiscoveryPassInterval);
    ~CDiscoveryThread(); // stops and joins
    CDiscoveryThread(const CDiscoveryThread&) = delete;
    CDiscoveryThread& operator=(const CDiscoveryThread&) = delete;

    // Runs the loop on a thread of its own; false when that thread or Run already runs.
    bool Start();
    // Sets the stop event; the thread ends within about 1 ms once no sink call is running.
    void RequestStop();
    // Sets the stop event and joins. From a sink call on the discovery thread it only requests.
    // Joining waits for a sink call in progress, so the thread a blocked sink call waits for must
    // not join: it requests, lets the pending call finish, then joins.
    void Stop();
    // True while the loop runs (on its own thread or in Run).
    bool IsRunning() const { return m_looping.load(); }

    // The loop itself, for an owner that runs it on a thread of its own (a worker slot of the main
    // window): returns soon after `stop` is set. Returns at once when the loop already runs. Only
    // the owner's event ends it (not RequestStop), and the owner joins before destroying this.
    void Run(const StopEvent& stop);

    bool FirstScanFinished() const;
    bool WaitForFirstScan(std::chrono::milliseconds timeout) const;

    // Supported interfaces that the last completed pass could not open for lack of permission.
    std::vector<DeviceSlot> AccessDenied() const;
    // Passes begun and HID listings made since construction.
    uint64_t PassCount() const { return m_passes.load(); }
    uint64_t ListingCount() const { return m_listings.load(); }

private:
    void Pass(const StopEvent& stop);
    void Enumerate(const StopEvent& stop, std::vector<DeviceSlot>& denied);
    void CheckPresence(const StopEvent& stop);
    void PublishDenied(std::vector<DeviceSlot> denied);
    void MarkFirstScan();

    CSlotList& m_slots;
    IDiscoverySink& m_sink;
    std::unique_ptr<IInterfaceProbe> m_probe; // used by the discovery thread alone
    const std::chrono::milliseconds m_interval;

    StopEvent m_stop;
    std::thread m_thread;
    std::mutex m_threadMutex; // Start and Stop
    std::atomic<bool> m_threadDone{true}; // the own thread has left the loop
    std::atomic<bool> m_looping{false};
    std::atomic<std::thread::id> m_loopThread{};

    mutable std::mutex m_stateMutex;
    mutable std::condition_variable m_firstScanCond;
    bool m_firstScan = false;
    std::vector<DeviceSlot> m_denied;

    std::atomic<uint64_t> m_passes{0};
    std::atomic<uint64_t> m_listings{0};
    bool m_listingFailureLogged = false;
};

} // namespace nk7x
