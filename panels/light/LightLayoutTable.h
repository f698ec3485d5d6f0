// Which control groups of the lighting panel each mode enables, shows or hides, per layout style
// (keyboard, mouse, mouse pad and headset), and the direction captions a mode uses.
#pragma once

#include <array>
#include <cstddef>

#include "link/DeviceKind.h"

namespace nk7x {

// A group's state after a re-layout: left as it was, on (enabled / shown) or off.
enum class GroupState { Keep, On, Off };

// The enabling groups, in table column order.
enum class LightGroup : int {
    MultiColor = 0, // "deng_7color_check"
    RgbEdits,       // "deng_RGB_edit"
    ColorSelects,   // "deng_color_select", "deng_color_select1"
    ColorLayout,    // "deng_color_layout"
    Palette,        // "colorpallet_layout"
    Brightness,     // "deng_light_layout"
    Direction,      // "deng_fx_layout"
    Count
};
inline constexpr std::size_t kLightGroupCount = static_cast<std::size_t>(LightGroup::Count);

enum class DirectionCaptions { LeftRight, DownUp, OutsideInside };

struct LightLayoutRow {
    std::array<GroupState, kLightGroupCount> enable{};
    GroupState speedShown = GroupState::Keep;   // keyboard: visibility of "deng_speed_layout"
    GroupState speedEnabled = GroupState::Keep; // enabling of "deng_speed_layout"
    bool sameMode = false;                      // "deng_same_mode" may be shown
    bool customShown = false;                   // "lightcustom_layout"
    bool secondaryShown = false;                // "light_combo_ZZCCmodeSelectLayout"
    DirectionCaptions captions = DirectionCaptions::LeftRight;
};

// The row of a lighting mode for the panel of a device kind: the keyboard's table, the mouse's
// (a mouse behind its receiver too), or the one the mouse pad and the headset share. A mode that
// no row lists gets the table's last row.
LightLayoutRow LightLayoutFor(DeviceKind kind, int mode);

// Whether a kind's re-layout starts by hiding the keyboard-only groups and the speed layout.
constexpr bool IsKeyboardLayoutStyle(DeviceKind kind) {
    return kind == DeviceKind::Keyboard;
}

// Language keys of the left ("deng_FXL_check") and right ("deng_FXR_check") direction captions.
const char* LeftCaptionKey(DirectionCaptions c);
const char* RightCaptionKey(DirectionCaptions c);

} // namespace nk7x
