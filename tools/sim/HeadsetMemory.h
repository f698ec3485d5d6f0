// What the emulated headset's device information record says of it. Its settings record, live
// colours and status block are the mouse pad's (PadMemory.h); it has no tables, macros or shoot area.
#pragma once

#include <cstdint>

namespace nk7x {

inline constexpr uint8_t kSimHeadsetKind = 7; // device information byte 4; byte 5 is its 13 LEDs

} // namespace nk7x
