#include "tools/sim/SimFrame.h"

#include <cstring>

namespace nk7x {

uint16_t SimFrameChecksum(const uint8_t* frame) {
    uint16_t sum = 0;
    for (size_t i = 3; i < sizeof(SimFrameWire); ++i)
        sum = static_cast<uint16_t>(sum + frame[i]);
    return sum;
}

SimFrameFields ParseSimFrame(const uint8_t* frame) {
    SimFrameWire wire;
    std::memcpy(&wire, frame, sizeof wire);
    SimFrameFields f;
    f.reportId = wire.reportId;
    f.checksum = static_cast<uint16_t>(wire.checksumLow | wire.checksumHigh << 8);
    f.command = wire.command;
    f.length = wire.length;
    f.offset = static_cast<uint16_t>(wire.offsetLow | wire.offsetHigh << 8);
    f.status = wire.status;
    std::memcpy(f.data.data(), wire.data, sizeof wire.data);
    return f;
}

void SerialiseSimFrame(const SimFrameFields& fields, uint8_t* frame) {
    SimFrameWire wire{};
    wire.reportId = fields.reportId;
    wire.command = fields.command;
    wire.length = fields.length;
    wire.offsetLow = static_cast<uint8_t>(fields.offset & 0xFF);
    wire.offsetHigh = static_cast<uint8_t>(fields.offset >> 8);
    wire.status = fields.status;
    std::memcpy(wire.data, fields.data.data(), sizeof wire.data);
    std::memcpy(frame, &wire, sizeof wire);
    const uint16_t sum = SimFrameChecksum(frame);
    frame[1] = static_cast<uint8_t>(sum & 0xFF);
    frame[2] = static_cast<uint8_t>(sum >> 8);
}

} // namespace nk7x
