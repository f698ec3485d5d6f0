// The report descriptor of the emulated mouse's interface 1 (by cable and through the receiver):
// mouse (report 1: five buttons, 16-bit X/Y, wheel), keyboard (report 2, the keys a macro or a button
// sends), then the consumer-control and vendor command collections as the keyboard has them.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/sim/SimDescriptorParts.h"

namespace nk7x {

inline constexpr uint8_t kSimReportMouse = 1;
inline constexpr uint8_t kSimReportMouseKeys = 2;

const std::vector<uint8_t>& MouseInterfaceDescriptor();

} // namespace nk7x
