// The key assignment editor's choices and the three assignment bytes they stand for, both ways,
// with the lists behind its choice boxes and the name of what an assignment does (key captions).
#pragma once

#include "macros/KeyTables.h"
#include "profiles/ProfileRecords.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace nk7x {

// Function categories of the editor; the number is the page of its category switch.
enum KeyCategory : int {
    kCategoryNone = -1, // an assignment the editor cannot show
    kCategoryDefault = 0,
    kCategoryMouseButton = 1,
    kCategorySwing = 2,
    kCategoryWheel = 3,
    kCategoryDpi = 4,
    kCategoryFire = 5,
    kCategoryKeyboard = 6,
    kCategoryMedia = 7,
    kCategorySystem = 8,
    kCategoryMacro = 9,
    kCategoryGunKey = 10,
    kCategoryShortcut = 11,
};
inline constexpr int kCategoryCount = 12;

// Assignment type bytes.
inline constexpr uint8_t kTypeMouseButton = 0x10;
inline constexpr uint8_t kTypeSwing = 0x11;
inline constexpr uint8_t kTypeWheel = 0x12;
inline constexpr uint8_t kTypeDpi = 0x13;
inline constexpr uint8_t kTypeFire = 0x14;
inline constexpr uint8_t kTypeKeyboard = kKeyboardPage;
inline constexpr uint8_t kTypeMedia = kConsumerPage;
inline constexpr uint8_t kTypeSystem = kSystemControl;
inline constexpr uint8_t kTypeMacro = 0x70;
inline constexpr uint8_t kTypeMacroCounted = 0x71;
inline constexpr uint8_t kTypeGunKey = 0x72;
inline constexpr uint8_t kTypeShortcut = 0xB0; // only ever read: a shortcut is stored as a keyboard key

// Modifier options: 0 none, 1 Ctrl, 2 Shift, 3 Alt, 4 Win.
inline constexpr int kModifierOptions = 5;
// Macro repeat modes 0-3 travel in type 0x70; mode 4 is the counted repeat of type 0x71.
inline constexpr int kRepeatModes = 5;
inline constexpr int kCountedRepeatMode = 4;

// The lists behind the table categories; row i is item i of the choice box.
inline constexpr std::array<uint8_t, 5> kMouseButtonBits{0x01, 0x04, 0x02, 0x10, 0x08};
inline constexpr std::array<uint8_t, 3> kDpiCodes{1, 2, 3};
inline constexpr std::array<uint16_t, 18> kMediaUsages{0x0183, 0x00CD, 0x00B7, 0x00B6, 0x00B5, 0x00EA,
                                                       0x00E9, 0x00E2, 0x0223, 0x0227, 0x0226, 0x0224,
                                                       0x0225, 0x022A, 0x0221, 0x0194, 0x0192, 0x018A};
inline constexpr std::array<uint8_t, 3> kSystemBits{0x01, 0x02, 0x04};
inline constexpr uint8_t kShortcutModifier = 0x01; // every shortcut is with Ctrl
inline constexpr std::array<uint8_t, 11> kShortcutUsages{0x12, 0x11, 0x1D, 0x16, 0x06, 0x1B,
                                                         0x19, 0x09, 0x04, 0x2D, 0x2E};

// The three bytes of row `row` of a table category; nothing for another category or a row outside
// its table.
std::optional<KeyCode> TableRowCode(int category, int row);
// Rows in a table category's list (0 for the others).
int TableRows(int category);

// What the editor shows: one value per control. Values of fields the category does not use are
// left at their defaults.
struct KeyChoice {
    int category = kCategoryNone;
    int row = -1;        // table categories: the selected row; gun key: the item; -1 none
    int direction = 0;   // swing and wheel: direction item 0 or 1
    int count = 0;       // swing and wheel count; fire count
    int delay = 0;       // swing and wheel, 0-15
    int speed = 0;       // swing and wheel, 0-15
    int interval = 0;    // fire
    int modifier = -1;   // keyboard key: option 0-4, -1 none selected
    uint8_t usage = 0;   // keyboard key: usage of the key shown, 0 when the name field is empty
    int keyRow = -1;     // keyboard key: key-table row whose name is shown, -1 for an empty field
    int macro = -1;      // macro: the selected macro, -1 none
    int repeatMode = -1; // macro: repeat mode 0-4, -1 none
    int repeatCount = 0; // macro: repeat count of mode 4

    bool operator==(const KeyChoice&) const = default;
};

// What an assignment shows as. `current` is the record's assignment; when showing it changes what
// the record must hold (a keyboard key the key table does not know keeps codes 0, 0), `adjusted`
// receives the new bytes.
KeyChoice ShowChoice(const KeyCode& assignment, const KeyCode& defaultAssignment, std::size_t macroCount,
                     KeyCode* adjusted = nullptr);

// The bytes a choice stands for. `current` is the record's assignment, kept where the choice says
// nothing (no row selected in a table category, no macro selected); a category outside the editor
// gives `defaultAssignment`.
KeyCode CollectChoice(const KeyChoice& choice, const KeyCode& current, const KeyCode& defaultAssignment,
                      std::size_t macroCount);

// The modifier option of a modifier key row 0-7 (left and right give the same option); -1 for
// another row.
int ModifierOptionOfRow(std::size_t row);
// The modifier bit of option n (1 Ctrl 0x01 ... 4 Win 0x08); 0 for option 0 and anything else.
uint8_t ModifierBitOfOption(int option);

// Key picking: the choice after key-table row `row` was pressed while the name field had the focus.
// Modifier rows select their option and empty the name; other rows of the keyboard page keep the
// modifier (option 0 when none) and show the key. Rows of other categories change nothing.
KeyChoice PickKeyRow(KeyChoice choice, std::size_t row);

// The decimal value of a text field: leading blanks, a sign and the digits up to the first other
// character; 0 without digits. Saturates at the int range.
int DecimalValue(std::string_view text);

// The language key (or, for a macro, the macro's name) of what an assignment does; empty when the
// assignment has no name.
std::string AssignmentNameKey(const KeyCode& code, std::span<const std::string> macroNames);

} // namespace nk7x
