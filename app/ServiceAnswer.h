// The answer to the service query: a block of 256 32-bit integers naming the program's version and
// the device kinds it supports.
#pragma once

#include <cstdint>
#include <vector>

namespace nk7x {

struct SupportedDevice {
    uint32_t vendorId;
    uint32_t productId;
    int32_t kind;
};

inline constexpr int kServiceAnswerInts = 256;

// 2, 3, 0, 2 (the version), the row count, then vendor, product and kind per row, zeros to the
// end. Rows that would not fit are left out, and the count says how many are in.
std::vector<int32_t> BuildServiceAnswer(const std::vector<SupportedDevice>& rows);

// The rows of the device option table, in its order.
std::vector<SupportedDevice> OptionTableDevices();

} // namespace nk7x
