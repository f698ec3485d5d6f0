#include "macros/KeyTables.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>

using namespace nk7x;

TEST(KeyTables, SizesAndParallelRows) {
    ASSERT_EQ(KeyTable().size(), 141u);
    ASSERT_EQ(ScanCodeTable().size(), 113u);
    ASSERT_EQ(MouseEventTable().size(), 15u);
    for (std::size_t i = 0; i < ScanCodeTable().size(); ++i) {
        EXPECT_EQ(ScanCodeTable()[i].virtualKey, KeyTable()[i].virtualKey) << "row " << i;
        EXPECT_EQ(ScanCodeTable()[i].placeholder, KeyTable()[i].placeholder) << "row " << i;
    }
    for (std::size_t i = 0; i < KeyTable().size(); ++i) {
        const bool substitute = i == 91 || (i >= 131 && i <= 133);
        EXPECT_EQ(KeyTable()[i].placeholder, substitute ? 1 : 0) << "row " << i;
        EXPECT_EQ(KeyTable()[i].reserved, 0) << "row " << i;
    }
}

TEST(KeyTables, KeysThatMustBeUnique) {
    std::set<std::pair<int, int>> scans;
    for (const ScanCodeRow& row : ScanCodeTable())
        EXPECT_TRUE(scans.insert({row.scanCode, row.extended}).second)
            << "scan code " << int(row.scanCode) << "/" << int(row.extended) << " twice";

    std::set<std::string_view> names;
    for (const KeyTableRow& row : KeyTable())
        EXPECT_TRUE(names.insert(row.nameKey).second) << row.nameKey;

    // Keyboard-page usages and consumer usages identify a key for display and assignment.
    std::set<int> usages;
    std::set<int> consumer;
    for (std::size_t i = 8; i < KeyTable().size(); ++i) {
        const KeyTableRow& row = KeyTable()[i];
        if (row.category == kKeyboardPage) {
            EXPECT_EQ(row.codeLow, 0) << "row " << i;
            EXPECT_TRUE(usages.insert(row.Usage()).second) << "usage twice at row " << i;
        } else if (row.category == kConsumerPage) {
            EXPECT_TRUE(consumer.insert(row.ConsumerUsage()).second) << "consumer usage twice at row " << i;
        }
    }
    EXPECT_EQ(usages.size(), 105u);
    EXPECT_EQ(consumer.size(), 18u);
}

TEST(KeyTables, ModifierRowsAreInBitOrder) {
    const char* names[] = {"keyboard_key_LCtrl", "keyboard_key_LShift", "keyboard_key_LAlt",
                           "keyboard_key_LWin",  "keyboard_key_RCtrl",  "keyboard_key_RShift",
                           "keyboard_key_RAlt",  "keyboard_key_RWin"};
    for (std::size_t i = 0; i < 8; ++i) {
        const KeyTableRow& row = KeyTable()[i];
        EXPECT_EQ(row.nameKey, names[i]);
        EXPECT_EQ(row.category, kKeyboardPage);
        EXPECT_EQ(row.ModifierBit(), 1u << i);
        EXPECT_EQ(row.Usage(), 0);
        EXPECT_EQ(FindModifierByBit(static_cast<uint8_t>(1u << i)), i);
    }
    EXPECT_FALSE(FindModifierByBit(0x03)); // Ctrl+Shift is no single key
    EXPECT_FALSE(FindModifierByBit(0));
}

TEST(KeyTables, StandardKeyUsagesRunInRowOrder) {
    // Letters from 0x04, then every usage in turn except 0x32 (no row) and the App key at 0x65.
    uint8_t expected = 0x04;
    for (std::size_t i = 8; i <= 102; ++i, ++expected) {
        if (expected == 0x32)
            ++expected;
        EXPECT_EQ(KeyTable()[i].Usage(), expected) << "row " << i;
    }
    EXPECT_EQ(KeyTable()[103].Usage(), 0x65);
    EXPECT_EQ(KeyTable()[103].nameKey, "keyboard_key_App");
}

TEST(KeyTables, SpotChecks) {
    const auto& keys = KeyTable();
    const auto& scans = ScanCodeTable();
    EXPECT_EQ(keys[8].nameKey, "keyboard_key_A");
    EXPECT_EQ(keys[8].virtualKey, 0x41);
    EXPECT_EQ(scans[8].scanCode, 0x1E);
    EXPECT_EQ(keys[43].nameKey, "keyboard_key_0");
    EXPECT_EQ(keys[43].Usage(), 0x27);
    EXPECT_EQ(keys[53].nameKey, "keyboard_key_xiegang");
    EXPECT_EQ(keys[53].Usage(), 0x31);
    EXPECT_EQ(keys[54].nameKey, "keyboard_key_;");
    EXPECT_EQ(keys[54].Usage(), 0x33);
    EXPECT_EQ(keys[57].nameKey, "keyboard_key_<");
    EXPECT_EQ(keys[57].Usage(), 0x36);
    EXPECT_EQ(keys[72].nameKey, "keyboard_key_F12");
    EXPECT_EQ(scans[72].scanCode, 0x58);
    EXPECT_EQ(keys[91].nameKey, "keyboard_key_Num Enter");
    EXPECT_EQ(keys[91].Usage(), 0x58);
    EXPECT_EQ(keys[91].virtualKey, 0x01);
    EXPECT_EQ(keys[102].nameKey, "keyboard_key_Decimal");
    EXPECT_EQ(keys[102].Usage(), 0x63);
    EXPECT_EQ(keys[104].nameKey, "keyboard_key_K45");
    EXPECT_EQ(keys[104].Usage(), 0x64);
    EXPECT_EQ(scans[104].scanCode, 0x56);
    EXPECT_EQ(keys[112].nameKey, "keyboard_key_K151");
    EXPECT_EQ(keys[112].Usage(), 0x90);
    EXPECT_EQ(scans[112].scanCode, 0x72);

    EXPECT_EQ(keys[113].nameKey, "keyboard_key_Launch App2");
    EXPECT_EQ(keys[113].ConsumerUsage(), 0x0192);
    EXPECT_EQ(keys[113].virtualKey, 0xB7);
    EXPECT_EQ(keys[129].nameKey, "wed_stop");
    EXPECT_EQ(keys[129].ConsumerUsage(), 0x0226);
    EXPECT_EQ(keys[129].virtualKey, 0xA9);
    EXPECT_EQ(keys[130].ConsumerUsage(), 0x0183);
    EXPECT_EQ(keys[130].virtualKey, 0xB5);

    EXPECT_EQ(keys[132].nameKey, "keyboard_key_Sleep");
    EXPECT_EQ(keys[132].category, kSystemControl);
    EXPECT_EQ(keys[132].codeLow, 0x02);
    EXPECT_EQ(keys[132].virtualKey, 4);
    EXPECT_EQ(keys[136].nameKey, "keyboard_key_M3");
    EXPECT_EQ(keys[136].category, kDeviceMacro);
    EXPECT_EQ(keys[136].codeLow, 0xA2);
    EXPECT_EQ(keys[136].codeHigh, 3);
    EXPECT_EQ(keys[140].nameKey, "keyboard_key_GM");
    EXPECT_EQ(keys[140].category, kDeviceSpecial);
    EXPECT_EQ(keys[140].codeLow, 0x1B);
}

TEST(KeyTables, ScanCodeLookupTellsExtendedKeysApart) {
    for (std::size_t i = 0; i < ScanCodeTable().size(); ++i)
        EXPECT_EQ(FindKeyByScanCode(ScanCodeTable()[i].scanCode, ScanCodeTable()[i].extended != 0), i);
    EXPECT_EQ(FindKeyByScanCode(0x1C, false), 44u); // Enter
    EXPECT_EQ(FindKeyByScanCode(0x1C, true), 91u);  // keypad Enter
    EXPECT_EQ(FindKeyByScanCode(0x1D, true), 4u);   // right Ctrl
    EXPECT_EQ(FindKeyByScanCode(0x35, true), 87u);  // keypad /
    EXPECT_EQ(FindKeyByScanCode(0x36, true), 5u);   // right Shift is listed as extended
    EXPECT_FALSE(FindKeyByScanCode(0x36, false));
    EXPECT_FALSE(FindKeyByScanCode(0x00, false));
}

TEST(KeyTables, UsageAndCodeLookups) {
    EXPECT_EQ(FindKeyByUsage(0x04), 8u);
    EXPECT_EQ(FindKeyByUsage(0x65), 103u);
    EXPECT_EQ(FindKeyByUsage(0x91), 111u);
    EXPECT_FALSE(FindKeyByUsage(0x32));
    EXPECT_FALSE(FindKeyByUsage(0));
    EXPECT_FALSE(FindKeyByUsage(0xE0)); // modifiers are bits, not usages
    EXPECT_EQ(FindKeyByCodes(kConsumerPage, 0xCD, 0x00), 115u);
    EXPECT_EQ(FindKeyByCodes(kSystemControl, 0x04, 0), 133u);
    EXPECT_EQ(FindKeyByCodes(kDeviceSpecial, 0x01, 0), 139u);
    EXPECT_EQ(FindKeyByCodes(kKeyboardPage, 0x01, 0), 0u);
    EXPECT_FALSE(FindKeyByCodes(kKeyboardPage, 0x01, 0, 8));
    EXPECT_EQ(FindKeyByName("keyboard_key_Browser ForWard"), 123u);
    EXPECT_FALSE(FindKeyByName("keyboard_key_Nothing"));
}

TEST(KeyTables, MouseRows) {
    const auto& mouse = MouseEventTable();
    for (std::size_t i = 0; i < 10; ++i) {
        EXPECT_EQ(mouse[i].category, kMouseButtonCategory);
        EXPECT_EQ(mouse[i].typeAndDirection & 0x7F, 1) << "row " << i;
        EXPECT_EQ((mouse[i].typeAndDirection & 0x80) != 0, i % 2 == 0) << "row " << i;
    }
    EXPECT_EQ(mouse[14].nameKey, "mouse_cursor_text");
    EXPECT_EQ(mouse[14].message, 0x020A);

    EXPECT_EQ(FindMouseRowByMessage(0x0201), 0u);
    EXPECT_EQ(FindMouseRowByMessage(0x0205), 3u);
    EXPECT_EQ(FindMouseRowByMessage(0x0208), 5u);
    EXPECT_EQ(FindMouseRowByMessage(0x020B, 2), 6u);
    EXPECT_EQ(FindMouseRowByMessage(0x020C, 2), 7u);
    EXPECT_EQ(FindMouseRowByMessage(0x020B, 1), 8u);
    EXPECT_EQ(FindMouseRowByMessage(0x020C, 1), 9u);
    EXPECT_FALSE(FindMouseRowByMessage(0x020B, 0));
    EXPECT_FALSE(FindMouseRowByMessage(0x020B, 3));
    EXPECT_FALSE(FindMouseRowByMessage(0x0203)); // double click
    EXPECT_FALSE(FindMouseRowByMessage(0x020A)); // wheel is not recorded
    EXPECT_FALSE(FindMouseRowByMessage(0x0200)); // move

    EXPECT_EQ(FindMouseButtonByBit(0x10), 6u);
    EXPECT_EQ(FindMouseButtonByBit(0x08), 8u);
    EXPECT_FALSE(FindMouseButtonByBit(0x20));
    EXPECT_EQ(FindMouseMoveRow(0x84), 10u);
    EXPECT_EQ(FindMouseMoveRow(0x04), 11u);
    EXPECT_EQ(FindMouseMoveRow(0x85), 12u);
    EXPECT_EQ(FindMouseMoveRow(0x05), 13u);
    EXPECT_FALSE(FindMouseMoveRow(0x81));
    EXPECT_FALSE(FindMouseMoveRow(0x00)); // the wheel row is not a move
}
