// The mouse pad's fixed sizes: its LEDs and the settings record it shares with the headset.
#pragma once

#include <cstddef>

namespace nk7x {

inline constexpr int kMousePadLedCount = 15;
// The pad's settings record as written (the headset writes the same record).
inline constexpr int kPadSettingsRecordSize = 21;
// Reads fetch this many bytes; the mirror keeps the first kPadSettingsRecordSize.
inline constexpr int kPadSettingsReadSize = 26;
// Record n is read at n x 25 and written at n x 64 of the parameter area (record 0 at 0 both ways).
inline constexpr std::size_t kPadSettingsReadStride = 25;
inline constexpr std::size_t kPadSettingsWriteStride = 64;

} // namespace nk7x
