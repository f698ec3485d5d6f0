// CDeviceCommandLink: one device's command interface. It turns one 64-byte request into one reply
// (logged, echo-checked, with time-outs), holds the locks that keep frames whole across threads, and
// offers one operation per generic command.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

#include "link/CommandFrame.h"
#include "link/hid/HidTransport.h"

namespace nk7x {

class CDeviceCommandLink {
  public:
    static constexpr uint16_t kMaxDataSize = 512;
    static constexpr uint8_t kDefaultChunkSize = 56;
    static constexpr uint32_t kTimeoutMs = 1000;
    static constexpr uint32_t kLongTimeoutMs = 5000;
    static constexpr uint32_t kEndConfigDelayMs = 10;

    CDeviceCommandLink() = default;
    ~CDeviceCommandLink();
    CDeviceCommandLink(const CDeviceCommandLink&) = delete;
    CDeviceCommandLink& operator=(const CDeviceCommandLink&) = delete;

    // The connect step: under the exchange lock, open the transport on `path` (read and write,
    // shared) and set the open flag on success. Returns the transport's result (1 or 0).
    [[nodiscard]] int OpenPath(const std::string& path);
    // The remove step: clear the open flag first so new exchanges fail fast, then close the
    // transport, which aborts a transfer that is waiting.
    void ClosePath();

    // The logged exchange with the echo check. Pads or cuts the request to 64 bytes, drops replies
    // already waiting, writes it, then reads until a reply echoes the command, within one time-out.
    // Reply length is at most 64. Returns 1, 0 (not open, no matching reply; the reply buffer is
    // untouched) or -1 (write failed).
    LinkResult Exchange(const uint8_t* request, size_t requestLength, uint8_t* reply, size_t replyLength,
                        uint32_t* transferred);
    // The same transfer without log or busy flag, always with the short time-out.
    LinkResult ExchangeQuiet(const uint8_t* request, size_t requestLength, uint8_t* reply, size_t replyLength,
                             uint32_t* transferred);

    bool IsOpen() const { return m_open.load(std::memory_order_acquire); }
    void SetOpen(bool open) { m_open.store(open, std::memory_order_release); }
    // True while a logged exchange runs on some thread.
    bool IsBusy() const { return m_busy.load(std::memory_order_acquire) > 0; }
    bool LongTimeouts() const { return m_longTimeouts.load(std::memory_order_relaxed); }
    void SetLongTimeouts(bool on) { m_longTimeouts.store(on, std::memory_order_relaxed); }
    bool BackgroundPause() const { return m_backgroundPause.load(std::memory_order_relaxed); }
    void SetBackgroundPause(bool on) { m_backgroundPause.store(on, std::memory_order_relaxed); }

    // 1 and stored when n <= 512; else 0 and the old size stays.
    [[nodiscard]] int SetDataSize(uint32_t n);
    uint16_t DataSize() const { return m_dataSize.load(std::memory_order_relaxed); }
    uint8_t ChunkSize() const { return m_chunkSize; }

    // Reports dropped before a frame went out, and replies skipped for not echoing our command:
    // traffic of another program on the same device.
    uint64_t StaleReportsDropped() const { return m_staleDropped.load(std::memory_order_relaxed); }
    uint64_t ForeignRepliesSkipped() const { return m_foreignSkipped.load(std::memory_order_relaxed); }

    CHidTransport& Transport() { return m_transport; }
    // Lock order: command or lighting lock first, then the exchange lock (taken inside Exchange).
    // The command and lighting locks are never held together.
    std::mutex& ExchangeLock() { return m_exchangeLock; }
    std::mutex& CommandLock() { return m_commandLock; }
    std::mutex& LightingLock() { return m_lightingLock; }

    // Generic commands. Each returns a result code; the buffers belong to the caller.
    LinkResult BeginConfig();
    LinkResult EndConfig();
    LinkResult EnterLiveLighting();
    // Fills `record` only when the read succeeded.
    LinkResult ReadDeviceInfo(DeviceInfoRecord& record);
    // `offset + length` must stay inside the 16-bit area; otherwise 0 and nothing is sent.
    LinkResult ReadParameters(uint8_t* buffer, size_t length, uint16_t offset);
    LinkResult WriteParameters(const uint8_t* buffer, size_t length, uint16_t offset);
    // Data-size bytes (data-size / 3 for the index table).
    LinkResult ReadKeyTable(uint8_t* buffer);
    LinkResult WriteKeyTable(const uint8_t* buffer, int page);
    LinkResult ReadKeyIndexTable(uint8_t* buffer);
    // Frame p goes to (page x pageSize + p) in 16 bits; lighting lock.
    LinkResult WriteLightingPage(const uint8_t* buffer, size_t length, int page, int pageSize);
    // Live colours: frames are dropped while a logged exchange runs and not sent with long
    // time-outs; both count as success.
    LinkResult StreamLighting(const uint8_t* buffer, size_t length);
    // One output report of the command collection (byte 0 its report id), written whole and not
    // answered. Under the lighting lock, dropped like a live frame while a logged exchange runs.
    LinkResult SendOutputReport(const uint8_t* report, size_t length);
    LinkResult WriteMacroArea(const uint8_t* buffer, size_t length);
    // Fixed 56-byte frames, exchange lock only.
    LinkResult WriteShootArea(const uint8_t* buffer, size_t length);
    // One frame of at most 56 bytes.
    LinkResult ReadBlock(uint8_t* buffer, size_t length, uint16_t offset);
    // True when the device behind the link answers with success and data byte 0 = 0xFF.
    bool Probe();

  private:
    enum class FrameLock { Command, Lighting, ExchangeOnly };

    // Builds one frame, sends it under `lock` and judges the status. On success a read copies
    // `readLength` reply data bytes to `readOut`; `replyOut` (may be null) receives the whole reply.
    LinkResult SendFrame(CommandCode code, uint8_t length, uint16_t offset, const uint8_t* payload,
                         FrameLock lock, uint8_t* readOut, size_t readLength, FrameBytes* replyOut = nullptr);
    LinkResult WriteChunked(CommandCode code, const uint8_t* source, size_t total, uint32_t base,
                            FrameLock lock, size_t chunk, bool wrapOffset = false);
    LinkResult ReadChunked(CommandCode code, uint8_t* destination, size_t total, uint32_t base);
    uint32_t Timeout() const { return LongTimeouts() ? kLongTimeoutMs : kTimeoutMs; }
    // Under the exchange lock: empties the input queue before a frame is written.
    void DropStaleReports(uint8_t command);
    // Under the exchange lock: the first reply echoing `command` within the time-out.
    LinkResult ReadEcho(const FrameBytes& frame, uint8_t* reply, size_t replyLength, uint32_t* transferred,
                        uint32_t timeoutMs);
    // Under the exchange lock: whether a reply answers this very frame. CommandOnly: the command
    // matches but the address does not, on a device not yet seen to echo addresses.
    enum class ReplyMatch { Exact, CommandOnly, Foreign };
    ReplyMatch MatchReply(const FrameBytes& frame, const FrameBytes& reply) const;
    // How long a CommandOnly reply waits for an exact one before it is taken.
    static constexpr int kAddressGraceMs = 50;

    // A queue that never empties is a device gone wrong; the exchange goes ahead after this many.
    static constexpr int kMaxStaleReports = 256;
    std::atomic<uint64_t> m_staleDropped{0};
    std::atomic<uint64_t> m_foreignSkipped{0};
    std::array<bool, 256> m_echoesAddress{}; // per command code; guarded by the exchange lock

    std::atomic<uint16_t> m_dataSize{kMaxDataSize};
    std::atomic<uint32_t> m_busy{0}; // logged exchanges in progress (two threads can be in one each)
    std::atomic<bool> m_open{false};
    std::atomic<bool> m_backgroundPause{false};
    CHidTransport m_transport;
    // Destroyed in the order lighting, command, exchange, then the transport.
    std::mutex m_exchangeLock;
    std::mutex m_commandLock;
    std::mutex m_lightingLock;
    std::atomic<bool> m_longTimeouts{false};
    const uint8_t m_chunkSize = kDefaultChunkSize;
};

} // namespace nk7x
