// The mouse's default profile against its button table and the limits of its settings record.
#include "DefaultData.h"

#include "devices/mouse/MouseTables.h"
#include "macros/KeyTables.h"

#include <gtest/gtest.h>

#include <set>

using namespace nk7x;
using namespace nk7x::test;

namespace {

const Json::Value& MouseProfile() {
    static const Json::Value root = ParseDefaultStrict("mouse.Json");
    return root["Device"][0];
}

long long Packed(const KeyCode& c) {
    return static_cast<long long>(c.type) << 16 | c.b1 << 8 | c.b2;
}

} // namespace

TEST(MouseDefaults, KeyListIsTheButtonTable) {
    const Json::Value& list = MouseProfile()["KeyList"];
    ASSERT_TRUE(list.isArray());
    ASSERT_EQ(list.size(), static_cast<unsigned>(kMouseButtonCount));
    for (int b = 0; b < kMouseButtonCount; ++b) {
        const long long expected = Packed(DefaultButtonCodeTable[static_cast<std::size_t>(b)].code);
        const std::string where = "KeyList[" + std::to_string(b) + "]";
        ASSERT_TRUE(IsIntIn(list[b]["Assignment"], 0, 0xFFFFFF, where + ".Assignment"));
        ASSERT_TRUE(IsIntIn(list[b]["DefaultAssignment"], 0, 0xFFFFFF, where + ".DefaultAssignment"));
        EXPECT_EQ(list[b]["DefaultAssignment"].asInt64(), expected) << where;
        EXPECT_EQ(list[b]["Assignment"].asInt64(), expected) << where;
    }
}

// Buttons are located in the mouse's table by their factory codes, so two buttons with one code
// would leave the second unreachable.
TEST(MouseDefaults, ButtonCodesAreDistinctAndNamed) {
    std::set<long long> codes;
    for (const auto& button : DefaultButtonCodeTable) {
        EXPECT_TRUE(codes.insert(Packed(button.code)).second) << button.nameKey;
        ASSERT_NE(button.nameKey, nullptr);
        EXPECT_FALSE(std::string(button.nameKey).empty());
    }
}

// The plain buttons (category 0x10, byte 1 the button bit) carry the same names as the mouse
// events that macros record, so the button list and the macro editor agree.
TEST(MouseDefaults, PlainButtonsMatchTheMouseEventTable) {
    int plain = 0;
    for (const auto& button : DefaultButtonCodeTable) {
        if (button.code.type != kMouseButtonCategory)
            continue;
        ++plain;
        const auto row = FindMouseButtonByBit(button.code.b1);
        ASSERT_TRUE(row.has_value()) << button.nameKey;
        EXPECT_EQ(MouseEventTable()[*row].nameKey, button.nameKey);
    }
    EXPECT_EQ(plain, 5);
}

TEST(MouseDefaults, FiveDpiStagesWithinTheRecord) {
    const Json::Value& dpi = MouseProfile()["DPIStages"];
    ASSERT_TRUE(dpi.isObject());
    const Json::Value& stages = dpi["StageDPIs"];
    ASSERT_TRUE(stages.isArray());
    // The settings record carries exactly five stages; more would be cut off on the way.
    ASSERT_EQ(stages.size(), static_cast<unsigned>(kMouseDpiStageCount));
    ASSERT_TRUE(IsIntIn(dpi["StageActive"], 0, kMouseDpiStageCount - 1, "DPIStages.StageActive"));
    long long previous = 0;
    for (unsigned s = 0; s < stages.size(); ++s) {
        const Json::Value& st = stages[s];
        const std::string where = "StageDPIs[" + std::to_string(s) + "]";
        ASSERT_TRUE(st.isObject()) << where;
        EXPECT_EQ(st.size(), 7u) << where;
        EXPECT_TRUE(IsIntIn(st["StageActive"], 0, 1, where + ".StageActive"));
        EXPECT_TRUE(IsIntIn(st["StageXY"], 0, 1, where + ".StageXY"));
        // Counts of DPI steps, 16 bits on the wire; zero would be a dead stage.
        EXPECT_TRUE(IsIntIn(st["StageDPIX"], 1, 0xFFFF, where + ".StageDPIX"));
        EXPECT_TRUE(IsIntIn(st["StageDPIY"], 1, 0xFFFF, where + ".StageDPIY"));
        for (const char* c : {"StageColorR", "StageColorG", "StageColorB"})
            EXPECT_TRUE(IsIntIn(st[c], 0, 255, where + "." + c));
        EXPECT_GT(st["StageDPIX"].asInt64(), previous) << "stages rise from slow to fast";
        previous = st["StageDPIX"].asInt64();
    }
    // The active stage must be one that is switched on.
    EXPECT_EQ(stages[dpi["StageActive"].asUInt()]["StageActive"].asInt(), 1);
}

TEST(MouseDefaults, SystemAndReportStages) {
    const Json::Value& s = MouseProfile()["SystemStages"];
    ASSERT_TRUE(s.isObject());
    for (const char* key :
         {"DoubleClickTime", "MouseSpeed", "PointerPrecision", "ScorllPage", "WheelScorlllinse"})
        EXPECT_TRUE(IsIntIn(s[key], 0, 0xFFFF, key));
    EXPECT_EQ(s.size(), 5u);
    EXPECT_TRUE(IsIntIn(s["PointerPrecision"], 0, 1, "PointerPrecision"));
    EXPECT_TRUE(IsIntIn(s["ScorllPage"], 0, 1, "ScorllPage"));
    EXPECT_TRUE(IsIntIn(MouseProfile()["ReportStages"]["StageActive"], 0, kMouseReportStageCount - 1,
                        "ReportStages.StageActive"));
}

TEST(MouseDefaults, CorrectionEntries) {
    const Json::Value& list = MouseProfile()["CorrectInfo"];
    ASSERT_TRUE(list.isArray());
    ASSERT_FALSE(list.empty());
    int selected = 0;
    std::set<std::string> names;
    for (unsigned i = 0; i < list.size(); ++i) {
        const Json::Value& e = list[i];
        const std::string where = "CorrectInfo[" + std::to_string(i) + "]";
        ASSERT_TRUE(e.isObject()) << where;
        EXPECT_TRUE(IsIntIn(e["CorrectPixThresh"], 0, 255, where + ".CorrectPixThresh"));
        EXPECT_TRUE(IsIntIn(e["CorrectMinSq"], 0, 255, where + ".CorrectMinSq"));
        EXPECT_TRUE(IsIntIn(e["CorrectSelect"], 0, 1, where + ".CorrectSelect"));
        ASSERT_TRUE(e["CorrectName"].isString()) << where;
        EXPECT_TRUE(names.insert(e["CorrectName"].asString()).second) << where << " repeats a name";
        selected += e["CorrectSelect"].asInt();
    }
    // The record takes the first selected entry; more than one would make the others dead.
    EXPECT_EQ(selected, 1);
}
