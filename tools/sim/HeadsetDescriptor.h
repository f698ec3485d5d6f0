// The report descriptor of the emulated headset's interface 1: the keyboard's four collections (the
// headset has no input of its own), whose vendor collection also declares the LED output report
// (report id 0xFF, 16 data bytes).
#pragma once

#include <cstdint>
#include <vector>

namespace nk7x {

const std::vector<uint8_t>& HeadsetInterfaceDescriptor();

} // namespace nk7x
