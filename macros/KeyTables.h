// The static key, scan-code and mouse event tables: every key and mouse event the program records,
// shows or assigns, with its codes and its display name key, and the lookups between them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace nk7x {

// Category byte of a key-table row.
inline constexpr uint8_t kKeyboardPage = 0x20;  // keyboard-page usage or modifier bit
inline constexpr uint8_t kConsumerPage = 0x30;  // consumer usage, little-endian in the code bytes
inline constexpr uint8_t kSystemControl = 0x40; // system-control bit
inline constexpr uint8_t kDeviceMacro = 0xD0;   // the device's own macro keys M1..M5
inline constexpr uint8_t kDeviceSpecial = 0xA0; // FN and game-mode keys

// One key of the key table: six code bytes and the name key shown for it.
struct KeyTableRow {
    uint8_t virtualKey;  // the desktop virtual-key code, or a substitute value (see placeholder)
    uint8_t placeholder; // 1 when virtualKey is a substitute rather than a real code
    uint8_t category;    // kKeyboardPage, kConsumerPage, ...
    uint8_t codeLow;     // modifier bit, consumer usage low byte, system bit, 0xA2 or special code
    uint8_t codeHigh;    // keyboard usage, consumer usage high byte, macro key number, else 0
    uint8_t reserved;
    std::string_view nameKey;

    // The keyboard-page usage of a category 0x20 row (0 for the modifiers).
    uint8_t Usage() const { return codeHigh; }
    // The modifier bit of rows 0-7 (0 elsewhere in category 0x20).
    uint8_t ModifierBit() const { return codeLow; }
    // The 16-bit consumer usage of a category 0x30 row.
    uint16_t ConsumerUsage() const { return static_cast<uint16_t>(codeLow | (codeHigh << 8)); }
};

// What the keyboard hook reports for a key: one row per key-table row 0..112, in the same order.
struct ScanCodeRow {
    uint8_t virtualKey;
    uint8_t placeholder;
    uint8_t scanCode; // scan code set 1
    uint8_t extended; // 1 for an extended (E0-prefixed) key
};

// One mouse event: the desktop mouse message, its button or move kind, and the name key.
struct MouseEventRow {
    uint16_t message;         // 0x0201 left down ... 0x020C extra up; 0x0004/0x0005 moves; 0x020A wheel
    uint8_t category;         // 0x10 button, 0x15 move, 0x12 wheel
    uint8_t buttonBit;        // 0x01 left, 0x02 right, 0x04 middle, 0x08 back, 0x10 forward
    uint8_t typeAndDirection; // event type in bits 0-6, bit 7 set for "down"
    uint8_t reserved;
    std::string_view nameKey;
};

inline constexpr std::size_t kKeyTableSize = 141;
inline constexpr std::size_t kScanCodeTableSize = 113;
inline constexpr std::size_t kMouseEventTableSize = 15;

// Rows of the key table that macros use (modifiers, standard and international keys).
inline constexpr std::size_t kMacroKeyRows = kScanCodeTableSize;
// Rows 0-7 are the modifiers in bit order, left Ctrl first.
inline constexpr std::size_t kModifierRows = 8;
// Mouse rows 0-9 are button presses and releases, 10-13 the four moves, 14 the wheel.
inline constexpr std::size_t kMouseButtonRows = 10;
inline constexpr std::size_t kMouseMoveFirstRow = 10;
inline constexpr std::size_t kMouseMoveEndRow = 14;

// Mouse category bytes.
inline constexpr uint8_t kMouseButtonCategory = 0x10;
inline constexpr uint8_t kMouseWheelCategory = 0x12;
inline constexpr uint8_t kMouseMoveCategory = 0x15;

std::span<const KeyTableRow> KeyTable();
std::span<const ScanCodeRow> ScanCodeTable();
std::span<const MouseEventRow> MouseEventTable();

// Lookups give the row index, or nothing when no row matches.

// The key pressed, as the keyboard hook reports it (scan code and extended flag): a row 0..112.
std::optional<std::size_t> FindKeyByScanCode(uint8_t scanCode, bool extended);

// The first row from `firstRow` on with this category and these code bytes (key assignment
// shows the key of an assignment with this).
std::optional<std::size_t> FindKeyByCodes(uint8_t category, uint8_t codeLow, uint8_t codeHigh,
                                          std::size_t firstRow = 0);

// The keyboard-page key of a usage: the first row of 8..140 in category 0x20 with code low 0.
std::optional<std::size_t> FindKeyByUsage(uint8_t usage);

// The modifier key of a modifier bit: the first of rows 0..7 whose bit equals `bit`.
std::optional<std::size_t> FindModifierByBit(uint8_t bit);

// The first row with this name key.
std::optional<std::size_t> FindKeyByName(std::string_view nameKey);

// The first mouse button row (0..9) whose button bit equals `bit`.
std::optional<std::size_t> FindMouseButtonByBit(uint8_t bit);

// The mouse move row (10..13) whose type-and-direction byte equals `typeAndDirection`.
std::optional<std::size_t> FindMouseMoveRow(uint8_t typeAndDirection);

// The row of a recorded mouse message: 0x0201..0x0208 take rows 0..5; the extra-button messages
// 0x020B/0x020C need the extra-button number (2 forward, 1 back). Anything else gives nothing.
std::optional<std::size_t> FindMouseRowByMessage(uint16_t message, int extraButton = 0);

} // namespace nk7x
