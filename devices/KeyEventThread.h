// CKeyEventThread: the reader of a page's notification interface. It waits for input reports
// without a time-out, decodes each into its 16-bit code and hands the codes the pages act on to
// their handlers. Stop closes the interface, which ends a waiting read at once, and joins.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

#include "devices/NotifyCodes.h"

namespace nk7x {

class CDeviceCommandLink;
class CHidTransport;

struct KeyEventHandlers {
    std::function<void()> onSync;                               // 0x401
    std::function<void()> onSyncRed;                            // 0x402
    std::function<void()> onStatus;                             // 0x404
    std::function<void(int position, KeyEventKind kind)> onKey; // 0x500+p press, 0x600+p release
};

// The code an input report carries: the first usage of the first item the report fills; 0 when
// the report does not decode or names no usage.
uint16_t DecodeNotificationCode(CHidTransport& transport, const uint8_t* report, uint32_t length);

// Hands one code to its handler; false when no handler takes it.
bool DispatchNotification(uint16_t code, const KeyEventHandlers& handlers);

class CKeyEventThread {
  public:
    // `link` is the page's notification link; only its transport and open flag are used.
    CKeyEventThread(CDeviceCommandLink& link, KeyEventHandlers handlers);
    ~CKeyEventThread(); // stops
    CKeyEventThread(const CKeyEventThread&) = delete;
    CKeyEventThread& operator=(const CKeyEventThread&) = delete;

    // Starts the reader; 1, or 0 when it already runs.
    int Start();
    // Signals the stop, closes the transport under the exchange lock (a waiting read returns) and
    // joins. Safe to call twice.
    void Stop();
    bool Running() const { return m_running.load(std::memory_order_acquire); }
    uint64_t ReportsRead() const { return m_reports.load(std::memory_order_relaxed); }

  private:
    void Run();
    // Waits up to `ms` for the stop signal; true when it came.
    bool WaitForStop(int ms);

    CDeviceCommandLink& m_link;
    KeyEventHandlers m_handlers;
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
    std::atomic<bool> m_running{false};
    std::atomic<uint64_t> m_reports{0};
};

} // namespace nk7x
