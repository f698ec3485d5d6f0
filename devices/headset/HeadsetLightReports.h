// The headset's LED frame on the wire: twelve 17-byte output reports, one per LED bank, colour and
// half of the 13 LEDs, built from the colours the light engine computed.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "devices/light/LightEngine.h"

namespace nk7x {

inline constexpr std::size_t kHeadsetReportSize = 17;
inline constexpr int kHeadsetReportsPerFrame = 12;
inline constexpr uint8_t kHeadsetReportId = 0xFF;
// The two LED banks; both receive the same colours.
inline constexpr uint8_t kHeadsetBankA = 0x22;
inline constexpr uint8_t kHeadsetBankB = 0x44;
// Colour-and-half codes: red, green, blue of LEDs 0..6, then of LEDs 7..12.
inline constexpr std::array<uint8_t, 3> kHeadsetFirstHalfCodes = {0xAA, 0xAB, 0xAC};
inline constexpr std::array<uint8_t, 3> kHeadsetSecondHalfCodes = {0xAD, 0xAE, 0xAF};
inline constexpr int kHeadsetFirstHalfLeds = 7;
// The headset takes no colour value above this.
inline constexpr uint8_t kHeadsetMaxColourValue = 0xF7;

using HeadsetReport = std::array<uint8_t, kHeadsetReportSize>;
using HeadsetFrame = std::array<HeadsetReport, kHeadsetReportsPerFrame>;

// One colour value on the wire: component x alpha / 256, at most 0xF7.
uint8_t HeadsetColourValue(uint8_t component, uint8_t alpha);

// The frame in sending order: bank A first half, bank A second half, bank B first half, bank B
// second half, for red, then green, then blue. LEDs missing from `colours` are sent dark; colours
// beyond the 13th are not sent.
HeadsetFrame BuildHeadsetFrame(std::span<const light::Rgba> colours);

} // namespace nk7x
