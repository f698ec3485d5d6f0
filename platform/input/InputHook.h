// The global input hook: while installed, every key and mouse button the user presses anywhere
// on the desktop reaches the program, and keys (except Caps Lock, Num Lock and Scroll Lock)
// reach no other program. Backends: evdev (all keyboards and mice) and a window grab (only
// what this program's window receives), chosen by whoever creates the hook.
#pragma once

#include "platform/input/InputEvent.h"

#include <functional>
#include <string>

namespace nk7x {

// What the hooked events are for. The values are the ones the rest of the program uses to
// name a recording kind.
enum class HookMode : int {
    KeyPick = 1,        // the key assignment panel's key field has the focus: keys only
    Record = 4,         // recording, appended to the macro
    RecordBefore = 8,   // recording, inserted before the selected event
    RecordAfter = 16,   // recording, inserted after the selected event
    RecordReplace = 32, // recording that replaces the selected event's key or button
};

// True for the modes in which mouse buttons are delivered too (all but key picking).
inline bool HookModeWantsMouse(HookMode mode) {
    return mode != HookMode::KeyPick;
}

// Receives the hooked events. Backends call it on a thread of their own (never on two threads at
// once, never after Uninstall has returned); the caller hands the event to its UI thread.
using InputSink = std::function<void(const InputEvent&)>;

class IInputHook {
  public:
    virtual ~IInputHook() = default;

    // Starts delivering events of `mode` to `sink`, replacing an earlier installation (its sink
    // gets nothing more). False when the backend cannot hook anything (LastError() says why;
    // the caller then falls back to another backend); nothing is installed then.
    virtual bool Install(HookMode mode, InputSink sink) = 0;

    // Stops delivering; the sink is not called after this returns. Harmless when not installed.
    virtual void Uninstall() = 0;

    virtual bool Installed() const = 0;
    virtual HookMode Mode() const = 0;

    // What the macro panel shows so the user knows what is being recorded, e.g. "all keyboards
    // and mice (evdev)" or "this window".
    virtual std::string Name() const = 0;

    // Why the last Install failed (empty after a success).
    virtual std::string LastError() const = 0;

    // What works less than fully while installed (e.g. lock keys that cannot be passed on, a
    // keyboard another program holds); empty when everything works. One line per point.
    virtual std::string Limitations() const = 0;
};

} // namespace nk7x
