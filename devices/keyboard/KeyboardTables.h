// The keyboard's fixed tables: the factory code of each of its 126 program keys, as the keyboard
// holds them when new. Shared by the keyboard page, the default profile and the device emulator.
#pragma once

#include <array>
#include <cstdint>

#include "profiles/ProfileRecords.h" // KeyCode: the 3-byte key code shared with the profile

namespace nk7x {

inline constexpr int kKeyboardKeyCount = 126;

struct DefaultKeyEntry {
    KeyCode code;
    const char* label; // the key's name after "keyboard_key_"; nullptr when it has none
};

// Indexed by key index 0..125.
extern const std::array<DefaultKeyEntry, kKeyboardKeyCount> DefaultKeyCodeTable;

} // namespace nk7x
