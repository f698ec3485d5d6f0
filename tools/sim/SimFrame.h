// The device side's own reading of the 64-byte command frame: report id, checksum over bytes 3..63
// (low byte first), command code, payload length, 16-bit offset, status byte and 56 data bytes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace nk7x {

#pragma pack(push, 1)
struct SimFrameWire {
    uint8_t reportId;
    uint8_t checksumLow;
    uint8_t checksumHigh;
    uint8_t command;
    uint8_t length;
    uint8_t offsetLow;
    uint8_t offsetHigh;
    uint8_t status;
    uint8_t data[56];
};
#pragma pack(pop)
static_assert(sizeof(SimFrameWire) == 64, "a command frame is one 64-byte report");

struct SimFrameFields {
    uint8_t reportId = 0;
    uint16_t checksum = 0; // as stored in bytes 1-2
    uint8_t command = 0;
    uint8_t length = 0;
    uint16_t offset = 0;
    uint8_t status = 0;
    std::array<uint8_t, 56> data{};
};

// Sum of bytes 3..63 of a 64-byte frame, each unsigned, in 16 bits.
uint16_t SimFrameChecksum(const uint8_t* frame);

// Reads a 64-byte frame. The caller has checked the size.
SimFrameFields ParseSimFrame(const uint8_t* frame);
// Writes the fields into 64 bytes; the stored checksum is computed over the result, not taken
// from `fields`.
void SerialiseSimFrame(const SimFrameFields& fields, uint8_t* frame);

} // namespace nk7x
