#include "link/DeviceCommandLink.h"

#include <algorithm>
#include <cstring>

#include "platform/DebugLog.h"

namespace nk7x {
namespace {

// Copies a request into a 64-byte frame: shorter ones are zero-padded, longer ones cut.
FrameBytes PadFrame(const uint8_t* data, size_t length) {
    FrameBytes frame{};
    if (data)
        std::memcpy(frame.data(), data, std::min(length, kFrameSize));
    return frame;
}

void LogFrame(const char* title, const FrameBytes& frame) {
    DebugLog(title);
    DebugLog(FormatHexLine(frame.data()));
    DebugLog(FormatHexLine(frame.data() + 32));
}

// Keeps the busy count raised for the length of one logged exchange.
class BusyScope {
  public:
    explicit BusyScope(std::atomic<uint32_t>& busy) : m_busy(busy) {
        m_busy.fetch_add(1, std::memory_order_acq_rel);
    }
    ~BusyScope() { m_busy.fetch_sub(1, std::memory_order_acq_rel); }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

  private:
    std::atomic<uint32_t>& m_busy;
};

} // namespace

CDeviceCommandLink::~CDeviceCommandLink() {
    m_open = false;
    m_longTimeouts = false;
    m_backgroundPause = false;
    m_busy = 0;
}

int CDeviceCommandLink::OpenPath(const std::string& path) {
    std::lock_guard<std::mutex> lock(m_exchangeLock);
    const int result = m_transport.Open(path, true, true, true, false);
    if (result == 1)
        SetOpen(true);
    return result;
}

void CDeviceCommandLink::ClosePath() {
    SetOpen(false);
    m_transport.Close();
}

int CDeviceCommandLink::SetDataSize(uint32_t n) {
    if (n > kMaxDataSize)
        return 0;
    m_dataSize.store(static_cast<uint16_t>(n), std::memory_order_relaxed);
    return 1;
}

int CDeviceCommandLink::Exchange(const uint8_t* request, size_t requestLength, uint8_t* reply,
                                 size_t replyLength, uint32_t* transferred) {
    BusyScope busy(m_busy);
    if (transferred)
        *transferred = 0;
    if (!IsOpen() || !reply)
        return kResultFailed;
    replyLength = std::min(replyLength, kFrameSize);

    const FrameBytes frame = PadFrame(request, requestLength);
    const bool logging = DebugLogEnabled();
    if (logging)
        LogFrame("命令", frame);

    const uint32_t timeout = Timeout();
    int result;
    {
        // The write and its reads are one unit: were the lock released in between, another thread's
        // read could take this frame's reply, skip it as a wrong echo, and leave this thread waiting
        // out its time-out for a reply that is gone.
        std::lock_guard<std::mutex> lock(m_exchangeLock);
        if (m_transport.WriteReport(frame.data(), kFrameSize, nullptr, timeout) != 1)
            return kResultWriteFailed;
        result = m_transport.ReadReport(reply, static_cast<uint32_t>(replyLength), transferred, timeout);
        // A late reply to an earlier frame (one that timed out) can come first; one more read skips
        // it. A failed read leaves the buffer as it was, so it is followed by a second read as well.
        const bool echoes = replyLength > 3 && reply[3] == frame[3];
        if (!echoes)
            result = m_transport.ReadReport(reply, static_cast<uint32_t>(replyLength), transferred, timeout);
    }

    if (logging) {
        FrameBytes shown{};
        std::memcpy(shown.data(), reply, replyLength);
        LogFrame("返回", shown);
    }
    return result;
}

int CDeviceCommandLink::ExchangeQuiet(const uint8_t* request, size_t requestLength, uint8_t* reply,
                                      size_t replyLength, uint32_t* transferred) {
    if (transferred)
        *transferred = 0;
    if (!IsOpen() || !reply)
        return kResultFailed;
    replyLength = std::min(replyLength, kFrameSize);
    const FrameBytes frame = PadFrame(request, requestLength);
    std::lock_guard<std::mutex> lock(m_exchangeLock);
    if (m_transport.WriteReport(frame.data(), kFrameSize, nullptr, kTimeoutMs) != 1)
        return kResultWriteFailed;
    return m_transport.ReadReport(reply, static_cast<uint32_t>(replyLength), transferred, kTimeoutMs);
}

} // namespace nk7x
