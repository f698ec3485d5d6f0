// The mouse's fixed tables: the factory code and name key of each of its ten buttons, and the
// sizes of its settings that the default profile and the settings record share.
#pragma once

#include "devices/keyboard/KeyboardTables.h"

#include <array>

namespace nk7x {

inline constexpr int kMouseButtonCount = 10;
// The settings record carries five DPI stages; the profile may hold fewer.
inline constexpr int kMouseDpiStageCount = 5;
// Report-rate stages 0..4 ("polling_rate_option_0" .. "polling_rate_option_4").
inline constexpr int kMouseReportStageCount = 5;
// A button the device table does not hold maps to this position.
inline constexpr uint8_t kMouseButtonNotFound = 126;

struct DefaultButtonEntry {
    KeyCode code;
    const char* nameKey; // translation key of the button's name
};

// Indexed by button index 0..9.
extern const std::array<DefaultButtonEntry, kMouseButtonCount> DefaultButtonCodeTable;

} // namespace nk7x
