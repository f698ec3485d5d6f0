// The 16-bit codes of a device's notification interface and the key events they carry: the
// numbers as the interface sends them, and their decoded form that the pages act on.
#pragma once

#include <cstdint>
#include <optional>

namespace nk7x {

enum class NotifyCode : uint16_t {
    Sync = 0x401,    // settings changed on the device
    SyncRed = 0x402, // the same, colour reset to red on the device
    Status = 0x404,  // nothing visible
    KeyDown = 0x500, // + device position
    KeyUp = 0x600,   // + device position
};

// A key reported by the device: pressed or released. The numbers are the ones the preview's
// key hooks and the preview scripts have always used.
enum class KeyEventKind : uint8_t { Press = 1, Release = 2 };

// The raw codes, for what sends them (the emulator, tests).
inline constexpr uint16_t kNotifySync = static_cast<uint16_t>(NotifyCode::Sync);
inline constexpr uint16_t kNotifySyncRed = static_cast<uint16_t>(NotifyCode::SyncRed);
inline constexpr uint16_t kNotifyStatus = static_cast<uint16_t>(NotifyCode::Status);
inline constexpr uint16_t kNotifyKeyDown = static_cast<uint16_t>(NotifyCode::KeyDown);
inline constexpr uint16_t kNotifyKeyUp = static_cast<uint16_t>(NotifyCode::KeyUp);

// A decoded code: which notification, and for a key event the device position (0-255).
struct Notification {
    NotifyCode code = NotifyCode::Status;
    int position = 0;
    bool operator==(const Notification&) const = default;
};

// Nothing for a code the interface does not define.
constexpr std::optional<Notification> DecodeNotification(uint16_t code) {
    switch (code) {
    case kNotifySync:
        return Notification{NotifyCode::Sync, 0};
    case kNotifySyncRed:
        return Notification{NotifyCode::SyncRed, 0};
    case kNotifyStatus:
        return Notification{NotifyCode::Status, 0};
    default:
        break;
    }
    if (code >= kNotifyKeyDown && code <= kNotifyKeyDown + 0xFF)
        return Notification{NotifyCode::KeyDown, code - kNotifyKeyDown};
    if (code >= kNotifyKeyUp && code <= kNotifyKeyUp + 0xFF)
        return Notification{NotifyCode::KeyUp, code - kNotifyKeyUp};
    return std::nullopt;
}

// The code of a key event at a device position (0-255).
constexpr uint16_t KeyEventCode(KeyEventKind kind, int position) {
    const uint16_t base = kind == KeyEventKind::Press ? kNotifyKeyDown : kNotifyKeyUp;
    return static_cast<uint16_t>(base + (position & 0xFF));
}

// A number read from a preview script or an older caller; nothing for any other number.
constexpr std::optional<KeyEventKind> KeyEventKindFromNumber(int number) {
    if (number == 1)
        return KeyEventKind::Press;
    if (number == 2)
        return KeyEventKind::Release;
    return std::nullopt;
}

} // namespace nk7x
