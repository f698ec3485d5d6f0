// One hooked input event, whatever backend caught it: a key (by its scan code set 1 code and
// extended flag, as the key tables look keys up) or a mouse button, pressed or released.
#pragma once

#include <cstdint>

namespace nk7x {

enum class InputEventKind : uint8_t {
    Key,
    MouseButton,
};

enum class MouseButtonId : uint8_t {
    Left,
    Right,
    Middle,
    Back,    // the first extra button (thumb button nearer the wrist)
    Forward, // the second extra button
};

struct InputEvent {
    InputEventKind kind = InputEventKind::Key;
    // Press or release. A key held down produces repeated presses (the desktop's auto-repeat);
    // backends pass them on and the recorder's own filter drops them.
    bool down = true;

    // Keys: scan code set 1 (without the E0 prefix) and whether the key is an extended (E0) key.
    // scanCode 0 means the key has no scan code of its own (media keys and the like); such keys
    // match no row of the key tables.
    uint8_t scanCode = 0;
    bool extended = false;
    // The Linux input key code (KEY_*) when the backend knows it, else 0. Informational.
    uint16_t keyCode = 0;

    // Mouse buttons.
    MouseButtonId button = MouseButtonId::Left;
    // The cursor position in screen coordinates when the event happened, if known. The evdev
    // backend cannot know it (devices report motion, not positions): whoever hands its events
    // to the UI thread fills it in from the cursor position there.
    bool hasPosition = false;
    int x = 0;
    int y = 0;

    // Milliseconds of the monotonic clock at the event (0 when unknown). Informational: the
    // recorder measures delays with its own clock.
    int64_t timeMs = 0;
};

// Shorthands for the two kinds of event.
inline InputEvent KeyInputEvent(uint8_t scanCode, bool extended, bool down, uint16_t keyCode = 0) {
    InputEvent e;
    e.kind = InputEventKind::Key;
    e.scanCode = scanCode;
    e.extended = extended;
    e.down = down;
    e.keyCode = keyCode;
    return e;
}

inline InputEvent MouseInputEvent(MouseButtonId button, bool down) {
    InputEvent e;
    e.kind = InputEventKind::MouseButton;
    e.button = button;
    e.down = down;
    return e;
}

inline InputEvent MouseInputEventAt(MouseButtonId button, bool down, int x, int y) {
    InputEvent e = MouseInputEvent(button, down);
    e.hasPosition = true;
    e.x = x;
    e.y = y;
    return e;
}

} // namespace nk7x
