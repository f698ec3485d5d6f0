#include "ProfileTestEnv.h"

#include "profiles/LightNames.h"
#include "profiles/ProfileFolders.h"
#include "profiles/json/JsonFile.h"

namespace nk7x::test {
namespace {

class KindFolderTest : public ProfileTestEnv {};

TEST_F(KindFolderTest, BuildingAPathCreatesTheRootAndTheKindFolder) {
    std::filesystem::remove_all(m_data);
    ASSERT_FALSE(std::filesystem::exists(m_data));
    const std::string list = ProfileListPath(DeviceFamily::MousePad);
    EXPECT_EQ(list, InKind("MousePad", "ProfileList.ini"));
    EXPECT_TRUE(std::filesystem::is_directory(InKind("MousePad", "")));
    EXPECT_EQ(LightConfigPath(DeviceFamily::Headset), InKind("HD", "tavro_light.config"));
    EXPECT_TRUE(std::filesystem::is_directory(InKind("HD", "")));
    EXPECT_EQ(ProfileFilePath(DeviceFamily::Mouse, "2021_03_07_09_05_01_042"),
              InKind("mouse", "2021_03_07_09_05_01_042.Json"));
    EXPECT_EQ(DefaultProfilePath(DeviceFamily::Keyboard), DefaultData("keyboard.Json"));
    EXPECT_EQ(DefaultLightNamesPath(), DefaultData("default_light.json"));
}

TEST_F(KindFolderTest, NamesFromFilesCannotLeaveTheirFolder) {
    EXPECT_EQ(ProfileFilePath(DeviceFamily::Keyboard, "../../etc/x"), "");
    EXPECT_EQ(ProfileFilePath(DeviceFamily::Keyboard, ".."), "");
    EXPECT_EQ(ProfileFilePath(DeviceFamily::Keyboard, ""), "");
    EXPECT_EQ(ProfileFilePath(DeviceFamily::Keyboard, std::string("a\0b", 3)), "");
    EXPECT_EQ(KindFolder("../up"), "");
    EXPECT_EQ(KindFolder(""), "");
    EXPECT_FALSE(std::filesystem::exists(m_root / "up"));
    EXPECT_TRUE(IsPlainFileName("profile 1 (copy)"));
}

class LightNamesTest : public ProfileTestEnv {};

TEST_F(LightNamesTest, ListsComeFromTheKindsElement) {
    WriteText(DefaultData("default_light.json"), R"({
        "DefaultLightName":[[{"LightName":"Wave","visible":true},{"LightName":"Hidden","visible":false},
                             {"LightName":"NoFlag"}],
                            [{"LightName":"MouseMode","visible":1}]],
        "AreaLightName":[[{"LightName":"WASD"},{"LightName":"Arrows"}]]})");
    const std::string config = LightConfigPath(DeviceFamily::Keyboard);
    WriteText(config, R"({"LightInfo":[[{"LightName":"Mine","Guid":"g"}],null]})");

    LightNameLists k = ReadLightNameLists(0, DefaultLightNamesPath(), config);
    EXPECT_EQ(k.modes, (std::vector<LightModeName>{{"Wave", true}, {"Hidden", false}, {"NoFlag", false}}));
    EXPECT_EQ(k.areas, (std::vector<std::string>{"WASD", "Arrows"}));
    EXPECT_EQ(k.customEffects, (std::vector<std::string>{"Mine"}));

    LightNameLists m = ReadLightNameLists(1, DefaultLightNamesPath(), config);
    EXPECT_EQ(m.modes, (std::vector<LightModeName>{{"MouseMode", true}}));
    EXPECT_TRUE(m.areas.empty());
    EXPECT_TRUE(m.customEffects.empty());

    LightNameLists none = ReadLightNameLists(7, DefaultLightNamesPath(), config);
    EXPECT_TRUE(none.modes.empty() && none.areas.empty() && none.customEffects.empty());
}

TEST_F(LightNamesTest, MissingOrMisshapenFilesGiveEmptyLists) {
    LightNameLists missing = ReadLightNameLists(0, DefaultData("absent.json"), Temp("absent.config"));
    EXPECT_TRUE(missing.modes.empty() && missing.areas.empty() && missing.customEffects.empty());
    for (const char* text : {R"({"DefaultLightName":{"0":[]},"AreaLightName":"x"})", "[[1]]", "{",
                             R"({"DefaultLightName":[[1,"a",null]]})"}) {
        Json::Value doc;
        ParseJsonText(text, doc);
        for (const auto& mode : DefaultLightModeNames(doc, 0))
            EXPECT_EQ(mode, LightModeName{}) << text;
        EXPECT_TRUE(AreaLightNames(doc, 0).empty()) << text;
        EXPECT_TRUE(CustomEffectNames(doc, -1).empty());
    }
}

} // namespace
} // namespace nk7x::test
