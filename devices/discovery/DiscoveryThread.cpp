#include "devices/discovery/DiscoveryThread.h"

#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <string>
#include <sys/eventfd.h>
#include <system_error>
#include <unistd.h>
#include <utility>
#include <vector>

#include "platform/DebugLog.h"

namespace nk7x {
namespace {

constexpr std::chrono::milliseconds kExitPoll{1};
// Quick passes after a failure that may pass (an open refused while the node is set up, a listing
// that failed); then announcements and the safety net take over, so a broken interface costs little.
constexpr int kQuickRetries = 10;
constexpr const char* kExitLine = "抓取设备线程设定退出";

// The stop event as a descriptor that poll can wait on with the announcements: a helper thread
// sleeps on the event and writes an eventfd when it is set. The loop returns only once the event is
// set, so the helper always ends.
class StopRelay {
  public:
    explicit StopRelay(const StopEvent& stop) : m_fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
        if (m_fd < 0)
            return;
        try {
            m_thread = std::thread([this, &stop] {
                while (!stop.WaitFor(std::chrono::hours(1))) {
                }
                const uint64_t one = 1;
                (void)!::write(m_fd, &one, sizeof one);
            });
        } catch (const std::system_error&) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~StopRelay() {
        if (m_thread.joinable())
            m_thread.join();
        if (m_fd >= 0)
            ::close(m_fd);
    }
    StopRelay(const StopRelay&) = delete;
    StopRelay& operator=(const StopRelay&) = delete;

    int Fd() const { return m_fd; }

  private:
    int m_fd;
    std::thread m_thread;
};

// poll, with the wait rounded up to whole milliseconds so that a deadline is never missed by a
// spin of zero-length waits.
int PollFor(std::vector<pollfd>& fds, std::chrono::steady_clock::duration wait) {
    using std::chrono::milliseconds;
    const milliseconds ms =
        std::chrono::ceil<milliseconds>(std::max(wait, std::chrono::steady_clock::duration::zero()));
    const int timeout = static_cast<int>(std::min<milliseconds::rep>(ms.count(), 60 * 60 * 1000));
    for (pollfd& p : fds)
        p.revents = 0;
    return ::poll(fds.data(), static_cast<nfds_t>(fds.size()), timeout);
}

bool SamePaths(const std::vector<DeviceSlot>& a, const std::vector<DeviceSlot>& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].path != b[i].path)
            return false;
    }
    return true;
}

} // namespace

CDiscoveryThread::CDiscoveryThread(CSlotList& slots, IDiscoverySink& sink,
                                   std::unique_ptr<IInterfaceProbe> probe, std::chrono::milliseconds interval)
    : m_slots(slots), m_sink(sink), m_probe(std::move(probe)), m_interval(interval) {
    if (!m_probe)
        m_probe = std::make_unique<CTransportProbe>();
}

CDiscoveryThread::CDiscoveryThread(CSlotList& slots, IDiscoverySink& sink,
                                   std::unique_ptr<IInterfaceProbe> probe,
                                   std::unique_ptr<IHotplugWatcher> wake, DiscoveryPacing pacing)
    : m_slots(slots), m_sink(sink), m_probe(std::move(probe)), m_watcher(std::move(wake)),
      m_interval(pacing.fallback), m_pacing(pacing) {
    if (!m_probe)
        m_probe = std::make_unique<CTransportProbe>();
    if (!m_watcher)
        m_watcher = OpenHotplugWatcher(DefaultHotplugSources(), &m_watcherTrouble);
    else if (!m_watcher->Ready())
        m_watcherTrouble = "the watcher given is not ready";
}

CDiscoveryThread::~CDiscoveryThread() {
    Stop();
}

bool CDiscoveryThread::Start() {
    std::lock_guard<std::mutex> lock(m_threadMutex);
    if (!m_threadDone.load() || m_looping.load())
        return false;
    if (m_thread.joinable())
        m_thread.join();
    m_stop.Reset();
    m_threadDone.store(false);
    m_thread = std::thread([this] {
        Run(m_stop);
        m_threadDone.store(true);
    });
    return true;
}

void CDiscoveryThread::RequestStop() {
    m_stop.Set();
}

void CDiscoveryThread::Stop() {
    m_stop.Set();
    if (m_loopThread.load() == std::this_thread::get_id())
        return; // a sink call on the loop itself: the loop ends when the call returns
    std::lock_guard<std::mutex> lock(m_threadMutex);
    if (m_thread.joinable())
        m_thread.join();
}

void CDiscoveryThread::Run(const StopEvent& stop) {
    if (m_looping.exchange(true))
        return;
    m_loopThread.store(std::this_thread::get_id());
    if (WaitsForAnnouncements()) {
        RunOnAnnouncements(stop);
    } else {
        if (m_watcher && !m_fallbackLogged) {
            DebugLog("discovery: hot-plug is not announced (" + m_watcherTrouble + "); listing every " +
                     std::to_string(m_interval.count()) + " ms");
            m_fallbackLogged = true;
        }
        RunOnInterval(stop, m_interval);
    }
    m_loopThread.store(std::thread::id());
    m_looping.store(false);
}

void CDiscoveryThread::RunOnInterval(const StopEvent& stop, std::chrono::milliseconds interval) {
    for (;;) {
        if (stop.WaitFor(kExitPoll)) {
            DebugLog(kExitLine);
            break;
        }
        Pass(stop);
        stop.WaitFor(interval);
    }
}

void CDiscoveryThread::RunOnAnnouncements(const StopEvent& stop) {
    using Clock = std::chrono::steady_clock;
    StopRelay relay(stop);
    if (relay.Fd() < 0) {
        if (!m_fallbackLogged)
            DebugLog("discovery: cannot wait for hot-plug announcements; listing every " +
                     std::to_string(m_interval.count()) + " ms");
        m_fallbackLogged = true;
        RunOnInterval(stop, m_interval);
        return;
    }
    std::vector<pollfd> all{{relay.Fd(), POLLIN, 0}};
    for (int fd : m_watcher->Fds())
        all.push_back({fd, POLLIN, 0});
    std::vector<pollfd> stopOnly{{relay.Fd(), POLLIN, 0}};

    m_watcher->Drain(); // the first pass sees whatever was announced before it
    m_quickRetries = 0;
    bool due = true;
    Clock::time_point lastPass = Clock::now();
    Clock::time_point retryAt = Clock::time_point::max();
    for (;;) {
        if (stop.IsSet()) {
            DebugLog(kExitLine);
            break;
        }
        const Clock::time_point now = Clock::now();
        if (!due && now - lastPass >= m_pacing.safetyNet) {
            m_watcher->Retry(); // its finding is what this pass is for
            due = true;
        }
        if (!due && now >= retryAt)
            due = true;
        if (due) {
            due = false;
            lastPass = now;
            Pass(stop);
            // A freed slot is offered at once to what is plugged in now (another keyboard waiting).
            if (m_slotFreed && m_slots.AnyFree())
                due = true;
            if (m_mayPass && m_quickRetries < kQuickRetries) {
                ++m_quickRetries;
                retryAt = Clock::now() + m_pacing.fallback;
            } else {
                if (!m_mayPass)
                    m_quickRetries = 0;
                retryAt = Clock::time_point::max();
            }
            continue;
        }

        const Clock::time_point until = std::min(lastPass + m_pacing.safetyNet, retryAt);
        const int ready = PollFor(all, until - now);
        if (ready < 0 && errno != EINTR) {
            // Not expected of valid descriptors; never spin on it.
            DebugLog("discovery: waiting for hot-plug announcements failed; listing every " +
                     std::to_string(m_interval.count()) + " ms");
            RunOnInterval(stop, m_interval);
            return;
        }
        if (ready <= 0 || all[0].revents != 0)
            continue; // the deadline, or stopping: the top of the loop decides
        if (!m_watcher->Drain())
            continue; // other files, other devices
        // One plug is a burst of announcements; wait for the rest of it, then take it all at once.
        if (PollFor(stopOnly, m_pacing.settle) > 0)
            continue;
        m_watcher->Drain();
        m_wakes.fetch_add(1);
        due = true;
    }
}

void CDiscoveryThread::Pass(const StopEvent& stop) {
    m_passes.fetch_add(1);
    m_slotFreed = false;
    m_mayPass = false;
    std::vector<DeviceSlot> denied;
    if (m_slots.AnyFree())
        Enumerate(stop, denied);
    if (stop.IsSet())
        return; // not a complete pass
    PublishDenied(std::move(denied));
    MarkFirstScan();
    CheckPresence(stop);
}

void CDiscoveryThread::Enumerate(const StopEvent& stop, std::vector<DeviceSlot>& denied) {
    std::vector<std::string> paths;
    m_listings.fetch_add(1);
    if (!m_probe->EnumeratePaths(paths)) {
        // Presence checks go on and the next pass lists again: one failed listing must neither
        // hide removals nor keep the window from ever showing.
        if (!m_listingFailureLogged)
            DebugLog("discovery: the HID interfaces could not be listed; trying again every pass");
        m_listingFailureLogged = true;
        m_mayPass = true;
        return;
    }
    m_listingFailureLogged = false;
    for (const std::string& path : paths) {
        if (stop.IsSet())
            return;
        DeviceSlot candidate = CandidateFromPath(path);
        if (!m_slots.MatchesInterfaceRow(candidate))
            continue;
        ProbedInterface identity;
        const HidOpenError error = m_probe->OpenProbe(path, identity);
        if (error != HidOpenError::None) {
            if (error == HidOpenError::PermissionDenied) {
                m_slots.DescribeByPath(candidate);
                denied.push_back(candidate);
            } else {
                // Listed but not opened: a node being set up, or one going away (then its removal
                // is announced anyway).
                m_mayPass = true;
            }
            m_probe->CloseProbe();
            continue;
        }
        candidate.vendorId = identity.vendorId;
        candidate.productId = identity.productId;
        candidate.usagePage = identity.usagePage;
        candidate.usage = identity.usage;
        const int index = m_slots.ClaimSlot(candidate);
        if (index != kNoDeviceSlot) {
            if (const std::optional<DeviceSlot> slot = m_slots.Get(index))
                m_sink.OnConnect(index, *slot);
        }
        m_probe->CloseProbe();
    }
}

void CDiscoveryThread::CheckPresence(const StopEvent& stop) {
    const std::vector<DeviceSlot> slots = m_slots.Snapshot();
    for (size_t i = 0; i < slots.size(); ++i) {
        if (stop.IsSet())
            return;
        if (slots[i].connected == 0 || m_probe->IsPresent(slots[i].path))
            continue;
        DeviceSlot was;
        const int index = static_cast<int>(i);
        if (m_slots.Detach(index, slots[i].path, &was)) {
            m_slotFreed = true;
            m_sink.OnRemove(index, was);
        }
    }
}

void CDiscoveryThread::PublishDenied(std::vector<DeviceSlot> denied) {
    bool changed = false;
    {
        std::lock_guard<std::mutex> lock(m_stateMutex);
        changed = !SamePaths(denied, m_denied);
        if (changed)
            m_denied = denied;
    }
    if (changed)
        m_sink.OnAccessDenied(denied);
}

void CDiscoveryThread::MarkFirstScan() {
    {
        std::lock_guard<std::mutex> lock(m_stateMutex);
        if (m_firstScan)
            return;
    }
    // The sink first, so that a waiter never runs ahead of the window being told.
    m_sink.OnFirstScanFinished();
    {
        std::lock_guard<std::mutex> lock(m_stateMutex);
        m_firstScan = true;
    }
    m_firstScanCond.notify_all();
}

bool CDiscoveryThread::FirstScanFinished() const {
    std::lock_guard<std::mutex> lock(m_stateMutex);
    return m_firstScan;
}

bool CDiscoveryThread::WaitForFirstScan(std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(m_stateMutex);
    return m_firstScanCond.wait_for(lock, timeout, [this] { return m_firstScan; });
}

std::vector<DeviceSlot> CDiscoveryThread::AccessDenied() const {
    std::lock_guard<std::mutex> lock(m_stateMutex);
    return m_denied;
}

} // namespace nk7x
