// The built-in lighting modes of each device kind in mode order, with the language key that names
// each one and whether the mode list shows it, and the names of each kind's lighting areas.
// "default_light.json" carries the same lists for the lighting panel.
#pragma once

#include <span>

namespace nk7x {

// Kind numbers as the data files index them: keyboard 0, mouse 1, mouse pad 2, headset 3.
inline constexpr int kLightKindCount = 4;

struct BuiltInLightMode {
    const char* nameKey;
    // Hidden modes have no effect of their own: the preview plays a user light effect there.
    bool visible;
};

// The modes of a kind, element i being mode i; empty for an unknown kind number.
std::span<const BuiltInLightMode> BuiltInLightModes(int kindNumber);

// The language keys of a kind's lighting areas; empty for an unknown kind number.
std::span<const char* const> LightAreaNames(int kindNumber);

} // namespace nk7x
