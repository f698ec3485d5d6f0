// The default files read through the program's own profile classes and name-list readers, the
// way a device page reads them, held against the device tables.
#include "DefaultData.h"
#include "TableBridge.h"

#include "profiles/HeadsetProfileData.h"
#include "profiles/KeyboardProfileData.h"
#include "profiles/LightNames.h"
#include "profiles/MouseProfileData.h"
#include "profiles/ProfileFolders.h"
#include "profiles/json/JsonFile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace nk7x;
using namespace nk7x::test;

namespace {

uint32_t Pack(uint8_t type, uint8_t high, uint8_t low) {
    return uint32_t{type} << 16 | uint32_t{high} << 8 | low;
}

// The program finds DefaultData in the source tree, and user files in a private temporary root.
class DefaultProfiles : public ::testing::Test {
  protected:
    void SetUp() override {
        m_root = fs::temp_directory_path() / ("nk7x-defaults-" + std::to_string(::getpid()));
        fs::remove_all(m_root);
        fs::create_directories(m_root);
        ::setenv("NK7X_PROGRAM_DIR", NK7X_SOURCE_DIR, 1);
        ::setenv("XDG_DATA_HOME", m_root.c_str(), 1);
    }
    void TearDown() override {
        fs::remove_all(m_root);
        ::unsetenv("NK7X_PROGRAM_DIR");
        ::unsetenv("XDG_DATA_HOME");
    }

    // Loads the kind's default profile the way a page restores defaults: from a user profile
    // file whose "Device"[0] is null, so the default fills it in.
    template <class Data> void LoadDefault(Data& data, DeviceFamily family) {
        const char* kind = FolderName(family);
        const std::string defaultPath = DefaultProfilePath(family);
        ASSERT_TRUE(fs::is_regular_file(defaultPath)) << defaultPath;
        data.SetDefaultPath(defaultPath);
        const std::string user = (m_root / (std::string(kind) + "-user.Json")).string();
        Json::Value empty;
        empty["profilename"] = "profile1";
        empty["profileUUID"] = "2021_03_07_09_05_01_042";
        empty["Device"].append(Json::Value());
        ASSERT_EQ(WriteJson(user, empty), 1);
        data.SetProfilePath(user);
        const Json::Value profile = data.LoadFromFile(user);
        ASSERT_TRUE(profile.isObject()) << kind;
        ASSERT_TRUE(profile == ParseDefaultStrict(fs::path(defaultPath).filename().string())["Device"][0]);
        m_loaded = profile;
    }

    fs::path m_root;
    Json::Value m_loaded;
};

} // namespace

TEST_F(DefaultProfiles, KeyboardKeysColoursAndStages) {
    CKeyboardProfiledata data;
    ASSERT_NO_FATAL_FAILURE(LoadDefault(data, DeviceFamily::Keyboard));
    const auto factory = KeyboardFactoryCodes();
    const auto keys = data.GetKeyList();
    ASSERT_EQ(keys.size(), factory.size());
    for (std::size_t i = 0; i < keys.size(); ++i) {
        EXPECT_EQ(keys[i].keyIndex, i);
        const auto& a = keys[i].assignment;
        const auto& d = keys[i].defaultAssignment;
        EXPECT_EQ(Pack(a.type, a.b1, a.b2), factory[i]) << "key " << i;
        EXPECT_EQ(Pack(d.type, d.b1, d.b2), factory[i]) << "key " << i;
    }
    const KeyboardSystemStages stages = data.GetSystemStages();
    const Json::Value& s = m_loaded["SystemStages"];
    EXPECT_EQ(stages.repeatRate, s["Repeat"].asInt());
    EXPECT_EQ(stages.repeatDelay, s["RepeatDelay"].asInt());
    EXPECT_EQ(stages.pollingRate, s["PollingRate"].asInt());

    // Reading every group finds each colour present: nothing is created, the profile is unchanged.
    const int groups = static_cast<int>(m_loaded["CustomLightMode"]["LightColorInfo"].size());
    ASSERT_GT(groups, 0);
    for (int g = 0; g < groups; ++g) {
        const auto colours = data.GetCustomColors(g, static_cast<int>(factory.size()));
        ASSERT_EQ(colours.size(), factory.size());
        const Json::Value& first = m_loaded["CustomLightMode"]["LightColorInfo"][g][0];
        EXPECT_EQ(colours[0].red, first["Red"].asInt()) << "group " << g;
        EXPECT_EQ(colours[0].alpha, first["Alpha"].asInt()) << "group " << g;
    }
    EXPECT_TRUE(data.GetProfileValue() == m_loaded) << "reading the defaults changed the profile";
    EXPECT_EQ(data.GetCustomGroup(), m_loaded["CustomLightMode"]["CustomLightModeGroupIndex"].asInt());
    EXPECT_EQ(data.GetLightInfo().mode, m_loaded["LightInfo"]["SelectItem"].asInt());
    EXPECT_TRUE(data.GetLightList().empty());
}

TEST_F(DefaultProfiles, MouseButtonsStagesAndCorrections) {
    CMouseProfiledata data;
    ASSERT_NO_FATAL_FAILURE(LoadDefault(data, DeviceFamily::Mouse));
    const auto factory = MouseFactoryCodes();
    const auto keys = data.GetKeyList();
    ASSERT_EQ(keys.size(), factory.size());
    for (std::size_t b = 0; b < keys.size(); ++b) {
        const auto& a = keys[b].assignment;
        EXPECT_EQ(Pack(a.type, a.b1, a.b2), factory[b]) << "button " << b;
    }
    const auto stages = data.GetDpiStages();
    ASSERT_EQ(stages.size(), 5u);
    EXPECT_EQ(data.GetStageActive(), m_loaded["DPIStages"]["StageActive"].asInt());
    for (std::size_t s = 0; s < stages.size(); ++s) {
        EXPECT_EQ(stages[s].dpiX,
                  m_loaded["DPIStages"]["StageDPIs"][static_cast<int>(s)]["StageDPIX"].asInt());
        EXPECT_EQ(stages[s].active, 1) << "stage " << s;
    }
    const MouseSystemStages sys = data.GetSystemStages();
    EXPECT_EQ(sys.doubleClickTime, m_loaded["SystemStages"]["DoubleClickTime"].asInt());
    EXPECT_EQ(sys.reportRateStage, m_loaded["ReportStages"]["StageActive"].asInt());
    EXPECT_LE(sys.reportRateStage, 4);
    const auto corrections = data.GetCorrectInfo();
    ASSERT_EQ(corrections.size(), m_loaded["CorrectInfo"].size());
    int selected = 0;
    for (const auto& c : corrections) {
        EXPECT_FALSE(c.name.empty());
        selected += c.selected != 0;
    }
    EXPECT_EQ(selected, 1);
}

TEST_F(DefaultProfiles, HeadsetPresetsReadAsTheTable) {
    CHs6533Profiledata data;
    ASSERT_NO_FATAL_FAILURE(LoadDefault(data, DeviceFamily::Headset));
    const auto presets = EqPresetBandValues();
    ASSERT_EQ(presets.size(), 12u);
    for (int t = 1; t <= 12; ++t) {
        const auto values = data.GetEqValues(t);
        ASSERT_EQ(values.size(), 10u) << "type " << t;
        for (std::size_t b = 0; b < values.size(); ++b)
            EXPECT_EQ(values[b], presets[static_cast<std::size_t>(t - 1)][b])
                << "type " << t << " band " << b;
    }
    // Type 0 reads slot 1; the custom curve has no slot.
    EXPECT_EQ(data.GetEqValues(0), data.GetEqValues(1));
    EXPECT_TRUE(data.GetEqValues(13).empty());
    EXPECT_TRUE(data.GetProfileValue() == m_loaded) << "every slot was there: nothing may be created";

    const HeadsetSystemSetStages s = data.GetSystemSetStages();
    EXPECT_GE(s.eqType, 1);
    EXPECT_LE(s.eqType, 12);
    EXPECT_TRUE(data.GetCustomEqNames().empty());
}

TEST_F(DefaultProfiles, MousePadLighting) {
    CBasicProfiledata data;
    ASSERT_NO_FATAL_FAILURE(LoadDefault(data, DeviceFamily::MousePad));
    const LightState light = data.GetLightInfo();
    EXPECT_EQ(light.mode, m_loaded["LightInfo"]["SelectItem"].asInt());
    EXPECT_LE(light.brightness, 4);
    EXPECT_LE(light.speed, 4);
    EXPECT_TRUE(data.GetKeyList().empty()) << "a mouse pad has no keys";
}

TEST_F(DefaultProfiles, NameListsAsAPageReadsThem) {
    const std::string config = DefaultDataPath("tavro_light.config");
    for (int kind = 0; kind < 4; ++kind) {
        SCOPED_TRACE(kind);
        const LightNameLists lists = ReadLightNameLists(kind, DefaultLightNamesPath(), config);
        const auto modes = ModeNames(kind);
        ASSERT_EQ(lists.modes.size(), modes.size());
        for (std::size_t m = 0; m < modes.size(); ++m) {
            EXPECT_EQ(lists.modes[m].name, modes[m].name) << "mode " << m;
            EXPECT_EQ(lists.modes[m].visible, modes[m].visible) << "mode " << m;
        }
        EXPECT_EQ(lists.areas, AreaNames(kind));
        EXPECT_EQ(lists.customEffects.size(), 2u);
    }
}

// A user effect selected as the light mode plays the frames of the ".light" file its entry names.
TEST_F(DefaultProfiles, EffectFramesOfTheExampleEffects) {
    CBasicProfiledata data;
    ASSERT_EQ(data.LoadConfig(DefaultDataPath("tavro_light.config")).isObject(), true);
    const Json::Value list = ParseDefaultStrict("tavro_light.config")["LightInfo"][0];
    ASSERT_EQ(list.size(), 2u);
    for (unsigned mode = 0; mode < list.size(); ++mode) {
        LightState light;
        light.mode = static_cast<uint8_t>(mode);
        data.SetLightInfo(light);
        const auto frames = data.GetEffectFrames();
        const Json::Value doc = ParseDefaultStrict(list[mode]["Guid"].asString() + ".light");
        const Json::Value& expected = doc["LEDEffectList"];
        ASSERT_EQ(frames.size(), expected.size()) << "mode " << mode;
        for (unsigned f = 0; f < frames.size(); ++f) {
            EXPECT_EQ(frames[f].mode, expected[f]["LEDREGMode"].asInt());
            EXPECT_EQ(frames[f].brightness, expected[f]["LEDBrightness"].asInt());
            EXPECT_EQ(frames[f].speed, expected[f]["LEDSpeed"].asInt());
            EXPECT_EQ(frames[f].red, expected[f]["red"].asInt());
            EXPECT_EQ(frames[f].green, expected[f]["green"].asInt());
            EXPECT_EQ(frames[f].blue, expected[f]["blue"].asInt());
            EXPECT_EQ(frames[f].time, expected[f]["Time"].asInt());
            EXPECT_EQ(frames[f].cycle, expected[f]["Cyle"].asInt());
        }
    }
}
