#include "link/CommandFrame.h"

#include <algorithm>
#include <cstring>

namespace nk7x {

CommandRequest CommandRequest::Make(uint8_t command, uint8_t length, uint16_t offset, const uint8_t* data) {
    CommandRequest r;
    r.command = command;
    r.length = length;
    r.offset = offset;
    if (data)
        std::memcpy(r.payload.data(), data, std::min<size_t>(length, kFramePayloadSize));
    return r;
}

FrameBytes CommandRequest::Serialise() const {
    CommandFrameWire wire{};
    wire.reportId = kCommandReportId;
    wire.command = command;
    wire.length = length;
    wire.offsetLow = static_cast<uint8_t>(offset & 0xFF);
    wire.offsetHigh = static_cast<uint8_t>(offset >> 8);
    wire.status = 0;
    std::memcpy(wire.data, payload.data(), kFramePayloadSize);

    FrameBytes bytes;
    std::memcpy(bytes.data(), &wire, kFrameSize);
    const uint16_t sum = FrameChecksum(bytes.data());
    bytes[1] = static_cast<uint8_t>(sum & 0xFF);
    bytes[2] = static_cast<uint8_t>(sum >> 8);
    return bytes;
}

bool CommandRequest::Parse(const uint8_t* bytes, size_t size, CommandRequest& out) {
    if (!bytes || size < kFrameSize)
        return false;
    CommandFrameWire wire;
    std::memcpy(&wire, bytes, kFrameSize);
    out.command = wire.command;
    out.length = wire.length;
    out.offset = static_cast<uint16_t>(wire.offsetLow | (wire.offsetHigh << 8));
    std::memcpy(out.payload.data(), wire.data, kFramePayloadSize);
    return true;
}

uint16_t FrameChecksum(const uint8_t* frame) {
    unsigned sum = 0;
    for (size_t i = 3; i < kFrameSize; ++i)
        sum += frame[i];
    return static_cast<uint16_t>(sum); // at most 61 x 255, always fits
}

LinkResult ReplyView::StatusResult() const {
    switch (Status()) {
    case kStatusFailed:
        return kResultDeviceFailed;
    case kStatusRefused:
        return kResultDeviceRefused;
    default:
        return kResultOk;
    }
}

std::string FormatHexLine(const uint8_t* bytes32) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string line;
    line.reserve(32 * 3 + 8);
    for (size_t i = 0; i < 32; ++i) {
        if (i > 0) {
            if (i % 4 != 0)
                line += ' ';
            else
                line.append(i <= 12 ? "   " : "  ");
        }
        line += kDigits[bytes32[i] >> 4];
        line += kDigits[bytes32[i] & 0x0F];
    }
    return line;
}

} // namespace nk7x
