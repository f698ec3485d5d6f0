// The mouse pad's fixed sizes: its LEDs and the settings record it shares with the headset.
#pragma once

namespace nk7x {

inline constexpr int kMousePadLedCount = 15;
// The pad's settings record as written (the headset writes the same record).
inline constexpr int kPadSettingsRecordSize = 21;
// Reads fetch this many bytes; the mirror keeps the first kPadSettingsRecordSize.
inline constexpr int kPadSettingsReadSize = 26;

} // namespace nk7x
