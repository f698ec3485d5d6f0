// Linux key codes and scan codes: every key the macro tables know is reachable from a key code and
// back, and the key code of each table row is the one the kernel gives that key's USB usage.
#include "platform/input/ScanCodes.h"
#include "macros/KeyTables.h"

#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

#include <map>

using namespace nk7x;

namespace {

// The kernel's key code for each USB keyboard-page usage the key table holds (from the HID
// input layer's keyboard map), and for the modifier bits.
const std::map<uint8_t, uint16_t>& KernelKeyOfUsage() {
    static const std::map<uint8_t, uint16_t> m = [] {
        static const uint8_t firstRows[] = {
            // 0x04..0x65, as the HID input layer maps them
            30, 48, 46, 32, 18, 33, 34, 35, 23,  36,  37,  38,  50,  49,  24,  25,  16,  19,  31,  20,
            22, 47, 17, 45, 21, 44, 2,  3,  4,   5,   6,   7,   8,   9,   10,  11,  28,  1,   14,  15,
            57, 12, 13, 26, 27, 43, 43, 39, 40,  41,  51,  52,  53,  58,  59,  60,  61,  62,  63,  64,
            65, 66, 67, 68, 87, 88, 99, 70, 119, 110, 102, 104, 111, 107, 109, 106, 105, 108, 103, 69,
            98, 55, 74, 78, 96, 79, 80, 81, 75,  76,  77,  71,  72,  73,  82,  83,  86,  127};
        std::map<uint8_t, uint16_t> out;
        for (std::size_t i = 0; i < std::size(firstRows); ++i)
            out[static_cast<uint8_t>(0x04 + i)] = firstRows[i];
        out[0x85] = 121;
        out[0x87] = 89;
        out[0x88] = 93;
        out[0x89] = 124;
        out[0x8A] = 92;
        out[0x8B] = 94;
        out[0x90] = 122;
        out[0x91] = 123;
        return out;
    }();
    return m;
}

uint16_t KernelKeyOfModifier(uint8_t bit) {
    switch (bit) {
    case 0x01:
        return KEY_LEFTCTRL;
    case 0x02:
        return KEY_LEFTSHIFT;
    case 0x04:
        return KEY_LEFTALT;
    case 0x08:
        return KEY_LEFTMETA;
    case 0x10:
        return KEY_RIGHTCTRL;
    case 0x20:
        return KEY_RIGHTSHIFT;
    case 0x40:
        return KEY_RIGHTALT;
    case 0x80:
        return KEY_RIGHTMETA;
    default:
        return 0;
    }
}

} // namespace

TEST(ScanCodes, EveryMacroKeyRowComesFromItsKernelKeyAndBack) {
    const auto keys = KeyTable();
    const auto scans = ScanCodeTable();
    ASSERT_EQ(scans.size(), kMacroKeyRows);
    for (std::size_t row = 0; row < kMacroKeyRows; ++row) {
        SCOPED_TRACE(std::string(keys[row].nameKey));
        const KeyTableRow& key = keys[row];
        const uint16_t kernelKey =
            row < kModifierRows ? KernelKeyOfModifier(key.ModifierBit()) : KernelKeyOfUsage().at(key.Usage());
        ASSERT_NE(kernelKey, 0);
        const std::optional<ScanCode> scan = ScanCodeFromKeyCode(kernelKey);
        ASSERT_TRUE(scan.has_value());
        EXPECT_EQ(scan->code, scans[row].scanCode);
        EXPECT_EQ(scan->extended, scans[row].extended != 0);
        // And the table's lookup lands on this row again.
        EXPECT_EQ(FindKeyByScanCode(scan->code, scan->extended), std::optional<std::size_t>(row));
        EXPECT_EQ(KeyCodeFromScanCode(ScanCode{scans[row].scanCode, scans[row].extended != 0}),
                  std::optional<uint16_t>(kernelKey));
    }
}

TEST(ScanCodes, KeysThatShareACodeAreToldApartByTheExtendedFlag) {
    EXPECT_EQ(ScanCodeFromKeyCode(KEY_PAUSE), (ScanCode{0x45, false}));
    EXPECT_EQ(ScanCodeFromKeyCode(KEY_NUMLOCK), (ScanCode{0x45, true}));
    EXPECT_EQ(ScanCodeFromKeyCode(KEY_SYSRQ), (ScanCode{0x37, true}));
    EXPECT_EQ(ScanCodeFromKeyCode(KEY_KPASTERISK), (ScanCode{0x37, false}));
    EXPECT_EQ(ScanCodeFromKeyCode(KEY_ENTER), (ScanCode{0x1C, false}));
    EXPECT_EQ(ScanCodeFromKeyCode(KEY_KPENTER), (ScanCode{0x1C, true}));
    // Right Shift as the tables list it, and as a window system reports it.
    EXPECT_EQ(ScanCodeFromKeyCode(KEY_RIGHTSHIFT), (ScanCode{0x36, true}));
    EXPECT_EQ(KeyCodeFromScanCode(ScanCode{0x36, false}), std::optional<uint16_t>(KEY_RIGHTSHIFT));
}

TEST(ScanCodes, OtherKeysRoundTripAndNonKeysHaveNone) {
    // The media keys have scan codes but no table row: they are recorded as nothing.
    for (uint16_t k : {KEY_VOLUMEUP, KEY_MUTE, KEY_PLAYPAUSE, KEY_NEXTSONG}) {
        const std::optional<ScanCode> scan = ScanCodeFromKeyCode(k);
        ASSERT_TRUE(scan.has_value()) << k;
        EXPECT_TRUE(scan->extended);
        EXPECT_EQ(KeyCodeFromScanCode(*scan), std::optional<uint16_t>(k));
        EXPECT_FALSE(FindKeyByScanCode(scan->code, scan->extended).has_value());
    }
    EXPECT_FALSE(ScanCodeFromKeyCode(0).has_value());
    EXPECT_FALSE(ScanCodeFromKeyCode(BTN_LEFT).has_value());
    EXPECT_FALSE(ScanCodeFromKeyCode(KEY_F24).has_value());
    EXPECT_FALSE(KeyCodeFromScanCode(ScanCode{0x00, false}).has_value());
    // X11 key codes are the kernel's plus 8: 38 is A.
    EXPECT_EQ(ScanCodeFromKeyCode(38 - kX11KeyCodeOffset), (ScanCode{0x1E, false}));
}
