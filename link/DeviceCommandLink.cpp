#include "link/DeviceCommandLink.h"

#include <algorithm>
#include <chrono>
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

// A frame with a length or offset, which a device that echoes addresses repeats in its reply.
bool Addressed(const FrameBytes& frame) {
    return frame[4] != 0 || frame[5] != 0 || frame[6] != 0;
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
    const int result = m_transport.Open(path, true, true);
    m_echoesAddress.fill(false); // another device may stand behind the path now
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

LinkResult CDeviceCommandLink::Exchange(const uint8_t* request, size_t requestLength, uint8_t* reply,
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
    LinkResult result;
    {
        // The write and its reads are one unit: were the lock released in between, another thread's
        // read could take this frame's reply, skip it as a wrong echo, and leave this thread waiting
        // out its time-out for a reply that is gone.
        std::lock_guard<std::mutex> lock(m_exchangeLock);
        DropStaleReports(frame[3]);
        if (m_transport.WriteReport(frame.data(), kFrameSize, nullptr, timeout) != 1)
            return kResultWriteFailed;
        result = ReadEcho(frame, reply, replyLength, transferred, timeout);
    }
    if (logging) {
        FrameBytes shown{};
        std::memcpy(shown.data(), reply, replyLength);
        LogFrame("返回", shown);
    }
    return result;
}

LinkResult CDeviceCommandLink::ExchangeQuiet(const uint8_t* request, size_t requestLength, uint8_t* reply,
                                             size_t replyLength, uint32_t* transferred) {
    if (transferred)
        *transferred = 0;
    if (!IsOpen() || !reply)
        return kResultFailed;
    replyLength = std::min(replyLength, kFrameSize);
    const FrameBytes frame = PadFrame(request, requestLength);
    std::lock_guard<std::mutex> lock(m_exchangeLock);
    DropStaleReports(frame[3]);
    if (m_transport.WriteReport(frame.data(), kFrameSize, nullptr, kTimeoutMs) != 1)
        return kResultWriteFailed;
    // Another program's frames are answered on this node too; only this frame's echo is its reply.
    return ReadEcho(frame, reply, replyLength, transferred, kTimeoutMs);
}

void CDeviceCommandLink::DropStaleReports(uint8_t command) {
    // Replies waiting before our frame goes out answer someone else: another program on the same
    // device, or a frame of ours that timed out. Left queued, they would be read as our reply.
    FrameBytes scratch{};
    int dropped = 0;
    while (dropped < kMaxStaleReports && m_transport.ReadReport(scratch.data(), kFrameSize, nullptr, 0) == 1)
        ++dropped;
    if (dropped > 0) {
        m_staleDropped.fetch_add(static_cast<uint64_t>(dropped), std::memory_order_relaxed);
        DebugLogf("link: dropped %d stale report(s) before command %u", dropped, unsigned{command});
    }
}

CDeviceCommandLink::ReplyMatch CDeviceCommandLink::MatchReply(const FrameBytes& frame,
                                                              const FrameBytes& reply) const {
    if (reply[3] != frame[3])
        return ReplyMatch::Foreign;
    // Devices that echo a frame's length and offset tell apart two programs' frames of the same
    // command (two parameter reads at different offsets). Whether a device does is learnt per
    // command; a device that does not may put anything there, so its replies are judged by the
    // command alone.
    if (!Addressed(frame))
        return ReplyMatch::Exact;
    if (reply[4] == frame[4] && reply[5] == frame[5] && reply[6] == frame[6])
        return ReplyMatch::Exact;
    if (m_echoesAddress[frame[3]])
        return ReplyMatch::Foreign;
    return ReplyMatch::CommandOnly;
}

LinkResult CDeviceCommandLink::ReadEcho(const FrameBytes& frame, uint8_t* reply, size_t replyLength,
                                        uint32_t* transferred, uint32_t timeoutMs) {
    // Reads until a reply echoes the command, all within one time-out. What does not echo it (a
    // reply to another program's frame) is skipped; the caller's buffer only ever receives the
    // matching reply, so a failed exchange hands it nothing.
    using Clock = std::chrono::steady_clock;
    Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    FrameBytes scratch{};
    FrameBytes fallback{};
    uint32_t fallbackGot = 0;
    bool haveFallback = false;
    auto take = [&](const FrameBytes& from, uint32_t got) {
        std::memcpy(reply, from.data(), replyLength);
        if (transferred)
            *transferred = static_cast<uint32_t>(std::min<size_t>(got, replyLength));
        return kResultOk;
    };
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        uint32_t got = 0;
        if (m_transport.ReadReport(scratch.data(), kFrameSize, &got,
                                   left > 0 ? static_cast<uint32_t>(left) : 0) != 1)
            // Out of time: a reply of the right command whose address could not be told is ours
            // after all (a device that does not echo addresses).
            return haveFallback ? take(fallback, fallbackGot) : kResultFailed;
        const ReplyMatch match = got > 6 ? MatchReply(frame, scratch) : ReplyMatch::Foreign;
        if (match == ReplyMatch::Exact) {
            if (Addressed(frame))
                m_echoesAddress[frame[3]] = true;
            if (haveFallback)
                m_foreignSkipped.fetch_add(1, std::memory_order_relaxed);
            return take(scratch, got);
        }
        if (match == ReplyMatch::CommandOnly && !haveFallback) {
            // Our command at another address: another program's frame, or a device that does not
            // echo addresses. A short wait tells them apart; our own reply follows closely.
            fallback = scratch;
            fallbackGot = got;
            haveFallback = true;
            deadline = std::min(deadline, Clock::now() + std::chrono::milliseconds(kAddressGraceMs));
            continue;
        }
        m_foreignSkipped.fetch_add(1, std::memory_order_relaxed);
        if (left <= 0)
            return haveFallback ? take(fallback, fallbackGot) : kResultFailed;
    }
}

} // namespace nk7x
