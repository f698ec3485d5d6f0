#include "ProfileTestEnv.h"

#include "profiles/HeadsetProfileData.h"
#include "profiles/KeyboardProfileData.h"
#include "profiles/MouseProfileData.h"
#include "profiles/ProfileFolders.h"
#include "profiles/json/JsonFile.h"

namespace nk7x::test {
namespace {

Json::Value Parse(const std::string& text) {
    Json::Value v;
    EXPECT_TRUE(ParseJsonText(text, v)) << text;
    return v;
}

// ---- keyboard ----

TEST(KeyboardProfile, SystemStagesReadWriteInPlace) {
    CKeyboardProfiledata k;
    k.SetProfileValue(Parse(R"({"SystemStages":{"Repeat":70000,"RepeatDelay":2,"Key6Flag":1,"PollingRate":3,
                               "WFlag":0,"WinFlag":1,"Other":"x"}})"));
    EXPECT_EQ(k.GetSystemStages(), (KeyboardSystemStages{70000 & 0xFFFF, 2, 1, 3, 0, 1}));
    k.SetSystemStages(KeyboardSystemStages{1, 2, 3, 4, 5, 6});
    const Json::Value& s = k.GetProfileValue()["SystemStages"];
    EXPECT_EQ(s["Repeat"].asInt(), 1);
    EXPECT_EQ(s["WinFlag"].asInt(), 6);
    EXPECT_EQ(s["Other"].asString(), "x");
    k.SetProfileValue(Parse(R"({"SystemStages":[1,2]})"));
    EXPECT_EQ(k.GetSystemStages(), KeyboardSystemStages{});
    EXPECT_EQ(k.SystemStages(), KeyboardSystemStages{});
}

TEST(KeyboardProfile, CustomColorsAreCreatedAsZerosWhenMissing) {
    CKeyboardProfiledata k;
    k.SetProfileValue(Parse(R"({"LightInfo":{}})"));
    auto colors = k.GetCustomColors(2, 126);
    ASSERT_EQ(colors.size(), 126u);
    for (const auto& c : colors)
        EXPECT_EQ(c, CustomColor{});
    const Json::Value& groups = k.GetProfileValue()["CustomLightMode"]["LightColorInfo"];
    ASSERT_TRUE(groups.isArray());
    ASSERT_EQ(groups[2].size(), 126u);
    EXPECT_EQ(groups[2][125], Parse(R"({"Red":0,"Green":0,"Blue":0,"Alpha":0})"));
    EXPECT_TRUE(groups[0].isNull());
}

TEST(KeyboardProfile, CustomColorsReadPresentEntriesAndFillGaps) {
    CKeyboardProfiledata k;
    k.SetProfileValue(Parse(R"({"CustomLightMode":{"CustomLightModeGroupIndex":1,
        "LightColorInfo":[[],[{"Red":1,"Green":2,"Blue":3,"Alpha":4},null,"bad"]]}})"));
    EXPECT_EQ(k.GetCustomGroup(), 1);
    auto colors = k.GetCustomColors(1, 4);
    ASSERT_EQ(colors.size(), 4u);
    EXPECT_EQ(colors[0], (CustomColor{1, 2, 3, 4}));
    EXPECT_EQ(colors[1], CustomColor{});
    EXPECT_EQ(k.GetProfileValue()["CustomLightMode"]["LightColorInfo"][1].size(), 4u);
    EXPECT_EQ(k.GetProfileValue()["CustomLightMode"]["LightColorInfo"][1][2]["Alpha"].asInt(), 0);

    colors[3] = CustomColor{9, 8, 7, 6};
    k.SetCustomColors(colors, 1);
    k.SetCustomGroup(3);
    EXPECT_EQ(k.GetCustomColors(1, 4), colors);
    EXPECT_EQ(k.GetCustomGroup(), 3);
    EXPECT_EQ(k.CustomGroup(), 3);
    EXPECT_EQ(k.GetProfileValue()["CustomLightMode"]["LightColorInfo"][1][3]["Red"].asInt(), 9);
}

TEST(KeyboardProfile, GroupIndexFromAFileCannotBlowUpTheDocument) {
    CKeyboardProfiledata k;
    k.SetProfileValue(Parse(R"({"CustomLightMode":{"CustomLightModeGroupIndex":2000000000}})"));
    int group = k.GetCustomGroup();
    auto colors = k.GetCustomColors(group, 126);
    EXPECT_EQ(colors.size(), 126u);
    k.SetCustomColors(colors, group);
    EXPECT_FALSE(k.GetProfileValue()["CustomLightMode"].isMember("LightColorInfo"));
    EXPECT_TRUE(k.GetCustomColors(-1, 5).size() == 5u);
    EXPECT_TRUE(k.GetCustomColors(0, -3).empty());
}

// ---- mouse ----

Json::Value MouseProfile(int stages) {
    Json::Value p(Json::objectValue);
    p["DPIStages"]["StageActive"] = stages - 1;
    for (int i = 0; i < stages; ++i) {
        Json::Value& s = p["DPIStages"]["StageDPIs"][i];
        s["StageActive"] = 1;
        s["StageXY"] = 0;
        s["StageDPIX"] = 400 * (i + 1) + stages; // marks which profile it came from
        s["StageDPIY"] = 0x10000 + 800;          // beyond 16 bits: low bits kept
        s["StageColorR"] = i;
        s["StageColorG"] = 2;
        s["StageColorB"] = 3;
    }
    return p;
}

TEST(MouseProfile, DpiStagesOfAShorterProfileKeepTheTailOfTheLongerOne) {
    CMouseProfiledata m;
    m.SetProfileValue(MouseProfile(6));
    auto six = m.GetDpiStages();
    ASSERT_EQ(six.size(), 6u);
    EXPECT_EQ(six[5], (DpiStage{1, 0, 2406, 800, 5, 2, 3}));
    EXPECT_EQ(m.GetStageActive(), 5);

    m.SetProfileValue(MouseProfile(4));
    auto stages = m.GetDpiStages();
    ASSERT_EQ(stages.size(), 6u);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(stages[static_cast<std::size_t>(i)].dpiX, 400 * (i + 1) + 4);
    EXPECT_EQ(stages[4], six[4]);
    EXPECT_EQ(stages[5], six[5]);
    EXPECT_EQ(m.GetStageActive(), 3);

    m.SetProfileValue(Parse(R"({"DPIStages":{"StageActive":1}})"));
    EXPECT_EQ(m.GetDpiStages(), stages); // no stage list: the stored stages stay
    EXPECT_EQ(m.GetStageActive(), 3);
}

TEST(MouseProfile, SetDpiStagesWritesAllSevenKeys) {
    CMouseProfiledata m;
    std::vector<DpiStage> stages{{1, 1, 0x1234, 0x5678, 9, 8, 7}, {0, 0, 100, 100, 0, 0, 0}};
    m.SetDpiStages(stages);
    m.SetStageActive(1);
    const Json::Value& s = m.GetProfileValue()["DPIStages"];
    EXPECT_EQ(s["StageActive"].asInt(), 1);
    EXPECT_EQ(s["StageDPIs"][0].size(), 7u);
    EXPECT_EQ(s["StageDPIs"][0]["StageDPIX"].asInt(), 0x1234);
    CMouseProfiledata fresh;
    fresh.SetProfileValue(m.GetProfileValue());
    EXPECT_EQ(fresh.GetDpiStages(), stages);
    EXPECT_EQ(fresh.GetStageActive(), 1);
}

TEST(MouseProfile, SystemStagesAndReportRate) {
    CMouseProfiledata m;
    m.SetProfileValue(Parse(R"({"ReportStages":{"StageActive":3}})"));
    EXPECT_EQ(m.GetSystemStages(), MouseSystemStages{}); // no "SystemStages": all zero
    m.SetProfileValue(Parse(R"({"SystemStages":{"DoubleClickTime":500,"MouseSpeed":10,"PointerPrecision":1,
                                "ScorllPage":2,"WheelScorlllinse":3}})"));
    EXPECT_EQ(m.GetSystemStages(), (MouseSystemStages{500, 10, 1, 2, 3, 0}));
    m.SetSystemStages(MouseSystemStages{1, 2, 3, 4, 5, 6});
    EXPECT_EQ(m.GetProfileValue()["ReportStages"]["StageActive"].asInt(), 6);
    EXPECT_EQ(m.GetProfileValue()["SystemStages"]["WheelScorlllinse"].asInt(), 5);
    EXPECT_EQ(m.GetSystemStages(), (MouseSystemStages{1, 2, 3, 4, 5, 6}));
}

TEST(MouseProfile, CorrectInfoEntries) {
    CMouseProfiledata m;
    m.SetProfileValue(Parse(R"({"CorrectInfo":[{"CorrectPixThresh":5,"CorrectMinSq":6,"CorrectSelect":1,
                                "CorrectName":"直线修正"},{"CorrectName":7},3]})"));
    auto entries = m.GetCorrectInfo();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0], (CorrectEntry{5, 6, 1, "直线修正"}));
    EXPECT_EQ(entries[1], CorrectEntry{});
    EXPECT_EQ(entries[2], CorrectEntry{});
    EXPECT_EQ(m.CorrectEntries(), entries);
}

// ---- headset ----

TEST(HeadsetProfile, EqTypesMapToSlots) {
    EXPECT_EQ(CHs6533Profiledata::EqSlotOf(0), 1);
    EXPECT_EQ(CHs6533Profiledata::EqSlotOf(1), 1);
    EXPECT_EQ(CHs6533Profiledata::EqSlotOf(12), 12);
    EXPECT_EQ(CHs6533Profiledata::EqSlotOf(13), -1);
    EXPECT_EQ(CHs6533Profiledata::EqSlotOf(14), 1);
    EXPECT_EQ(CHs6533Profiledata::EqSlotOf(-5), 1);

    CHs6533Profiledata h;
    h.SetProfileValue(Parse(R"({"EQHzValueInfo":[null,[{"value":1},{"value":2}],[{"value":9}]]})"));
    auto zero = h.GetEqValues(0);
    EXPECT_EQ(zero, (std::vector<int32_t>{1, 2, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(h.GetEqValues(1), zero);
    EXPECT_EQ(h.GetEqValues(20), zero);
    EXPECT_EQ(h.GetProfileValue()["EQHzValueInfo"][1].size(), 2u); // bands inside a slot are not created

    const Json::Value before = h.GetProfileValue();
    EXPECT_TRUE(h.GetEqValues(13).empty());
    h.SetEqValues(13, std::vector<int32_t>(10, 5));
    EXPECT_EQ(h.GetProfileValue(), before);

    EXPECT_EQ(h.GetEqValues(7), std::vector<int32_t>(10, 0));
    EXPECT_EQ(h.GetProfileValue()["EQHzValueInfo"][7].size(), 10u);
    EXPECT_EQ(h.GetProfileValue()["EQHzValueInfo"][7][9], Parse(R"({"value":0})"));

    std::vector<int32_t> twelve{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    h.SetEqValues(12, twelve);
    EXPECT_EQ(h.GetEqValues(12), std::vector<int32_t>(twelve.begin(), twelve.begin() + 10));
    EXPECT_EQ(h.GetProfileValue()["EQHzValueInfo"][12].size(), 10u);
}

TEST(HeadsetProfile, CustomCurvesStayParallelWithTheirNames) {
    CHs6533Profiledata h;
    h.SetCustomEqNames({"Rock", "低音"});
    h.SetCustomEqValues(0, std::vector<int32_t>(10, 3));
    h.SetCustomEqValues(1, std::vector<int32_t>(10, -4));
    EXPECT_EQ(h.GetCustomEqNames(), (std::vector<std::string>{"Rock", "低音"}));
    EXPECT_EQ(h.GetCustomEqValues(1), std::vector<int32_t>(10, -4));
    EXPECT_EQ(h.GetCustomEqValues(5), std::vector<int32_t>(10, 0));
    EXPECT_EQ(h.GetProfileValue()["CustomEQHzValueInfo"].size(), 6u);
    EXPECT_EQ(h.GetCustomEqValues(-1), std::vector<int32_t>(10, 0));
    EXPECT_EQ(h.GetProfileValue()["CustomEQHzValueInfo"].size(), 6u);

    ASSERT_TRUE(h.RemoveCustomEq(0));
    EXPECT_EQ(h.GetCustomEqNames(), (std::vector<std::string>{"低音"}));
    EXPECT_EQ(h.GetCustomEqValues(0), std::vector<int32_t>(10, -4));
    EXPECT_FALSE(h.RemoveCustomEq(40));

    CHs6533Profiledata none;
    EXPECT_FALSE(none.RemoveCustomEq(0));
    EXPECT_FALSE(none.GetProfileValue().isMember("CustomEQNameInfo"));
}

TEST(HeadsetProfile, SystemSetStagesRoundTrip) {
    CHs6533Profiledata h;
    EXPECT_EQ(h.GetSystemSetStages(), HeadsetSystemSetStages{});
    HeadsetSystemSetStages s{1, 3, 13, 0, 1, 75, 0, 20};
    h.SetSystemSetStages(s);
    EXPECT_EQ(h.GetProfileValue()["SystemSetStages"]["CustomEqSeletIndex"].asInt(), 0);
    EXPECT_EQ(h.GetProfileValue()["SystemSetStages"]["MicMoniterValue"].asInt(), 20);
    CHs6533Profiledata other;
    other.SetProfileValue(h.GetProfileValue());
    EXPECT_EQ(other.GetSystemSetStages(), s);
}

// A keyboard profile keeps the mouse and headset sections through a load and a save.
class KindSectionsTest : public ProfileTestEnv {};

TEST_F(KindSectionsTest, OtherKindsSectionsSurviveAKeyboardSave) {
    const std::string path = ProfileFilePath(DeviceFamily::Keyboard, "p");
    ASSERT_EQ(path, InKind("keyboard", "p.Json"));
    Json::Value profile = MouseProfile(3);
    profile["EQHzValueInfo"][1][0]["value"] = 4;
    profile["SystemStages"]["Repeat"] = 1;
    Json::Value file;
    file["Device"][0] = profile;
    ASSERT_EQ(WriteJson(path, file), 1);

    CKeyboardProfiledata k(DefaultData("keyboard.Json"));
    k.SetProfilePath(path);
    k.LoadFromFile(path);
    k.SetSystemStages(KeyboardSystemStages{5, 0, 0, 0, 0, 0});
    k.GetCustomColors(0, 3);
    ASSERT_EQ(k.Save(), 1);

    CMouseProfiledata m;
    m.LoadFromFile(path);
    EXPECT_EQ(m.GetDpiStages().size(), 3u);
    CHs6533Profiledata h;
    h.LoadFromFile(path);
    EXPECT_EQ(h.GetEqValues(1)[0], 4);
    EXPECT_EQ(LoadJson(path)["Device"][0]["SystemStages"]["Repeat"].asInt(), 5);
}

} // namespace
} // namespace nk7x::test
