// Which key of the key table a key press in the toolkit stands for, for key picking in the key
// assignment editor until the input layer reports the keys itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

class QKeyEvent;

namespace nk7x {

// The key-table row of an evdev key code (the X server's key code less 8); nothing for a key the
// table does not hold.
std::optional<std::size_t> KeyRowOfEvdevCode(uint32_t code);

// The key-table row of a toolkit key (Qt::Key) with its keyboard modifiers; nothing when none fits.
std::optional<std::size_t> KeyRowOfQtKey(int key, bool keypad);

// The row of a key press: from the native key code where the platform gives one, else from the
// toolkit's key.
std::optional<std::size_t> KeyRowOfEvent(const QKeyEvent& event);

} // namespace nk7x
