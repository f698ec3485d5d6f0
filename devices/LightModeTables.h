// The built-in lighting modes of each device kind in mode order, with the language key that names
// each one and whether the mode list shows it, and the names of each kind's lighting areas.
// "default_light.json" carries the same lists for the lighting panel.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "link/DeviceKind.h"

namespace nk7x {

// The data files index their lists by family: keyboard 0, mouse 1, mouse pad 2, headset 3.
inline constexpr int kLightKindCount = kDeviceFamilyCount;

// The keyboard's lighting modes, as profiles store them. 0, 20 and 23 play a user light effect in
// the preview, as does every mode from 30 up.
enum class KeyboardLightMode : uint8_t {
    UserEffect = 0,
    Wave = 1,
    Sweep = 2,
    Snake = 3,
    Spectrum = 4,
    Breathing = 5,
    Static = 6,
    Reactive = 7,
    Ripple = 8,
    ReactiveFade = 9,
    Sparkle = 10,
    KeyCycle = 11,
    RowWave = 12,
    CentreRipple = 13,
    Burst = 14,
    Raindrops = 15,
    CornerRipple = 16,
    PresetColour = 17,
    RingWave = 18,
    Custom = 19,
    UserEffect20 = 20,
    RunningKey = 21,
    Twinkle = 22,
    UserEffect23 = 23,
    Blink = 24,
    PathTrail = 25,
    PaletteBreathing = 26,
    PaletteBlink = 27,
    Off = 28,
    ReactiveRipple = 29,
};

// The mouse's lighting modes; from 9 up the modes are the user's light effects.
enum class MouseLightMode : uint8_t {
    Wave = 0,
    Spectrum = 1,
    Breathing = 2,
    Static = 3,
    Blink = 4,
    ZoneChase = 5,
    PaletteBreathing = 6,
    PaletteBlink = 7,
    Off = 8,
};

// The lighting modes of the mouse pad and the headset (they share them); 5 and from 9 up play a
// user light effect.
enum class PadLightMode : uint8_t {
    Wave = 0,
    Spectrum = 1,
    Breathing = 2,
    Static = 3,
    Blink = 4,
    UserEffect = 5,
    RingChase = 6,
    PairChase = 7,
    Off = 8,
};

// A stored mode number as the enum it is compared with; the profile keeps the number itself.
constexpr uint8_t ModeNumber(KeyboardLightMode m) {
    return static_cast<uint8_t>(m);
}
constexpr uint8_t ModeNumber(MouseLightMode m) {
    return static_cast<uint8_t>(m);
}
constexpr uint8_t ModeNumber(PadLightMode m) {
    return static_cast<uint8_t>(m);
}

struct BuiltInLightMode {
    const char* nameKey;
    // Hidden modes have no effect of their own: the preview plays a user light effect there.
    bool visible;
};

// The modes of a family, element i being mode i.
std::span<const BuiltInLightMode> BuiltInLightModes(DeviceFamily family);
// The same for a family index read from a data file; empty for an unknown index.
std::span<const BuiltInLightMode> BuiltInLightModes(int familyIndex);

// How scripts name a mode: its language key without "light_mode_" ("wave", "static", "off").
std::string LightModeScriptName(const BuiltInLightMode& mode);
// The number of the family's visible mode named `name` (ignoring case) or written as its number;
// -1 when the family shows no such mode.
int FindLightMode(DeviceFamily family, std::string_view name);
// The script names of the family's visible modes, in mode order.
std::vector<std::string> VisibleLightModeNames(DeviceFamily family);

// The language keys of a family's lighting areas.
std::span<const char* const> LightAreaNames(DeviceFamily family);
// The same for a family index read from a data file; empty for an unknown index.
std::span<const char* const> LightAreaNames(int familyIndex);

} // namespace nk7x
