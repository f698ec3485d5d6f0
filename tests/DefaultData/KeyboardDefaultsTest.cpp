// The keyboard's default profile against the keyboard's factory table and the key table that the
// key assignment captions are looked up in.
#include "DefaultData.h"

#include "devices/keyboard/KeyboardTables.h"
#include "macros/KeyTables.h"

#include <gtest/gtest.h>

#include <cstdio>

using namespace nk7x;
using namespace nk7x::test;

namespace {

std::string Hex(long long v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%06llx", v);
    return buf;
}

const Json::Value& KeyboardProfile() {
    static const Json::Value root = ParseDefaultStrict("keyboard.Json");
    return root["Device"][0];
}

// A custom colour group holds one colour per key; the keyboard's custom pages are chosen by the
// group index, so every group must be complete.
constexpr unsigned kCustomGroupCount = 5;

} // namespace

TEST(KeyboardDefaults, KeyListIsTheFactoryTable) {
    const Json::Value& list = KeyboardProfile()["KeyList"];
    ASSERT_TRUE(list.isArray());
    ASSERT_EQ(list.size(), static_cast<unsigned>(kKeyboardKeyCount));
    for (int i = 0; i < kKeyboardKeyCount; ++i) {
        const KeyCode& code = DefaultKeyCodeTable[static_cast<std::size_t>(i)].code;
        const long long expected = static_cast<long long>(code.type) << 16 | code.b1 << 8 | code.b2;
        const Json::Value& entry = list[i];
        const std::string where = "KeyList[" + std::to_string(i) + "]";
        ASSERT_TRUE(entry.isObject()) << where;
        ASSERT_TRUE(IsIntIn(entry["Assignment"], 0, 0xFFFFFF, where + ".Assignment"));
        ASSERT_TRUE(IsIntIn(entry["DefaultAssignment"], 0, 0xFFFFFF, where + ".DefaultAssignment"));
        EXPECT_EQ(entry["DefaultAssignment"].asInt64(), expected)
            << where << ": default " << Hex(entry["DefaultAssignment"].asInt64()) << ", factory "
            << Hex(expected);
        // Restoring defaults must leave every key on its own factory code, or the key is no longer
        // found in the keyboard's table (keys are located by factory code) and is never written.
        EXPECT_EQ(entry["Assignment"].asInt64(), expected)
            << where << ": assignment " << Hex(entry["Assignment"].asInt64()) << ", factory "
            << Hex(expected);
    }
}

// Key buttons show their assignment's name and mark a key as unchanged when that name equals the
// name of the key's factory code; both come from the key table, so every named factory code must
// be a key-table row with the key's own name.
TEST(KeyboardDefaults, FactoryCodesNameTheirKeysInTheKeyTable) {
    int named = 0;
    for (int i = 0; i < kKeyboardKeyCount; ++i) {
        const DefaultKeyEntry& key = DefaultKeyCodeTable[static_cast<std::size_t>(i)];
        if (!key.label)
            continue;
        ++named;
        const std::string name = std::string("keyboard_key_") + key.label;
        const auto row = FindKeyByCodes(key.code.type, key.code.b1, key.code.b2);
        ASSERT_TRUE(row.has_value()) << "key " << i << " (" << name << "): code "
                                     << Hex(key.code.type << 16 | key.code.b1 << 8 | key.code.b2)
                                     << " is no key-table row";
        EXPECT_EQ(KeyTable()[*row].nameKey, name) << "key " << i;
    }
    // 126 keys, of which 17, 18, 19, 20, 62 and 104 have no name.
    EXPECT_EQ(named, kKeyboardKeyCount - 6);
}

TEST(KeyboardDefaults, SystemStagesAreValidOptions) {
    const Json::Value& s = KeyboardProfile()["SystemStages"];
    ASSERT_TRUE(s.isObject());
    EXPECT_EQ(s.size(), 6u) << "exactly the six keyboard settings";
    EXPECT_TRUE(IsIntIn(s["Repeat"], 0, 0xFFFF, "Repeat"));
    EXPECT_TRUE(IsIntIn(s["RepeatDelay"], 0, 3, "RepeatDelay"));
    EXPECT_TRUE(IsIntIn(s["PollingRate"], 0, 3, "PollingRate"));
    for (const char* flag : {"Key6Flag", "WFlag", "WinFlag"})
        EXPECT_TRUE(IsIntIn(s[flag], 0, 1, flag));
}

TEST(KeyboardDefaults, CustomColourGroupsCoverEveryKey) {
    const Json::Value& custom = KeyboardProfile()["CustomLightMode"];
    ASSERT_TRUE(custom.isObject());
    const Json::Value& groups = custom["LightColorInfo"];
    ASSERT_TRUE(groups.isArray());
    ASSERT_EQ(groups.size(), kCustomGroupCount);
    ASSERT_TRUE(
        IsIntIn(custom["CustomLightModeGroupIndex"], 0, kCustomGroupCount - 1, "CustomLightModeGroupIndex"));
    for (unsigned g = 0; g < groups.size(); ++g) {
        ASSERT_TRUE(groups[g].isArray());
        ASSERT_EQ(groups[g].size(), static_cast<unsigned>(kKeyboardKeyCount)) << "group " << g;
        for (unsigned k = 0; k < groups[g].size(); ++k) {
            const Json::Value& c = groups[g][k];
            const std::string where = "group " + std::to_string(g) + " key " + std::to_string(k);
            ASSERT_TRUE(c.isObject()) << where;
            EXPECT_EQ(c.size(), 4u) << where;
            for (const char* part : {"Red", "Green", "Blue", "Alpha"})
                EXPECT_TRUE(IsIntIn(c[part], 0, 255, where + "." + part));
        }
    }
    // The group the light info selects must exist too.
    EXPECT_TRUE(
        IsIntIn(KeyboardProfile()["LightInfo"]["CustomGroup"], 0, kCustomGroupCount - 1, "CustomGroup"));
}
