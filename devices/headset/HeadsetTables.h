// The headset's fixed tables: the band values of the twelve equaliser presets, and the sizes that
// the profile's EQ sections and the sound panel share.
#pragma once

#include <array>
#include <cstdint>

namespace nk7x {

inline constexpr int kEqBandCount = 10;
inline constexpr int kEqPresetCount = 12;
// EqType 0 means no preset, 1..12 the presets, 13 the user's custom curve.
inline constexpr int kEqTypeNone = 0;
inline constexpr int kEqTypeCustom = 13;
// The sound panel refuses a twenty-first custom curve.
inline constexpr int kMaxCustomEqCurves = 20;
inline constexpr int kHeadsetLedCount = 13;

using EqBands = std::array<int8_t, kEqBandCount>;

// Element t - 1 holds the bands of EqType t ("EQ_Slider1" .. "EQ_Slider10" in order).
extern const std::array<EqBands, kEqPresetCount> EqPresetTable;

// The bands of EqType 1..12; nullptr for every other type (none, custom, out of range).
const EqBands* EqPreset(int eqType);

} // namespace nk7x
