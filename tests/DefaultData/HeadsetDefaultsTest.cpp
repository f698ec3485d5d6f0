// The headset's default profile against the equaliser presets and the sound settings' ranges.
#include "DefaultData.h"

#include "devices/headset/HeadsetTables.h"

#include <gtest/gtest.h>

using namespace nk7x;
using namespace nk7x::test;

namespace {

const Json::Value& HeadsetProfile() {
    static const Json::Value root = ParseDefaultStrict("HD.Json");
    return root["Device"][0];
}

} // namespace

TEST(HeadsetDefaults, EqSlotsHoldThePresets) {
    const Json::Value& slots = HeadsetProfile()["EQHzValueInfo"];
    ASSERT_TRUE(slots.isArray());
    // Slot t holds EqType t; slot 0 is never read but keeps the indexes aligned.
    ASSERT_EQ(slots.size(), static_cast<unsigned>(kEqPresetCount + 1));
    for (int t = 0; t <= kEqPresetCount; ++t) {
        const Json::Value& slot = slots[t];
        ASSERT_TRUE(slot.isArray()) << "slot " << t;
        ASSERT_EQ(slot.size(), static_cast<unsigned>(kEqBandCount)) << "slot " << t;
        const EqBands* preset = EqPreset(t);
        for (int b = 0; b < kEqBandCount; ++b) {
            const std::string where = "EQHzValueInfo[" + std::to_string(t) + "][" + std::to_string(b) + "]";
            ASSERT_TRUE(slot[b].isObject()) << where;
            EXPECT_EQ(slot[b].size(), 1u) << where;
            ASSERT_TRUE(IsIntIn(slot[b]["value"], -128, 127, where + ".value"));
            const int expected = preset ? (*preset)[static_cast<std::size_t>(b)] : 0;
            EXPECT_EQ(slot[b]["value"].asInt(), expected) << where;
        }
    }
}

TEST(HeadsetDefaults, PresetLookupCoversExactlyTheTwelveTypes) {
    EXPECT_EQ(EqPreset(kEqTypeNone), nullptr);
    EXPECT_EQ(EqPreset(kEqTypeCustom), nullptr);
    EXPECT_EQ(EqPreset(-1), nullptr);
    ASSERT_NE(EqPreset(1), nullptr);
    ASSERT_NE(EqPreset(12), nullptr);
    // Spot values that tell the rows apart: a table shifted by one row fails here.
    EXPECT_EQ((*EqPreset(1))[7], 12);
    EXPECT_EQ((*EqPreset(5)), (EqBands{}));
    EXPECT_EQ((*EqPreset(6))[2], -13);
    EXPECT_EQ((*EqPreset(11))[0], 18);
    EXPECT_EQ((*EqPreset(12))[9], 15);
}

TEST(HeadsetDefaults, SoundSettingsInRange) {
    const Json::Value& s = HeadsetProfile()["SystemSetStages"];
    ASSERT_TRUE(s.isObject());
    EXPECT_EQ(s.size(), 8u);
    EXPECT_TRUE(IsIntIn(s["MagicEnable"], 0, 1, "MagicEnable"));
    EXPECT_TRUE(IsIntIn(s["MagicType"], 1, 4, "MagicType"));
    // A preset, not the custom curve: the default profile has no custom curves to select.
    EXPECT_TRUE(IsIntIn(s["EqType"], 1, kEqPresetCount, "EqType"));
    EXPECT_TRUE(IsIntIn(s["MicInSelect"], 0, 1, "MicInSelect"));
    EXPECT_TRUE(IsIntIn(s["MicInValue"], 0, 100, "MicInValue"));
    EXPECT_TRUE(IsIntIn(s["MicMoniterSelect"], 0, 1, "MicMoniterSelect"));
    EXPECT_TRUE(IsIntIn(s["MicMoniterValue"], 0, 100, "MicMoniterValue"));
}

TEST(HeadsetDefaults, CustomCurveListsAreParallel) {
    const Json::Value& names = HeadsetProfile()["CustomEQNameInfo"];
    const Json::Value& curves = HeadsetProfile()["CustomEQHzValueInfo"];
    ASSERT_TRUE(names.isArray());
    ASSERT_TRUE(curves.isArray());
    EXPECT_EQ(names.size(), curves.size());
    EXPECT_LE(names.size(), static_cast<unsigned>(kMaxCustomEqCurves));
    // The selection is a curve of the list, or -1 (none) when there is none.
    const long long count = names.size();
    EXPECT_TRUE(IsIntIn(HeadsetProfile()["SystemSetStages"]["CustomEqSeletIndex"], count ? 0 : -1, count - 1,
                        "CustomEqSeletIndex"));
}
