// The key assignment editor's mapping between choices and assignment bytes, both ways, and the
// names key captions give an assignment.
#include "devices/keyboard/KeyAssignmentCodes.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace nk7x {
namespace {

constexpr KeyCode kEscDefault{0x20, 0x00, 0x29};
constexpr std::size_t kMacros = 3;

// Shows the bytes and collects them again, as the editor does when a shown key is stored.
KeyCode Again(const KeyCode& code, std::size_t macros = kMacros) {
    const KeyChoice shown = ShowChoice(code, kEscDefault, macros);
    return CollectChoice(shown, code, kEscDefault, macros);
}

std::size_t RowOf(std::string_view nameKey) {
    const std::optional<std::size_t> row = FindKeyByName(nameKey);
    EXPECT_TRUE(row.has_value()) << nameKey;
    return row.value_or(0);
}

TEST(KeyAssignmentRoundTrip, EveryRowOfEveryTableCategory) {
    for (int category : {kCategoryMouseButton, kCategoryDpi, kCategoryMedia, kCategorySystem}) {
        ASSERT_GT(TableRows(category), 0) << category;
        for (int row = 0; row < TableRows(category); ++row) {
            const std::optional<KeyCode> code = TableRowCode(category, row);
            ASSERT_TRUE(code) << category << "/" << row;
            KeyChoice choice;
            choice.category = category;
            choice.row = row;
            EXPECT_EQ(CollectChoice(choice, kEscDefault, kEscDefault, kMacros), *code);
            const KeyChoice shown = ShowChoice(*code, kEscDefault, kMacros);
            EXPECT_EQ(shown.category, category) << row;
            EXPECT_EQ(shown.row, row) << category;
        }
    }
    EXPECT_FALSE(TableRowCode(kCategoryMedia, TableRows(kCategoryMedia)));
    EXPECT_FALSE(TableRowCode(kCategoryMedia, -1));
    EXPECT_FALSE(TableRowCode(kCategorySwing, 0));
}

TEST(KeyAssignmentRoundTrip, MediaRowsAreTheConsumerUsagesLowByteFirst) {
    EXPECT_EQ(*TableRowCode(kCategoryMedia, 0), (KeyCode{0x30, 0x83, 0x01}));
    EXPECT_EQ(*TableRowCode(kCategoryMedia, 6), (KeyCode{0x30, 0xE9, 0x00}));
    EXPECT_EQ(*TableRowCode(kCategoryMouseButton, 1), (KeyCode{0x10, 0x04, 0x00}));
    EXPECT_EQ(*TableRowCode(kCategorySystem, 2), (KeyCode{0x40, 0x04, 0x00}));
}

TEST(KeyAssignmentRoundTrip, ShortcutsAreStoredAsCtrlKeysAndShownSo) {
    for (int row = 0; row < TableRows(kCategoryShortcut); ++row) {
        KeyChoice choice;
        choice.category = kCategoryShortcut;
        choice.row = row;
        const KeyCode code = CollectChoice(choice, kEscDefault, kEscDefault, kMacros);
        EXPECT_EQ(code, (KeyCode{0x20, 0x01, kShortcutUsages[static_cast<std::size_t>(row)]}));
        const KeyChoice shown = ShowChoice(code, kEscDefault, kMacros);
        EXPECT_EQ(shown.category, kCategoryKeyboard);
        EXPECT_EQ(shown.modifier, 1) << "Ctrl";
        EXPECT_EQ(Again(code), code) << row;
    }
}

TEST(KeyAssignmentRoundTrip, SwingAndWheelKeepCountDirectionDelayAndSpeed) {
    for (int category : {kCategorySwing, kCategoryWheel}) {
        for (int direction : {0, 1})
            for (int count : {1, 3, 64, 127})
                for (int nibble : {0, 5, 15}) {
                    KeyChoice c;
                    c.category = category;
                    c.direction = direction;
                    c.count = count;
                    c.delay = nibble;
                    c.speed = 15 - nibble;
                    const KeyCode code = CollectChoice(c, kEscDefault, kEscDefault, kMacros);
                    EXPECT_EQ(ShowChoice(code, kEscDefault, kMacros), c)
                        << category << " " << direction << " " << count;
                }
    }
    // Fields wider than their bit fields are cut to them.
    KeyChoice swing;
    swing.category = kCategorySwing;
    swing.direction = 1;
    swing.count = 130;
    swing.delay = 17;
    swing.speed = 18;
    EXPECT_EQ(CollectChoice(swing, kEscDefault, kEscDefault, kMacros), (KeyCode{0x11, 0x12, 0x82}));
}

TEST(KeyAssignmentRoundTrip, WheelDownCountsFrom128) {
    KeyChoice c;
    c.category = kCategoryWheel;
    c.direction = 1;
    c.count = 3;
    EXPECT_EQ(CollectChoice(c, kEscDefault, kEscDefault, kMacros), (KeyCode{0x12, 0x00, 0x80 | 125}));
    EXPECT_EQ(ShowChoice({0x12, 0x00, 0x80 | 125}, kEscDefault, kMacros).count, 3);
}

TEST(KeyAssignmentRoundTrip, FireGunKeyAndDefault) {
    KeyChoice fire;
    fire.category = kCategoryFire;
    fire.interval = 200;
    fire.count = 7;
    const KeyCode code = CollectChoice(fire, kEscDefault, kEscDefault, kMacros);
    EXPECT_EQ(code, (KeyCode{0x14, 200, 7}));
    EXPECT_EQ(ShowChoice(code, kEscDefault, kMacros), fire);

    KeyChoice gun;
    gun.category = kCategoryGunKey;
    gun.row = 2;
    EXPECT_EQ(CollectChoice(gun, kEscDefault, kEscDefault, kMacros), (KeyCode{0x72, 2, 0}));
    EXPECT_EQ(ShowChoice({0x72, 2, 0}, kEscDefault, kMacros), gun);

    KeyChoice def;
    def.category = kCategoryDefault;
    EXPECT_EQ(CollectChoice(def, {0x30, 0xE9, 0}, kEscDefault, kMacros), kEscDefault);
}

TEST(KeyAssignmentRoundTrip, EveryKeyboardKeyWithEveryModifier) {
    const auto table = KeyTable();
    for (std::size_t row = kModifierRows; row < table.size(); ++row) {
        if (table[row].category != kKeyboardPage)
            continue;
        for (int modifier = 0; modifier < kModifierOptions; ++modifier) {
            const KeyCode code{0x20, ModifierBitOfOption(modifier), table[row].Usage()};
            if (code == kEscDefault)
                continue; // the key's own function shows as the default
            const KeyChoice shown = ShowChoice(code, kEscDefault, kMacros);
            EXPECT_EQ(shown.category, kCategoryKeyboard);
            EXPECT_EQ(shown.modifier, modifier) << row;
            EXPECT_EQ(CollectChoice(shown, code, kEscDefault, kMacros), code) << row << " " << modifier;
        }
    }
}

TEST(KeyAssignmentRoundTrip, MacroRepeatModesAndCount) {
    for (int mode = 0; mode < kCountedRepeatMode; ++mode)
        EXPECT_EQ(Again({0x70, 2, static_cast<uint8_t>(mode)}),
                  (KeyCode{0x70, 2, static_cast<uint8_t>(mode)}));
    EXPECT_EQ(Again({0x71, 1, 9}), (KeyCode{0x71, 1, 9}));

    // Counted repeat with 5, then mode 2 chosen: the count goes.
    KeyChoice c;
    c.category = kCategoryMacro;
    c.macro = 1;
    c.repeatMode = kCountedRepeatMode;
    c.repeatCount = 5;
    EXPECT_EQ(CollectChoice(c, kEscDefault, kEscDefault, kMacros), (KeyCode{0x71, 1, 5}));
    c.repeatMode = 2;
    EXPECT_EQ(CollectChoice(c, kEscDefault, kEscDefault, kMacros), (KeyCode{0x70, 1, 2}));
}

TEST(KeyAssignmentEdges, AnAssignmentEqualToTheDefaultIsTheDefault) {
    const KeyChoice shown = ShowChoice(kEscDefault, kEscDefault, kMacros);
    EXPECT_EQ(shown.category, kCategoryDefault);
    EXPECT_EQ(ShowChoice({0x30, 0xE9, 0}, {0x30, 0xE9, 0}, kMacros).category, kCategoryDefault);
}

TEST(KeyAssignmentEdges, TwoModifiersShowAsNoneAndStoreAsNone) {
    const KeyCode ctrlShiftA{0x20, 0x03, 0x04};
    const KeyChoice shown = ShowChoice(ctrlShiftA, kEscDefault, kMacros);
    EXPECT_EQ(shown.category, kCategoryKeyboard);
    EXPECT_EQ(shown.modifier, 0);
    EXPECT_EQ(shown.keyRow, static_cast<int>(RowOf("keyboard_key_A")));
    EXPECT_EQ(CollectChoice(shown, ctrlShiftA, kEscDefault, kMacros), (KeyCode{0x20, 0x00, 0x04}));
}

TEST(KeyAssignmentEdges, LeftAndRightModifiersSelectTheSameOption) {
    EXPECT_EQ(ModifierOptionOfRow(0), 1);
    EXPECT_EQ(ModifierOptionOfRow(3), 4);
    for (std::size_t left = 0; left < 4; ++left)
        EXPECT_EQ(ModifierOptionOfRow(left), ModifierOptionOfRow(left + 4)) << left;
    EXPECT_EQ(ModifierOptionOfRow(kModifierRows), -1);

    KeyChoice start;
    start.category = kCategoryKeyboard;
    const KeyChoice picked = PickKeyRow(start, RowOf("keyboard_key_RAlt"));
    EXPECT_EQ(picked.modifier, 3);
    EXPECT_EQ(picked.keyRow, -1);
    EXPECT_EQ(CollectChoice(picked, kEscDefault, kEscDefault, kMacros), (KeyCode{0x20, 0x04, 0x00}));

    // A key after the modifier keeps it; a modifier after a key empties the name.
    const KeyChoice withKey = PickKeyRow(picked, RowOf("keyboard_key_B"));
    EXPECT_EQ(CollectChoice(withKey, kEscDefault, kEscDefault, kMacros), (KeyCode{0x20, 0x04, 0x05}));
    const KeyChoice plain = PickKeyRow(start, RowOf("keyboard_key_B"));
    EXPECT_EQ(plain.modifier, 0);
    EXPECT_EQ(
        CollectChoice(PickKeyRow(withKey, RowOf("keyboard_key_LShift")), kEscDefault, kEscDefault, kMacros),
        (KeyCode{0x20, 0x02, 0x00}));
    // Keys of other pages are not picked.
    EXPECT_EQ(PickKeyRow(start, RowOf("keyboard_key_Volume Up")), start);
    EXPECT_EQ(PickKeyRow(start, KeyTable().size()), start);
}

TEST(KeyAssignmentEdges, MacroIndicesOutsideTheListSelectNothingAndStoreNothingNew) {
    for (uint8_t index : {uint8_t{3}, uint8_t{4}, uint8_t{255}}) {
        const KeyChoice shown = ShowChoice({0x70, index, 1}, kEscDefault, kMacros);
        EXPECT_EQ(shown.category, kCategoryMacro);
        EXPECT_EQ(shown.macro, -1) << int(index);
        EXPECT_EQ(shown.repeatMode, -1) << int(index);
        EXPECT_EQ(CollectChoice(shown, {0x70, index, 1}, kEscDefault, kMacros), (KeyCode{0x70, index, 1}));
    }
    // An empty list keeps the record whatever is chosen.
    KeyChoice c;
    c.category = kCategoryMacro;
    c.macro = 0;
    c.repeatMode = 1;
    EXPECT_EQ(CollectChoice(c, kEscDefault, kEscDefault, 0), kEscDefault);
    // Repeat modes 0x70 cannot carry show no mode.
    EXPECT_EQ(ShowChoice({0x70, 1, 9}, kEscDefault, kMacros).repeatMode, -1);
}

TEST(KeyAssignmentEdges, UnknownBytesShowNothingEditable) {
    for (const KeyCode code : {KeyCode{0x55, 1, 2}, KeyCode{0xFF, 0xFF, 0xFF}, KeyCode{0x15, 0, 0}})
        EXPECT_EQ(ShowChoice(code, kEscDefault, kMacros).category, kCategoryNone) << int(code.type);
    KeyChoice none;
    EXPECT_EQ(CollectChoice(none, {0x55, 1, 2}, kEscDefault, kMacros), kEscDefault);

    // A table code the table does not hold selects no row; collecting keeps the record.
    const KeyChoice oddButton = ShowChoice({0x10, 0x40, 0}, kEscDefault, kMacros);
    EXPECT_EQ(oddButton.category, kCategoryMouseButton);
    EXPECT_EQ(oddButton.row, -1);
    EXPECT_EQ(CollectChoice(oddButton, {0x10, 0x40, 0}, kEscDefault, kMacros), (KeyCode{0x10, 0x40, 0}));

    // A keyboard usage the key table lacks shows an empty key and is kept as codes 0, 0.
    KeyCode adjusted;
    const KeyChoice odd = ShowChoice({0x20, 0x00, 0xEE}, kEscDefault, kMacros, &adjusted);
    EXPECT_EQ(odd.modifier, -1);
    EXPECT_EQ(odd.keyRow, -1);
    EXPECT_EQ(adjusted, (KeyCode{0x20, 0, 0}));
    // A shortcut type with codes of no row shows the shortcut list without a selection.
    const KeyChoice shortcut = ShowChoice({0xB0, 0x01, 0x12}, kEscDefault, kMacros);
    EXPECT_EQ(shortcut.category, kCategoryShortcut);
    EXPECT_EQ(shortcut.row, 0);
    EXPECT_EQ(ShowChoice({0x20, 0x90, 0x12}, kEscDefault, kMacros).category, kCategoryShortcut);
}

TEST(KeyAssignmentFields, DecimalTextReadsItsLeadingNumber) {
    EXPECT_EQ(DecimalValue("12"), 12);
    EXPECT_EQ(DecimalValue("12abc"), 12);
    EXPECT_EQ(DecimalValue(" 7"), 7);
    EXPECT_EQ(DecimalValue("-3"), -3);
    EXPECT_EQ(DecimalValue(""), 0);
    EXPECT_EQ(DecimalValue("abc"), 0);
    EXPECT_EQ(DecimalValue("99999999999999999999"), INT_MAX);
    EXPECT_EQ(DecimalValue("-99999999999999999999"), INT_MIN);
}

TEST(KeyAssignmentNames, CaptionsNameWhatTheKeyDoes) {
    const std::vector<std::string> macros{"burst", "combo"};
    EXPECT_EQ(AssignmentNameKey({0x20, 0, 0x04}, macros), "keyboard_key_A");
    EXPECT_EQ(AssignmentNameKey({0x20, 0x40, 0}, macros), "keyboard_key_RAlt");
    EXPECT_EQ(AssignmentNameKey({0x20, 0x01, 0x06}, macros), "keyset_shortcut_copy_text");
    EXPECT_EQ(AssignmentNameKey({0x20, 0x02, 0x06}, macros), "keyboard_key_C");
    EXPECT_EQ(AssignmentNameKey({0x30, 0xE9, 0x00}, macros), "keyboard_key_Volume Up");
    EXPECT_EQ(AssignmentNameKey({0x40, 0x02, 0x00}, macros), "keyboard_key_Sleep");
    EXPECT_EQ(AssignmentNameKey({0x10, 0x04, 0x00}, macros), "mouse_key_middle");
    EXPECT_EQ(AssignmentNameKey({0x70, 1, 0}, macros), "combo");
    EXPECT_EQ(AssignmentNameKey({0x71, 0, 5}, macros), "burst");
    EXPECT_EQ(AssignmentNameKey({0x70, 2, 0}, macros), "") << "a macro no longer in the list";
    EXPECT_EQ(AssignmentNameKey({0xA0, 0x01, 0x00}, macros), "keyboard_key_FN");
    EXPECT_EQ(AssignmentNameKey({0x55, 0, 0}, macros), "");
}

} // namespace
} // namespace nk7x
