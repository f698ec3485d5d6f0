#include "devices/keyboard/KeyAssignmentCodes.h"

#include <algorithm>
#include <climits>

namespace nk7x {
namespace {

constexpr uint8_t kDirectionBit = 0x80;
constexpr uint8_t kCountMask = 0x7F;
constexpr uint8_t kNibble = 0x0F;
constexpr uint8_t kLastModifierBit = 0x80;

// The shortcut names, row for row with kShortcutUsages.
constexpr std::array<std::string_view, kShortcutUsages.size()> kShortcutNames{
    "keyset_shortcut_open_text",     "keyset_shortcut_new_text",     "keyset_shortcut_undo_text",
    "keyset_shortcut_save_text",     "keyset_shortcut_copy_text",    "keyset_shortcut_cut_text",
    "keyset_shortcut_paste_text",    "keyset_shortcut_find_text",    "keyset_shortcut_select_all_text",
    "keyset_shortcut_zoom_out_text", "keyset_shortcut_zoom_in_text",
};

int CategoryOfType(uint8_t type) {
    switch (type) {
    case 0x00:
        return kCategoryDefault;
    case kTypeMouseButton:
        return kCategoryMouseButton;
    case kTypeSwing:
        return kCategorySwing;
    case kTypeWheel:
        return kCategoryWheel;
    case kTypeDpi:
        return kCategoryDpi;
    case kTypeFire:
        return kCategoryFire;
    case kTypeKeyboard:
        return kCategoryKeyboard;
    case kTypeMedia:
        return kCategoryMedia;
    case kTypeSystem:
        return kCategorySystem;
    case kTypeMacro:
    case kTypeMacroCounted:
        return kCategoryMacro;
    case kTypeGunKey:
        return kCategoryGunKey;
    case kTypeShortcut:
        return kCategoryShortcut;
    default:
        return kCategoryNone;
    }
}

// The row of a table category whose code bytes are (b1, b2); -1 when none is.
int FindTableRow(int category, uint8_t b1, uint8_t b2) {
    for (int row = 0; row < TableRows(category); ++row) {
        const std::optional<KeyCode> code = TableRowCode(category, row);
        if (code && code->b1 == b1 && code->b2 == b2)
            return row;
    }
    return -1;
}

void ShowKeyboardKey(const KeyCode& a, KeyChoice& choice, KeyCode* adjusted) {
    if (a.b1 == 0) {
        const std::optional<std::size_t> row = FindKeyByCodes(kKeyboardPage, 0, a.b2);
        if (row) {
            choice.modifier = 0;
            choice.keyRow = static_cast<int>(*row);
            choice.usage = a.b2;
        } else if (adjusted) {
            *adjusted = KeyCode{a.type, 0, 0};
        }
        return;
    }
    if (a.b1 <= kLastModifierBit) {
        // Only one modifier fits the options: a combination shows as none.
        const std::optional<std::size_t> modifier = FindModifierByBit(a.b1);
        choice.modifier = modifier ? ModifierOptionOfRow(*modifier) : 0;
        const std::optional<std::size_t> row = FindKeyByCodes(kKeyboardPage, 0, a.b2, kModifierRows);
        if (row) {
            choice.keyRow = static_cast<int>(*row);
            choice.usage = a.b2;
        }
        return;
    }
    choice.category = kCategoryShortcut;
    choice.row = FindTableRow(kCategoryShortcut, a.b1, a.b2);
}

void ShowMacro(const KeyCode& a, std::size_t macroCount, KeyChoice& choice) {
    if (a.b1 >= macroCount)
        return; // a macro that is no longer in the list: nothing is selected
    choice.macro = a.b1;
    if (a.type == kTypeMacroCounted) {
        choice.repeatMode = kCountedRepeatMode;
        choice.repeatCount = a.b2;
    } else if (a.b2 < kCountedRepeatMode) {
        choice.repeatMode = a.b2;
    }
}

} // namespace

int TableRows(int category) {
    switch (category) {
    case kCategoryMouseButton:
        return static_cast<int>(kMouseButtonBits.size());
    case kCategoryDpi:
        return static_cast<int>(kDpiCodes.size());
    case kCategoryMedia:
        return static_cast<int>(kMediaUsages.size());
    case kCategorySystem:
        return static_cast<int>(kSystemBits.size());
    case kCategoryShortcut:
        return static_cast<int>(kShortcutUsages.size());
    default:
        return 0;
    }
}

std::optional<KeyCode> TableRowCode(int category, int row) {
    if (row < 0 || row >= TableRows(category))
        return std::nullopt;
    const auto r = static_cast<std::size_t>(row);
    switch (category) {
    case kCategoryMouseButton:
        return KeyCode{kTypeMouseButton, kMouseButtonBits[r], 0};
    case kCategoryDpi:
        return KeyCode{kTypeDpi, kDpiCodes[r], 0};
    case kCategoryMedia:
        return KeyCode{kTypeMedia, static_cast<uint8_t>(kMediaUsages[r] & 0xFF),
                       static_cast<uint8_t>(kMediaUsages[r] >> 8)};
    case kCategorySystem:
        return KeyCode{kTypeSystem, kSystemBits[r], 0};
    case kCategoryShortcut:
        return KeyCode{kTypeKeyboard, kShortcutModifier, kShortcutUsages[r]};
    default:
        return std::nullopt;
    }
}

KeyChoice ShowChoice(const KeyCode& a, const KeyCode& defaultAssignment, std::size_t macroCount,
                     KeyCode* adjusted) {
    KeyChoice choice;
    if (adjusted)
        *adjusted = a;
    if (a == defaultAssignment) {
        choice.category = kCategoryDefault;
        return choice;
    }
    choice.category = CategoryOfType(a.type);
    switch (choice.category) {
    case kCategoryMouseButton:
    case kCategoryDpi:
    case kCategoryMedia:
    case kCategorySystem:
    case kCategoryShortcut:
        choice.row = FindTableRow(choice.category, a.b1, a.b2);
        break;
    case kCategorySwing:
    case kCategoryWheel:
        choice.delay = a.b1 >> 4;
        choice.speed = a.b1 & kNibble;
        if (a.b2 & kDirectionBit) {
            choice.direction = 1;
            choice.count =
                choice.category == kCategoryWheel ? 128 - (a.b2 & kCountMask) : (a.b2 & kCountMask);
        } else {
            choice.count = a.b2;
        }
        break;
    case kCategoryFire:
        choice.interval = a.b1;
        choice.count = a.b2;
        break;
    case kCategoryKeyboard:
        ShowKeyboardKey(a, choice, adjusted);
        break;
    case kCategoryMacro:
        ShowMacro(a, macroCount, choice);
        break;
    case kCategoryGunKey:
        choice.row = a.b1;
        break;
    default:
        break;
    }
    return choice;
}

KeyCode CollectChoice(const KeyChoice& c, const KeyCode& current, const KeyCode& defaultAssignment,
                      std::size_t macroCount) {
    const auto nibbles = static_cast<uint8_t>((c.delay & kNibble) << 4 | (c.speed & kNibble));
    const auto count = static_cast<uint8_t>(c.count & kCountMask);
    switch (c.category) {
    case kCategoryMouseButton:
    case kCategoryDpi:
    case kCategoryMedia:
    case kCategorySystem:
    case kCategoryShortcut:
        return TableRowCode(c.category, c.row).value_or(current);
    case kCategorySwing:
        return {kTypeSwing, nibbles, static_cast<uint8_t>(count | (c.direction == 1 ? kDirectionBit : 0))};
    case kCategoryWheel:
        if (c.direction == 1)
            return {kTypeWheel, nibbles, static_cast<uint8_t>(((128 - count) & kCountMask) | kDirectionBit)};
        return {kTypeWheel, nibbles, count};
    case kCategoryFire:
        return {kTypeFire, static_cast<uint8_t>(c.interval), static_cast<uint8_t>(c.count)};
    case kCategoryKeyboard:
        return {kTypeKeyboard, ModifierBitOfOption(c.modifier), c.keyRow >= 0 ? c.usage : uint8_t{0}};
    case kCategoryMacro:
        if (c.macro < 0 || static_cast<std::size_t>(c.macro) >= macroCount)
            return current;
        if (c.repeatMode == kCountedRepeatMode)
            return {kTypeMacroCounted, static_cast<uint8_t>(c.macro), static_cast<uint8_t>(c.repeatCount)};
        return {
            kTypeMacro, static_cast<uint8_t>(c.macro),
            static_cast<uint8_t>(c.repeatMode >= 0 && c.repeatMode < kCountedRepeatMode ? c.repeatMode : 0)};
    case kCategoryGunKey:
        if (c.row < 0 || c.row > 0xFF)
            return current;
        return {kTypeGunKey, static_cast<uint8_t>(c.row), 0};
    default:
        return defaultAssignment;
    }
}

int ModifierOptionOfRow(std::size_t row) {
    if (row >= kModifierRows)
        return -1;
    const int n = static_cast<int>(row) + 1;
    return n % kModifierOptions + n / kModifierOptions;
}

uint8_t ModifierBitOfOption(int option) {
    if (option < 1 || option >= kModifierOptions)
        return 0;
    return static_cast<uint8_t>(1u << (option - 1));
}

KeyChoice PickKeyRow(KeyChoice choice, std::size_t row) {
    const std::span<const KeyTableRow> table = KeyTable();
    if (row >= table.size() || table[row].category != kKeyboardPage)
        return choice;
    choice.category = kCategoryKeyboard;
    if (row < kModifierRows) {
        choice.modifier = ModifierOptionOfRow(row);
        choice.keyRow = -1;
        choice.usage = 0;
        return choice;
    }
    if (choice.modifier < 0)
        choice.modifier = 0;
    choice.keyRow = static_cast<int>(row);
    choice.usage = table[row].Usage();
    return choice;
}

int DecimalValue(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = std::min<long long>(value * 10 + (text[i] - '0'), static_cast<long long>(INT_MAX) + 1);
    if (negative)
        value = -value;
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

std::string AssignmentNameKey(const KeyCode& code, std::span<const std::string> macroNames) {
    auto rowName = [](std::optional<std::size_t> row) {
        return row ? std::string(KeyTable()[*row].nameKey) : std::string();
    };
    switch (code.type) {
    case kTypeKeyboard:
        if (code.b1 == 0)
            return rowName(FindKeyByCodes(kKeyboardPage, 0, code.b2));
        if (code.b2 == 0)
            return rowName(FindModifierByBit(code.b1));
        if (code.b1 == kShortcutModifier) {
            const int row = FindTableRow(kCategoryShortcut, code.b1, code.b2);
            if (row >= 0)
                return std::string(kShortcutNames[static_cast<std::size_t>(row)]);
        }
        return rowName(FindKeyByUsage(code.b2));
    case kTypeMedia:
    case kTypeSystem:
    case kDeviceMacro:
    case kDeviceSpecial:
        return rowName(FindKeyByCodes(code.type, code.b1, code.b2));
    case kTypeMouseButton:
        switch (code.b1) {
        case 0x01:
            return "mouse_key_left";
        case 0x02:
            return "mouse_key_right";
        case 0x04:
            return "mouse_key_middle";
        case 0x08:
            return "mouse_key_back";
        case 0x10:
            return "mouse_key_forward";
        default:
            return {};
        }
    case kTypeDpi:
        switch (code.b1) {
        case 1:
            return "mouse_key_DPI_add";
        case 2:
            return "mouse_key_DPI_sub";
        case 3:
            return "mouse_key_DPI_loop";
        default:
            return {};
        }
    case kTypeSwing:
        return "keyset_function_2_text";
    case kTypeWheel:
        return "keyset_function_3_text";
    case kTypeFire:
        return "keyset_function_5_text";
    case kTypeGunKey:
        return "keyset_function_10_text";
    case kTypeMacro:
    case kTypeMacroCounted:
        if (code.b1 < macroNames.size())
            return macroNames[code.b1];
        return {};
    default:
        return {};
    }
}

} // namespace nk7x
