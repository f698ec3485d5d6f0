#include "devices/LightModeTables.h"

#include "link/KindDescriptors.h"

#include <algorithm>
#include <cctype>

#include <array>
#include <optional>

namespace nk7x {
namespace {

// Modes 0, 20 and 23 play a user light effect in the preview and are not offered in the list.
// clang-format off
constexpr std::array<BuiltInLightMode, 30> kKeyboardModes = {{
    {"light_mode_user_effect", false},       // 0
    {"light_mode_wave", true},               // 1
    {"light_mode_sweep", true},              // 2
    {"light_mode_snake", true},              // 3
    {"light_mode_spectrum", true},           // 4
    {"light_mode_breathing", true},          // 5
    {"light_mode_static", true},             // 6
    {"light_mode_reactive", true},           // 7
    {"light_mode_ripple", true},             // 8
    {"light_mode_reactive_fade", true},      // 9
    {"light_mode_sparkle", true},            // 10
    {"light_mode_key_cycle", true},          // 11
    {"light_mode_row_wave", true},           // 12
    {"light_mode_centre_ripple", true},      // 13
    {"light_mode_burst", true},              // 14
    {"light_mode_raindrops", true},          // 15
    {"light_mode_corner_ripple", true},      // 16
    {"light_mode_preset_colour", true},      // 17
    {"light_mode_ring_wave", true},          // 18
    {"light_mode_custom", true},             // 19
    {"light_mode_user_effect", false},       // 20
    {"light_mode_running_key", true},        // 21
    {"light_mode_twinkle", true},            // 22
    {"light_mode_user_effect", false},       // 23
    {"light_mode_blink", true},              // 24
    {"light_mode_path_trail", true},         // 25
    {"light_mode_palette_breathing", true},  // 26
    {"light_mode_palette_blink", true},      // 27
    {"light_mode_off", true},                // 28
    {"light_mode_reactive_ripple", true},    // 29
}};
// clang-format on

static_assert(kKeyboardModes.size() == ModeNumber(KeyboardLightMode::ReactiveRipple) + 1u);

// Modes 9 and up are the user's light effects.
// clang-format off
constexpr std::array<BuiltInLightMode, 9> kMouseModes = {{
    {"light_mode_wave", true},
    {"light_mode_spectrum", true},
    {"light_mode_breathing", true},
    {"light_mode_static", true},
    {"light_mode_blink", true},
    {"light_mode_zone_chase", true},
    {"light_mode_palette_breathing", true},
    {"light_mode_palette_blink", true},
    {"light_mode_off", true},
}};
// clang-format on

static_assert(kMouseModes.size() == ModeNumber(MouseLightMode::Off) + 1u);

// Mouse pad and headset share their modes; mode 5 plays a user light effect.
// clang-format off
constexpr std::array<BuiltInLightMode, 9> kPadModes = {{
    {"light_mode_wave", true},
    {"light_mode_spectrum", true},
    {"light_mode_breathing", true},
    {"light_mode_static", true},
    {"light_mode_blink", true},
    {"light_mode_user_effect", false},
    {"light_mode_ring_chase", true},
    {"light_mode_pair_chase", true},
    {"light_mode_off", true},
}};
// clang-format on

static_assert(kPadModes.size() == ModeNumber(PadLightMode::Off) + 1u);

constexpr std::array<const char*, 7> kKeyboardAreas = {
    "light_area_all",        "light_area_function_keys", "light_area_number_row", "light_area_wasd",
    "light_area_arrow_keys", "light_area_numpad",        "light_area_macro_keys",
};
constexpr std::array<const char*, 5> kMouseAreas = {
    "light_area_all",        "light_area_logo",        "light_area_wheel",
    "light_area_left_strip", "light_area_right_strip",
};
constexpr std::array<const char*, 4> kPadAreas = {
    "light_area_all",
    "light_area_top_edge",
    "light_area_side_edges",
    "light_area_logo",
};
constexpr std::array<const char*, 3> kHeadsetAreas = {
    "light_area_all",
    "light_area_left_cup",
    "light_area_right_cup",
};

} // namespace

std::span<const BuiltInLightMode> BuiltInLightModes(DeviceFamily family) {
    switch (LightFamily(family)) {
    case DeviceFamily::Keyboard:
        return kKeyboardModes;
    case DeviceFamily::Mouse:
        return kMouseModes;
    case DeviceFamily::MousePad:
    case DeviceFamily::Headset:
        return kPadModes;
    }
    return {};
}

std::span<const BuiltInLightMode> BuiltInLightModes(int familyIndex) {
    const std::optional<DeviceFamily> family = FamilyFromIndex(familyIndex);
    return family ? BuiltInLightModes(*family) : std::span<const BuiltInLightMode>{};
}

std::span<const char* const> LightAreaNames(DeviceFamily family) {
    switch (LightFamily(family)) {
    case DeviceFamily::Keyboard:
        return kKeyboardAreas;
    case DeviceFamily::Mouse:
        return kMouseAreas;
    case DeviceFamily::MousePad:
        return kPadAreas;
    case DeviceFamily::Headset:
        return kHeadsetAreas;
    }
    return {};
}

std::span<const char* const> LightAreaNames(int familyIndex) {
    const std::optional<DeviceFamily> family = FamilyFromIndex(familyIndex);
    return family ? LightAreaNames(*family) : std::span<const char* const>{};
}

std::string LightModeScriptName(const BuiltInLightMode& mode) {
    constexpr std::string_view kPrefix = "light_mode_";
    std::string_view key = mode.nameKey;
    if (key.substr(0, kPrefix.size()) == kPrefix)
        key.remove_prefix(kPrefix.size());
    return std::string(key);
}

int FindLightMode(DeviceFamily family, std::string_view name) {
    const std::span<const BuiltInLightMode> modes = BuiltInLightModes(family);
    int number = -1;
    if (!name.empty() && name.size() <= 3 &&
        std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; }))
        number = std::stoi(std::string(name));
    for (size_t i = 0; i < modes.size(); ++i) {
        if (!modes[i].visible)
            continue;
        const std::string script = LightModeScriptName(modes[i]);
        const bool same = script.size() == name.size() &&
                          std::equal(script.begin(), script.end(), name.begin(), [](char a, char b) {
                              return std::tolower(static_cast<unsigned char>(a)) ==
                                     std::tolower(static_cast<unsigned char>(b));
                          });
        if (same || number == static_cast<int>(i))
            return static_cast<int>(i);
    }
    return -1;
}

std::vector<std::string> VisibleLightModeNames(DeviceFamily family) {
    std::vector<std::string> names;
    for (const BuiltInLightMode& mode : BuiltInLightModes(family))
        if (mode.visible)
            names.push_back(LightModeScriptName(mode));
    return names;
}

} // namespace nk7x
