// The command set every device kind shares, built on the frame exchange of CDeviceCommandLink.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "link/DeviceCommandLink.h"
#include "platform/DebugLog.h"

namespace nk7x {
namespace {

constexpr uint32_t kAreaLimit = 0x10000; // offsets are 16 bits on the wire
constexpr uint8_t kProbeAnswer = 0xFF;

uint8_t Code(CommandCode code) {
    return static_cast<uint8_t>(code);
}

} // namespace

LinkResult CDeviceCommandLink::SendFrame(CommandCode code, uint8_t length, uint16_t offset,
                                         const uint8_t* payload, FrameLock lock, uint8_t* readOut,
                                         size_t readLength, FrameBytes* replyOut) {
    const FrameBytes request = CommandRequest::Make(Code(code), length, offset, payload).Serialise();
    FrameBytes reply{};
    LinkResult result;
    switch (lock) {
    case FrameLock::Command: {
        std::lock_guard<std::mutex> guard(m_commandLock);
        result = Exchange(request.data(), kFrameSize, reply.data(), kFrameSize, nullptr);
        break;
    }
    case FrameLock::Lighting: {
        std::lock_guard<std::mutex> guard(m_lightingLock);
        result = Exchange(request.data(), kFrameSize, reply.data(), kFrameSize, nullptr);
        break;
    }
    case FrameLock::ExchangeOnly:
    default:
        result = Exchange(request.data(), kFrameSize, reply.data(), kFrameSize, nullptr);
        break;
    }
    if (replyOut)
        *replyOut = reply;
    if (result != kResultOk)
        return result;
    const ReplyView view(reply.data());
    if (const LinkResult status = view.StatusResult(); status != kResultOk)
        return status;
    if (readOut && readLength > 0)
        std::memcpy(readOut, view.Data(), std::min(readLength, kFramePayloadSize));
    return kResultOk;
}

LinkResult CDeviceCommandLink::WriteChunked(CommandCode code, const uint8_t* source, size_t total,
                                            uint32_t base, FrameLock lock, size_t chunk, bool wrapOffset) {
    if (total > 0 && !source)
        return kResultFailed;
    // An area beyond 16 bits would wrap onto its own start and overwrite it.
    if (!wrapOffset && base + total > kAreaLimit)
        return kResultFailed;
    for (size_t p = 0; p < total; p += chunk) {
        const size_t n = std::min(chunk, total - p);
        const auto offset = static_cast<uint16_t>((base + p) & 0xFFFF);
        const LinkResult result =
            SendFrame(code, static_cast<uint8_t>(n), offset, source + p, lock, nullptr, 0);
        if (result != kResultOk)
            return result;
    }
    return kResultOk;
}

LinkResult CDeviceCommandLink::ReadChunked(CommandCode code, uint8_t* destination, size_t total,
                                           uint32_t base) {
    if (total > 0 && !destination)
        return kResultFailed;
    if (base + total > kAreaLimit)
        return kResultFailed;
    for (size_t p = 0; p < total; p += m_chunkSize) {
        const size_t n = std::min<size_t>(m_chunkSize, total - p);
        const LinkResult result = SendFrame(code, static_cast<uint8_t>(n), static_cast<uint16_t>(base + p),
                                            nullptr, FrameLock::Command, destination + p, n);
        if (result != kResultOk)
            return result;
    }
    return kResultOk;
}

LinkResult CDeviceCommandLink::BeginConfig() {
    return SendFrame(CommandCode::BeginConfig, 0, 0, nullptr, FrameLock::Command, nullptr, 0);
}

LinkResult CDeviceCommandLink::EndConfig() {
    // The device needs a moment after the last write before it leaves configuration mode.
    std::this_thread::sleep_for(std::chrono::milliseconds(kEndConfigDelayMs));
    return SendFrame(CommandCode::EndConfig, 0, 0, nullptr, FrameLock::Command, nullptr, 0);
}

LinkResult CDeviceCommandLink::EnterLiveLighting() {
    return SendFrame(CommandCode::EnterLiveLighting, 0, 0, nullptr, FrameLock::Command, nullptr, 0);
}

LinkResult CDeviceCommandLink::ReadDeviceInfo(DeviceInfoRecord& record) {
    DeviceInfoRecord fresh{};
    const LinkResult result = ReadChunked(CommandCode::ReadDeviceInfo, fresh.data(), fresh.size(), 0);
    if (result == kResultOk)
        record = fresh;
    return result;
}

LinkResult CDeviceCommandLink::ReadParameters(uint8_t* buffer, size_t length, uint16_t offset) {
    return ReadChunked(CommandCode::ReadParameters, buffer, length, offset);
}

LinkResult CDeviceCommandLink::WriteParameters(const uint8_t* buffer, size_t length, uint16_t offset) {
    return WriteChunked(CommandCode::WriteParameters, buffer, length, offset, FrameLock::Command,
                        m_chunkSize);
}

LinkResult CDeviceCommandLink::ReadKeyTable(uint8_t* buffer) {
    return ReadChunked(CommandCode::ReadKeyTable, buffer, DataSize(), 0);
}

LinkResult CDeviceCommandLink::WriteKeyTable(const uint8_t* buffer, int page) {
    if (page != 0)
        return kResultBadPage;
    return WriteChunked(CommandCode::WriteKeyTable, buffer, DataSize(), 0, FrameLock::Command, m_chunkSize);
}

LinkResult CDeviceCommandLink::ReadKeyIndexTable(uint8_t* buffer) {
    return ReadChunked(CommandCode::ReadKeyIndexTable, buffer, DataSize() / 3, 0);
}

LinkResult CDeviceCommandLink::WriteLightingPage(const uint8_t* buffer, size_t length, int page,
                                                 int pageSize) {
    const auto base = static_cast<uint32_t>(static_cast<int64_t>(page) * pageSize) & 0xFFFF;
    return WriteChunked(CommandCode::WriteLightingPage, buffer, length, base, FrameLock::Lighting,
                        m_chunkSize, true);
}

LinkResult CDeviceCommandLink::StreamLighting(const uint8_t* buffer, size_t length) {
    if (length > 0 && !buffer)
        return kResultFailed;
    if (length > kAreaLimit)
        return kResultFailed;
    for (size_t p = 0; p < length; p += m_chunkSize) {
        const size_t n = std::min<size_t>(m_chunkSize, length - p);
        // Live colours are stale in 50 ms anyway: give way to a logged exchange rather than wait.
        if (IsBusy()) {
            DebugLog("放弃灯光数据");
            continue;
        }
        // Through a wireless receiver the stream would only crowd out the configuration frames.
        if (LongTimeouts())
            continue;
        const FrameBytes request =
            CommandRequest::Make(Code(CommandCode::StreamLighting), static_cast<uint8_t>(n),
                                 static_cast<uint16_t>(p), buffer + p)
                .Serialise();
        FrameBytes reply{};
        LinkResult result;
        {
            std::lock_guard<std::mutex> guard(m_lightingLock);
            result = ExchangeQuiet(request.data(), kFrameSize, reply.data(), kFrameSize, nullptr);
        }
        if (result != kResultOk)
            return result;
        if (const LinkResult status = ReplyView(reply.data()).StatusResult(); status != kResultOk)
            return status;
    }
    return kResultOk;
}

LinkResult CDeviceCommandLink::SendOutputReport(const uint8_t* report, size_t length) {
    if (!report || length == 0 || length > 0xFFFF)
        return kResultFailed;
    if (!IsOpen())
        return kResultFailed;
    if (IsBusy())
        return kResultOk; // stale in 50 ms anyway, as a live frame
    std::lock_guard<std::mutex> lighting(m_lightingLock);
    // The exchange lock keeps the write apart from a frame another thread is writing.
    std::lock_guard<std::mutex> exchange(m_exchangeLock);
    uint32_t sent = 0;
    // As the headset wants its LED reports: SET_REPORT on the control pipe.
    if (m_transport.SetOutputReport(report, static_cast<uint32_t>(length), &sent, kTimeoutMs) != 1)
        return kResultFailed;
    return sent == length ? kResultOk : kResultFailed;
}

LinkResult CDeviceCommandLink::WriteMacroArea(const uint8_t* buffer, size_t length) {
    return WriteChunked(CommandCode::WriteMacroArea, buffer, length, 0, FrameLock::Command, m_chunkSize);
}

LinkResult CDeviceCommandLink::WriteShootArea(const uint8_t* buffer, size_t length) {
    return WriteChunked(CommandCode::WriteShootArea, buffer, length, 0, FrameLock::ExchangeOnly,
                        kFramePayloadSize);
}

LinkResult CDeviceCommandLink::ReadBlock(uint8_t* buffer, size_t length, uint16_t offset) {
    if (length > kFramePayloadSize || (length > 0 && !buffer))
        return kResultFailed;
    return SendFrame(CommandCode::ReadBlock, static_cast<uint8_t>(length), offset, nullptr,
                     FrameLock::Command, buffer, length);
}

bool CDeviceCommandLink::Probe() {
    FrameBytes reply{};
    const LinkResult result =
        SendFrame(CommandCode::Probe, 0, 0, nullptr, FrameLock::Command, nullptr, 0, &reply);
    return result == kResultOk && reply[kFrameHeaderSize] == kProbeAnswer;
}

} // namespace nk7x
