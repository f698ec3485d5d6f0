// The report descriptor of the emulated keyboard's interface 1: system control (report 1), keyboard
// (report 2), consumer control (report 3, one 16-bit usage) and the vendor command collection
// (report 4, 63 data bytes each way, so a command frame is 64 bytes with its report id).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace nk7x {

inline constexpr uint8_t kSimReportSystem = 1;
inline constexpr uint8_t kSimReportKeyboard = 2;
inline constexpr uint8_t kSimReportConsumer = 3;
inline constexpr uint8_t kSimReportVendor = 4;
inline constexpr size_t kSimConsumerReportBytes = 3; // report id + 16-bit usage
inline constexpr size_t kSimVendorReportBytes = 64;  // report id + 63 data bytes

const std::vector<uint8_t>& KeyboardInterfaceDescriptor();

} // namespace nk7x
