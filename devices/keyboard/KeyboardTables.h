// The keyboard's fixed tables: the factory code of each of its 126 program keys, as the keyboard
// holds them when new. Shared by the keyboard page, the default profile and the device emulator.
#pragma once

#include <array>
#include <cstdint>

namespace nk7x {

inline constexpr int kKeyboardKeyCount = 126;

// A 3-byte key code: type, byte 1, byte 2 (profile form: type << 16 | b1 << 8 | b2).
struct KeyCode {
    uint8_t type;
    uint8_t b1;
    uint8_t b2;
    constexpr uint32_t Packed() const { return uint32_t(type) << 16 | uint32_t(b1) << 8 | b2; }
    constexpr bool operator==(const KeyCode&) const = default;
};

struct DefaultKeyEntry {
    KeyCode code;
    const char* label; // the key's name after "keyboard_key_"; nullptr when it has none
};

// Indexed by key index 0..125.
extern const std::array<DefaultKeyEntry, kKeyboardKeyCount> DefaultKeyCodeTable;

} // namespace nk7x
