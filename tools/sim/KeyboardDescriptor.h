// The report descriptor of the emulated keyboard's interface 1: system control (report 1), keyboard
// (report 2), consumer control (report 3, one 16-bit usage) and the vendor command collection
// (report 4, 63 data bytes each way, so a command frame is 64 bytes with its report id).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "tools/sim/SimDescriptorParts.h"

namespace nk7x {

inline constexpr uint8_t kSimReportSystem = 1;
inline constexpr uint8_t kSimReportKeyboard = 2;

const std::vector<uint8_t>& KeyboardInterfaceDescriptor();

} // namespace nk7x
