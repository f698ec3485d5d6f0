#include "devices/KeyEventThread.h"

#include <array>
#include <chrono>

#include "link/DeviceCommandLink.h"
#include "platform/DebugLog.h"

namespace nk7x {

namespace {
constexpr int kPollMs = 1;
// After a failed read (interface gone, not open) the reader waits this long before it tries
// again, so an unplugged device does not keep a core busy.
constexpr int kRetryMs = 100;
constexpr uint32_t kReportBufferBytes = 64;
} // namespace

uint16_t DecodeNotificationCode(CHidTransport& transport, const uint8_t* report, uint32_t length) {
    HidReportItem* items = transport.InputItems();
    const uint32_t count = transport.InputItemCount();
    if (!report || length == 0 || !items || count == 0)
        return 0;
    if (CHidTransport::DecodeReport(items, count, report, length, HidReportType::Input,
                                    transport.ParsedDescriptor()) != 1)
        return 0;
    for (uint32_t i = 0; i < count; ++i) {
        const HidReportItem& item = items[i];
        if (!item.isSet || item.reportId != report[0])
            continue;
        if (item.isButton)
            return item.usageList.empty() ? 0 : item.usageList[0];
        return static_cast<uint16_t>(item.value);
    }
    return 0;
}

bool DispatchNotification(uint16_t code, const KeyEventHandlers& handlers) {
    const std::optional<Notification> n = DecodeNotification(code);
    if (!n)
        return false;
    auto run = [](const std::function<void()>& handler) {
        if (handler)
            handler();
        return static_cast<bool>(handler);
    };
    switch (n->code) {
    case NotifyCode::Sync:
        DebugLog("接收到自动添加设备的同步信息要求");
        return run(handlers.onSync);
    case NotifyCode::SyncRed:
        return run(handlers.onSyncRed);
    case NotifyCode::Status:
        return run(handlers.onStatus);
    case NotifyCode::KeyDown:
    case NotifyCode::KeyUp:
        if (handlers.onKey)
            handlers.onKey(n->position,
                           n->code == NotifyCode::KeyDown ? KeyEventKind::Press : KeyEventKind::Release);
        return static_cast<bool>(handlers.onKey);
    }
    return false;
}

CKeyEventThread::CKeyEventThread(CDeviceCommandLink& link, KeyEventHandlers handlers)
    : m_link(link), m_handlers(std::move(handlers)) {}

CKeyEventThread::~CKeyEventThread() {
    Stop();
}

int CKeyEventThread::Start() {
    if (m_thread.joinable()) {
        if (Running())
            return 0;
        m_thread.join(); // a reader that already ended
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = false;
    }
    m_running.store(true, std::memory_order_release);
    m_thread = std::thread([this] { Run(); });
    return 1;
}

void CKeyEventThread::Stop() {
    if (!m_thread.joinable())
        return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    {
        // The read waits without a time-out; closing the interface is what ends it.
        std::lock_guard<std::mutex> lock(m_link.ExchangeLock());
        m_link.Transport().Close();
    }
    m_thread.join();
}

bool CKeyEventThread::WaitForStop(int ms) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_wake.wait_for(lock, std::chrono::milliseconds(ms), [this] { return m_stop; });
}

void CKeyEventThread::Run() {
    std::array<uint8_t, kReportBufferBytes> buffer{};
    int wait = kPollMs;
    while (!WaitForStop(wait)) {
        wait = kPollMs;
        if (!m_link.IsOpen()) {
            wait = kRetryMs;
            continue;
        }
        CHidTransport& transport = m_link.Transport();
        uint32_t length = 0;
        {
            std::lock_guard<std::mutex> lock(m_link.ExchangeLock());
            length = transport.Caps().inputReportByteLength;
        }
        if (length == 0 || length > buffer.size())
            length = static_cast<uint32_t>(buffer.size());
        buffer.fill(0);
        uint32_t got = 0;
        if (transport.ReadReport(buffer.data(), length, &got, kHidInfinite) != 1 || got == 0) {
            wait = kRetryMs;
            continue;
        }
        m_reports.fetch_add(1, std::memory_order_relaxed);
        uint16_t code = 0;
        {
            // Close (on the stopping thread) frees the parsed items; decode only while it cannot run.
            std::lock_guard<std::mutex> lock(m_link.ExchangeLock());
            if (transport.IsHandleOpen())
                code = DecodeNotificationCode(transport, buffer.data(), got);
        }
        DebugLog("接收到自动添加设备的同步信息要求  TEST");
        DispatchNotification(code, m_handlers);
    }
    DebugLog("MS设备同步线程设定退出");
    m_running.store(false, std::memory_order_release);
}

} // namespace nk7x
