#include "app/discovery/DiscoveryThread.h"

#include <utility>

#include "platform/DebugLog.h"

namespace nk7x {
namespace {

constexpr std::chrono::milliseconds kExitPoll{1};

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

CDiscoveryThread::CDiscoveryThread(CSlotList& slots, IDiscoverySink& sink, std::unique_ptr<IInterfaceProbe> probe,
                                   std::chrono::milliseconds interval)
    : m_slots(slots), m_sink(sink), m_probe(std::move(probe)), m_interval(interval) {
    if (!m_probe)
        m_probe = std::make_unique<CTransportProbe>();
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
    for (;;) {
        if (stop.WaitFor(kExitPoll)) {
            DebugLog("抓取设备线程设定退出");
            break;
        }
        Pass(stop);
        stop.WaitFor(m_interval);
    }
    m_loopThread.store(std::thread::id());
    m_looping.store(false);
}

void CDiscoveryThread::Pass(const StopEvent& stop) {
    m_passes.fetch_add(1);
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
        if (m_slots.Detach(index, slots[i].path, &was))
            m_sink.OnRemove(index, was);
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
