// The discovery thread: lists the HID interfaces while some slot is free, attaches the supported ones
// to the slot list, checks that attached interfaces are still present, and tells its sink
// synchronously about every slot that connects or goes. It makes such a pass at start, after every
// burst of hot-plug announcements and, as a safety net, every few seconds; without announcements
// (no device manager) it passes every 100 ms.
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

#include "devices/discovery/InterfaceProbe.h"
#include "devices/discovery/SlotList.h"
#include "platform/HotplugWatcher.h"
#include "platform/WorkerSlots.h"

namespace nk7x {

// The fixed interval of a discovery that nothing wakes.
inline constexpr std::chrono::milliseconds kDiscoveryPassInterval{100};

// How a discovery woken by hot-plug announcements paces itself.
struct DiscoveryPacing {
    // A full pass at least this often, announced or not: it finds what went unannounced (an
    // emulator killed without unplugging, a folder that could not be watched yet). A pass costs
    // about a millisecond of CPU (the udev listing), so the net is kept slow.
    std::chrono::milliseconds safetyNet{10000};
    // After the first announcement, the wait for the rest of its burst (one keyboard is several
    // interfaces): the whole burst costs one pass.
    std::chrono::milliseconds settle{20};
    // The pass interval when nothing announces plugs, and the pace of the few passes that follow a
    // pass whose listing, or an open of a supported interface, failed for a reason that may pass.
    std::chrono::milliseconds fallback{kDiscoveryPassInterval};
};

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
    // A pass every `interval`, waking for nothing else (tests over a scripted probe). `probe` null:
    // the process-wide transport.
    CDiscoveryThread(CSlotList& slots, IDiscoverySink& sink, std::unique_ptr<IInterfaceProbe> probe = nullptr,
                     std::chrono::milliseconds interval = kDiscoveryPassInterval);
    // What the program runs: a pass at start, after each burst announced by `wake`, and every
    // pacing.safetyNet. `wake` null: the platform's watcher (hidraw, and the emulator's folder when
    // NK7X_SIM_DIR names one). A watcher that is not Ready means a pass every pacing.fallback, and a
    // line in the debug output saying why.
    CDiscoveryThread(CSlotList& slots, IDiscoverySink& sink, std::unique_ptr<IInterfaceProbe> probe,
                     std::unique_ptr<IHotplugWatcher> wake, DiscoveryPacing pacing = {});
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
    // Bursts of announcements that led to a pass.
    uint64_t WakeCount() const { return m_wakes.load(); }
    // True when the loop waits for announcements; false when it passes on a fixed interval.
    bool WaitsForAnnouncements() const { return m_watcher && m_watcher->Ready(); }

  private:
    void RunOnInterval(const StopEvent& stop, std::chrono::milliseconds interval);
    void RunOnAnnouncements(const StopEvent& stop);
    void Pass(const StopEvent& stop);
    void Enumerate(const StopEvent& stop, std::vector<DeviceSlot>& denied);
    void CheckPresence(const StopEvent& stop);
    void PublishDenied(std::vector<DeviceSlot> denied);
    void MarkFirstScan();

    CSlotList& m_slots;
    IDiscoverySink& m_sink;
    std::unique_ptr<IInterfaceProbe> m_probe;   // used by the discovery thread alone
    std::unique_ptr<IHotplugWatcher> m_watcher; // null: a pass every m_interval; used by the loop alone
    std::string m_watcherTrouble;               // why the watcher is not Ready
    const std::chrono::milliseconds m_interval;
    const DiscoveryPacing m_pacing;

    StopEvent m_stop;
    std::thread m_thread;
    std::mutex m_threadMutex;             // Start and Stop
    std::atomic<bool> m_threadDone{true}; // the own thread has left the loop
    std::atomic<bool> m_looping{false};
    std::atomic<std::thread::id> m_loopThread{};

    mutable std::mutex m_stateMutex;
    mutable std::condition_variable m_firstScanCond;
    bool m_firstScan = false;
    std::vector<DeviceSlot> m_denied;

    std::atomic<uint64_t> m_passes{0};
    std::atomic<uint64_t> m_listings{0};
    std::atomic<uint64_t> m_wakes{0};
    bool m_listingFailureLogged = false;
    bool m_fallbackLogged = false;
    // Set by the pass under way, read by the loop after it (the loop's thread alone).
    bool m_slotFreed = false; // a removal freed a slot: what is plugged in now may take it
    bool m_mayPass = false;   // a listing or an open failed for a reason that may pass
    int m_quickRetries = 0;   // passes in a row that followed such a failure
};

} // namespace nk7x
