// The constant tables of the light preview engine: brightness alphas, colour wheel, curves, palette,
// the keyboard layouts and orders, the ring matrix and the mouse zones, plus the two counter helpers.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace nk7x::light {

struct Rgb {
    uint8_t r = 0;
    uint8_t g = 0;
    uint8_t b = 0;
    bool operator==(const Rgb&) const = default;
};

inline constexpr uint8_t kNoKey = 126;  // empty cell of the keyboard layouts
inline constexpr uint8_t kNoSlot = 255; // empty slot of the ring, zone and key-group tables
inline constexpr std::size_t kKeyboardKeys = 126;
inline constexpr std::size_t kColumns = 23;
inline constexpr std::size_t kRows = 6;
inline constexpr std::size_t kRows7 = 7;
inline constexpr std::size_t kRings = 12;
inline constexpr std::size_t kMarks = 23;

extern const std::array<uint8_t, 5> kBrightnessAlpha;
extern const std::array<Rgb, 256> kWheel; // 192 colours, 192..255 repeat 0..63
extern const std::array<uint8_t, 128> kBreathing;
extern const std::array<uint8_t, 96> kWave;
extern const std::array<uint8_t, 192> kTwinkle;
extern const std::array<Rgb, 4> kPalette;
// Ticks per step by speed 0..4: devices that the program drives, and the blink half-periods / 200 ms.
extern const std::array<uint8_t, 5> kSlowThresholds;
// Ticks per step of the colour-cycle frames of a user light effect.
extern const std::array<uint8_t, 5> kFastThresholds;

extern const std::array<std::array<uint8_t, kRows>, kColumns> kKeyMatrix;
extern const std::array<std::array<uint8_t, kRows7>, kColumns> kKeyMatrix7;
extern const std::array<std::array<uint8_t, 12>, kRings> kRingMatrix;
extern const std::array<std::array<uint8_t, 3>, 9> kMouseZones;
extern const std::array<uint8_t, 105> kKeyOrder;
extern const std::array<uint8_t, 126> kRunOrder; // kNoSlot: a position that lights nothing
extern const std::array<uint8_t, 139> kPhaseStart;
extern const std::array<std::array<uint8_t, 11>, 52> kPathTable;
extern const std::array<std::array<uint8_t, 6>, 20> kIntroTable;
extern const std::array<std::array<uint8_t, 2>, 16> kOrbitTable;

// Brightness alpha of a level; levels above 4 read as 4 (profiles are untrusted).
inline uint8_t BrightnessAlpha(uint8_t level) {
    return kBrightnessAlpha[level < 5 ? level : 4];
}
// The threshold row entry of a speed; speeds above 4 read as 4.
inline uint8_t ThresholdFor(const std::array<uint8_t, 5>& row, uint8_t speed) {
    return row[speed < 5 ? speed : 4];
}

// Direction counter on 8-bit values: forwards wraps to 0 at `limit`, backwards wraps to limit - step.
uint8_t Advance(bool forwards, uint8_t limit, uint8_t c, uint8_t step);

// One decay step of a key intensity: fast while bright, slow near the end.
constexpr uint8_t FadeIntensityOnce(uint8_t i) {
    if (i >= 128)
        return static_cast<uint8_t>(i - 40);
    if (i & 0x40)
        return static_cast<uint8_t>(i - 30);
    if (i & 0x20)
        return static_cast<uint8_t>(i - 10);
    if (i >= 17)
        return static_cast<uint8_t>(i - 8);
    return i > 0 ? static_cast<uint8_t>(i - 1) : 0;
}
inline constexpr std::array<uint8_t, 256> kFadeTable = [] {
    std::array<uint8_t, 256> t{};
    for (std::size_t i = 0; i < t.size(); ++i)
        t[i] = FadeIntensityOnce(static_cast<uint8_t>(i));
    return t;
}();
inline uint8_t FadeIntensity(uint8_t intensity) {
    return kFadeTable[intensity];
}

// component × alpha / 256, rounded down.
inline uint8_t Scale(uint8_t value, uint8_t alpha) {
    return static_cast<uint8_t>((value * alpha) >> 8);
}

} // namespace nk7x::light
