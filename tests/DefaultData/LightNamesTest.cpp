// The lighting names file and every default profile's lighting against the built-in mode tables.
#include "DefaultData.h"

#include "devices/LightModeTables.h"

#include <gtest/gtest.h>

#include <set>

using namespace nk7x;
using namespace nk7x::test;

namespace {

const Json::Value& LightNames() {
    static const Json::Value root = ParseDefaultStrict("default_light.json");
    return root;
}

struct KindProfile {
    int kind;
    const char* file;
};
constexpr KindProfile kProfiles[] = {
    {0, "keyboard.Json"}, {1, "mouse.Json"}, {2, "MousePad.Json"}, {3, "HD.Json"}};

bool IsVisibleBuiltIn(int kind, long long mode) {
    const auto modes = BuiltInLightModes(kind);
    return mode >= 0 && mode < static_cast<long long>(modes.size()) &&
           modes[static_cast<std::size_t>(mode)].visible;
}

} // namespace

TEST(LightNames, ModeListsMatchTheModeTables) {
    const Json::Value& lists = LightNames()["DefaultLightName"];
    ASSERT_TRUE(lists.isArray());
    ASSERT_EQ(lists.size(), static_cast<unsigned>(kLightKindCount));
    for (int kind = 0; kind < kLightKindCount; ++kind) {
        const auto modes = BuiltInLightModes(kind);
        const Json::Value& list = lists[kind];
        ASSERT_TRUE(list.isArray()) << "kind " << kind;
        // Item i of the mode list is mode i: one entry too many or too few shifts every mode after it.
        ASSERT_EQ(list.size(), modes.size()) << "kind " << kind;
        for (unsigned m = 0; m < list.size(); ++m) {
            const std::string where =
                "DefaultLightName[" + std::to_string(kind) + "][" + std::to_string(m) + "]";
            ASSERT_TRUE(list[m].isObject()) << where;
            EXPECT_EQ(list[m].size(), 2u) << where;
            ASSERT_TRUE(list[m]["LightName"].isString()) << where;
            ASSERT_TRUE(list[m]["visible"].isBool()) << where << ": \"visible\" must be a boolean";
            EXPECT_EQ(list[m]["LightName"].asString(), modes[m].nameKey) << where;
            EXPECT_EQ(list[m]["visible"].asBool(), modes[m].visible) << where;
        }
    }
}

TEST(LightNames, AreaListsMatchTheAreaTables) {
    const Json::Value& lists = LightNames()["AreaLightName"];
    ASSERT_TRUE(lists.isArray());
    ASSERT_EQ(lists.size(), static_cast<unsigned>(kLightKindCount));
    for (int kind = 0; kind < kLightKindCount; ++kind) {
        const auto areas = LightAreaNames(kind);
        const Json::Value& list = lists[kind];
        ASSERT_TRUE(list.isArray()) << "kind " << kind;
        ASSERT_EQ(list.size(), areas.size()) << "kind " << kind;
        std::set<std::string> seen;
        for (unsigned a = 0; a < list.size(); ++a) {
            const std::string where =
                "AreaLightName[" + std::to_string(kind) + "][" + std::to_string(a) + "]";
            ASSERT_TRUE(list[a].isObject()) << where;
            EXPECT_EQ(list[a].size(), 1u) << where;
            ASSERT_TRUE(list[a]["LightName"].isString()) << where;
            EXPECT_EQ(list[a]["LightName"].asString(), areas[a]) << where;
            EXPECT_TRUE(seen.insert(areas[a]).second) << where << " repeats an area";
        }
    }
}

// Names are language keys: one that is not a plain key would show up untranslated.
TEST(LightNames, NamesAreLanguageKeys) {
    for (int kind = 0; kind < kLightKindCount; ++kind) {
        std::vector<std::string> names;
        for (const auto& mode : BuiltInLightModes(kind))
            names.push_back(mode.nameKey);
        for (const char* area : LightAreaNames(kind))
            names.push_back(area);
        for (const auto& name : names) {
            ASSERT_FALSE(name.empty());
            for (char c : name)
                EXPECT_TRUE((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_') << name;
        }
    }
    EXPECT_TRUE(BuiltInLightModes(kLightKindCount).empty());
    EXPECT_TRUE(BuiltInLightModes(-1).empty());
    EXPECT_TRUE(LightAreaNames(kLightKindCount).empty());
}

// Copying an effect to all devices maps it through five common effects (breathing, static, blink,
// colour cycle, off); each kind's mode for them must be one the mode list offers.
TEST(LightNames, CommonEffectsAreOfferedByEveryKind) {
    const int keyboard[] = {5, 6, 24, 4, 28};
    const int others[] = {2, 3, 4, 1, 8};
    for (int kind = 0; kind < kLightKindCount; ++kind) {
        for (int e = 0; e < 5; ++e) {
            const int mode = kind == 0 ? keyboard[e] : others[e];
            EXPECT_TRUE(IsVisibleBuiltIn(kind, mode))
                << "kind " << kind << " common effect " << e << " mode " << mode;
        }
    }
    // The same five effects carry the same names on every kind.
    for (int e = 0; e < 5; ++e) {
        const std::string name = BuiltInLightModes(0)[static_cast<std::size_t>(keyboard[e])].nameKey;
        for (int kind = 1; kind < kLightKindCount; ++kind)
            EXPECT_EQ(BuiltInLightModes(kind)[static_cast<std::size_t>(others[e])].nameKey, name)
                << "kind " << kind;
    }
}

TEST(LightNames, DefaultProfilesStartInAnOfferedMode) {
    for (const auto& p : kProfiles) {
        SCOPED_TRACE(p.file);
        const Json::Value root = ParseDefaultStrict(p.file);
        const Json::Value& info = root["Device"][0]["LightInfo"];
        ASSERT_TRUE(info.isObject());
        EXPECT_EQ(info.size(), 10u) << "the ten light info keys";
        ASSERT_TRUE(IsIntIn(info["SelectItem"], 0, 255, "SelectItem"));
        EXPECT_TRUE(IsVisibleBuiltIn(p.kind, info["SelectItem"].asInt64()))
            << "mode " << info["SelectItem"].asInt64() << " is not offered in the mode list";
        EXPECT_TRUE(IsIntIn(info["Light"], 0, 4, "Light"));
        EXPECT_TRUE(IsIntIn(info["Speed"], 0, 4, "Speed"));
        EXPECT_TRUE(IsIntIn(info["Fx"], 0, 1, "Fx"));
        EXPECT_TRUE(IsIntIn(info["MultiColor"], 0, 1, "MultiColor"));
        for (const char* c : {"Red", "Green", "Blue"})
            EXPECT_TRUE(IsIntIn(info[c], 0, 255, c));
        EXPECT_TRUE(IsIntIn(info["ZZCCLedMode"], 0, 3, "ZZCCLedMode"));
        EXPECT_TRUE(IsIntIn(info["CustomGroup"], 0, 255, "CustomGroup"));
        // No light-area overlays by default; the list is there so the page reads an empty one.
        ASSERT_TRUE(root["Device"][0]["LightList"].isArray());
        EXPECT_TRUE(root["Device"][0]["LightList"].empty());
    }
}
