// The headset's LED output reports (report id 0xFF, 17 bytes): which bank, colour and half of the LEDs
// one sets, and how it changes the LED colours the emulator keeps.
#pragma once

#include <cstddef>
#include <cstdint>

#include "tools/sim/SimDevice.h"

namespace nk7x {

inline constexpr uint8_t kSimReportHeadsetLighting = 0xFF;
inline constexpr size_t kSimHeadsetLightingReportBytes = 17; // report id + 16 data bytes
inline constexpr uint8_t kSimHeadsetBank22 = 0x22;
inline constexpr uint8_t kSimHeadsetBank44 = 0x44;

// Byte 2: one colour of one half. Red, green, blue of LEDs 0..6 (seven values), then of LEDs 7..12
// (six values); the values start at byte 4.
inline constexpr uint8_t kSimHeadsetFirstCode = 0xAA;
inline constexpr uint8_t kSimHeadsetLastCode = 0xAF;
inline constexpr size_t kSimHeadsetFirstHalfLeds = 7;
inline constexpr size_t kSimHeadsetValuesAt = 4;

// A whole LED output report: exactly 17 bytes, byte 0 the report id 0xFF.
bool IsSimHeadsetLightingReport(const uint8_t* message, size_t size);

// Takes one whole LED output report: counts it, and sets its colour of its half of its bank's LEDs.
// A report naming an unknown bank or code changes no colour and is counted as refused. False then.
bool ApplySimHeadsetLightingReport(SimHeadsetFrame& frame, const uint8_t* report);

} // namespace nk7x
