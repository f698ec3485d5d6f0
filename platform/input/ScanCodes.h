// Linux input key codes (KEY_* of linux/input-event-codes.h) and the scan code set 1 codes with
// the extended (E0) flag that the key tables look keys up by. X11 key codes are these plus 8.
#pragma once

#include <cstdint>
#include <optional>

namespace nk7x {

struct ScanCode {
    uint8_t code = 0;      // scan code set 1, without the E0 prefix
    bool extended = false; // an E0 key

    bool operator==(const ScanCode&) const = default;
};

// The distance between X11 key codes and Linux input key codes.
inline constexpr int kX11KeyCodeOffset = 8;

// The scan code of a key, or nothing for keys without one (or codes that are no key).
// Follows what the key tables expect, also where that departs from the plain set 1 code:
// Pause is 0x45 and Num Lock 0x45 extended; right Shift is 0x36 extended.
std::optional<ScanCode> ScanCodeFromKeyCode(uint16_t keyCode);

// The key of a scan code, or nothing. Right Shift is found both as 0x36 and 0x36 extended.
std::optional<uint16_t> KeyCodeFromScanCode(ScanCode scanCode);

} // namespace nk7x
