#include "ProfileTestEnv.h"

#include "profiles/BasicProfileData.h"
#include "profiles/UnreadableFiles.h"
#include "profiles/json/JsonFile.h"

#include <sys/stat.h>

#include <fstream>

namespace nk7x::test {
namespace {

Json::Value Parse(const std::string& text) {
    Json::Value v;
    EXPECT_TRUE(ParseJsonText(text, v)) << text;
    return v;
}

class BasicProfileTest : public ProfileTestEnv {
  protected:
    void SetUp() override {
        ProfileTestEnv::SetUp();
        m_defaultPath = DefaultData("keyboard.Json");
        WriteText(m_defaultPath, R"({"Device":[{"LightInfo":{"SelectItem":3,"Red":200},
                                   "KeyList":[{"Assignment":2097156,"DefaultAssignment":2097156}]}],
                                   "DefaultOnly":1})");
        m_profilePath = Temp("user.Json");
        m_data.SetDefaultPath(m_defaultPath);
        m_data.SetProfilePath(m_profilePath);
    }

    CBasicProfiledata& WithProfile(const std::string& profileJson) {
        m_data.SetProfileValue(Parse(profileJson));
        return m_data;
    }

    std::string m_defaultPath;
    std::string m_profilePath;
    CBasicProfiledata m_data;
};

TEST_F(BasicProfileTest, LightInfoAbsentReadsZeroAndSetCreatesAllTenKeys) {
    WithProfile(R"({"Other":1})");
    EXPECT_EQ(m_data.GetLightInfo(), LightState{});
    LightState s{19, 4, 2, 1, 7, 10, 20, 30, 99, 99, 99, 5, 6};
    m_data.SetLightInfo(s);
    const Json::Value& info = m_data.GetProfileValue()["LightInfo"];
    EXPECT_EQ(info.getMemberNames(),
              (std::vector<std::string>{"Blue", "CustomGroup", "Fx", "Green", "Light", "MultiColor", "Red",
                                        "SelectItem", "Speed", "ZZCCLedMode"}));
    EXPECT_EQ(info["MultiColor"], Json::Value(1));
    EXPECT_EQ(m_data.GetProfileValue()["Other"].asInt(), 1);
    LightState back = m_data.GetLightInfo();
    LightState expected = s;
    expected.multiColor = 1;                                    // stored as a flag
    expected.unused8 = expected.unused9 = expected.present = 0; // never kept in the profile
    EXPECT_EQ(back, expected);
}

TEST_F(BasicProfileTest, LightInfoTruncatesToBytesAndReadsMultiColorAsBoolean) {
    WithProfile(R"({"LightInfo":{"SelectItem":513,"Light":-1,"MultiColor":2,"Red":"255","Fx":true}})");
    LightState s = m_data.GetLightInfo();
    EXPECT_EQ(s.mode, 1);
    EXPECT_EQ(s.brightness, 255);
    EXPECT_EQ(s.multiColor, 1);
    EXPECT_EQ(s.red, 0); // a string is no number
    EXPECT_EQ(s.direction, 1);
    EXPECT_EQ(m_data.LightInfo(), s);
}

TEST_F(BasicProfileTest, LightListNullElementsAreAbsentEntries) {
    WithProfile(R"({"LightList":[null,{"LEDREGMode":4,"LEDDirection":true,"LEDMultiColor":false,"red":1,
                   "green":2,"blue":3,"LEDBrightness":300},"junk"]})");
    auto list = m_data.GetLightList();
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0], LightState{});
    EXPECT_EQ(list[1], (LightState{4, 44, 0, 1, 0, 1, 2, 3, 0, 0, 1, 0, 0}));
    EXPECT_EQ(list[2].present, 0);
    EXPECT_EQ(m_data.LightList(), list);
    WithProfile(R"({"LightList":{"0":{}}})");
    EXPECT_TRUE(m_data.GetLightList().empty());
    EXPECT_TRUE(m_data.LightList().empty());
}

TEST_F(BasicProfileTest, SetKeyListRewritesOnlyAssignmentsOfTheGivenRecords) {
    Json::Value profile(Json::objectValue);
    for (Json::ArrayIndex i = 0; i < 20; ++i) {
        profile["KeyList"][i]["Assignment"] = 0x200000 + i;
        profile["KeyList"][i]["DefaultAssignment"] = 0x200100 + i;
    }
    m_data.SetProfileValue(profile);
    auto keys = m_data.GetKeyList();
    ASSERT_EQ(keys.size(), 20u);
    EXPECT_EQ(keys[7].keyIndex, 7);
    EXPECT_EQ(keys[7].keyIndexAgain, 7);
    EXPECT_EQ(keys[7].assignment, (KeyCode{0x20, 0x00, 0x07}));
    EXPECT_EQ(keys[7].defaultAssignment, (KeyCode{0x20, 0x01, 0x07}));

    std::vector<KeyAssignment> ten(keys.begin(), keys.begin() + 10);
    for (auto& k : ten)
        k.assignment = KeyCode{0x70, 1, 0};
    for (auto& k : ten)
        k.defaultAssignment = KeyCode{9, 9, 9}; // must not reach the profile
    m_data.SetKeyList(ten);
    const Json::Value& list = m_data.GetProfileValue()["KeyList"];
    ASSERT_EQ(list.size(), 20u);
    for (Json::ArrayIndex i = 0; i < 20; ++i) {
        EXPECT_EQ(list[i]["Assignment"].asInt(), i < 10 ? 0x700100 : static_cast<int>(0x200000 + i)) << i;
        EXPECT_EQ(list[i]["DefaultAssignment"].asInt(), static_cast<int>(0x200100 + i)) << i;
    }
    EXPECT_EQ(m_data.KeyList().size(), 10u);
}

TEST_F(BasicProfileTest, WrongShapesReadAsMissingSectionsAndNeverThrow) {
    for (const char* text : {R"({"LightInfo":"x","KeyList":{},"LightList":5})", R"([1,2,3])", R"("s")", "7",
                             R"({"LightInfo":[1],"KeyList":[1,"a",null,[]],"LightList":[[],{}]})"}) {
        SCOPED_TRACE(text);
        m_data.SetProfileValue(Parse(text));
        EXPECT_EQ(m_data.GetLightInfo(), LightState{});
        auto keys = m_data.GetKeyList();
        for (const auto& k : keys)
            EXPECT_EQ(k.assignment, KeyCode{});
        for (const auto& l : m_data.GetLightList())
            EXPECT_EQ(l.mode, 0);
        // Writers replace what is in the way.
        m_data.SetLightInfo(LightState{1});
        m_data.SetKeyList(std::vector<KeyAssignment>(2));
        EXPECT_EQ(m_data.GetLightInfo().mode, 1);
        EXPECT_GE(m_data.GetKeyList().size(), 2u);
    }
}

TEST_F(BasicProfileTest, MissingProfileIsFilledFromTheDefaultAndWrittenBack) {
    WriteText(m_profilePath, R"({"profilename":"mine","profileUUID":"u1","Device":[null],"Extra":[1]})");
    Json::Value profile = m_data.LoadFromFile(m_profilePath);
    EXPECT_EQ(profile["LightInfo"]["SelectItem"].asInt(), 3);
    EXPECT_EQ(m_data.GetProfileValue(), profile);
    Json::Value file = LoadJson(m_profilePath);
    EXPECT_EQ(file["Device"][0], profile);
    EXPECT_EQ(file["profilename"].asString(), "mine");
    EXPECT_EQ(file["profileUUID"].asString(), "u1");
    EXPECT_EQ(file["Extra"][0].asInt(), 1);
    EXPECT_FALSE(file.isMember("DefaultOnly"));
}

// A profile that is a link to a FIFO, and one too large to be a profile: each is moved aside (the
// link as a link, the FIFO untouched), the user told, and the default written as a file of its own.
TEST_F(BasicProfileTest, AProfileThatIsNoFileOrTooLargeIsMovedAsideNotOverwritten) {
    const std::string fifo = Temp("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::filesystem::remove(m_profilePath);
    std::filesystem::create_symlink(fifo, m_profilePath);
    (void)TakeUnreadableFileNotices();
    const Json::Value fromLink = m_data.LoadFromFile(m_profilePath);
    EXPECT_TRUE(fromLink.isObject());
    struct stat st {};
    ASSERT_EQ(::lstat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode)) << "the FIFO stays what it is";
    ASSERT_EQ(::lstat(m_profilePath.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode)) << "the profile is a file of its own now";
    std::vector<UnreadableFileNotice> told = TakeUnreadableFileNotices();
    ASSERT_EQ(told.size(), 1u);
    ASSERT_EQ(::lstat(told[0].keptAs.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link was moved, not followed";

    // Larger than any profile (and than the program would write): kept aside, not reset in place.
    {
        std::ofstream out(m_profilePath, std::ios::trunc);
        out << R"({"Device":[{"Blob":")" << std::string(kMaxJsonFileSize, 'z') << R"("}]})";
    }
    EXPECT_TRUE(m_data.LoadFromFile(m_profilePath).isObject());
    told = TakeUnreadableFileNotices();
    ASSERT_EQ(told.size(), 1u);
    EXPECT_GT(std::filesystem::file_size(told[0].keptAs), kMaxJsonFileSize);
    EXPECT_LT(std::filesystem::file_size(m_profilePath), 1024u * 1024u);
}

TEST_F(BasicProfileTest, UnparsableFileBehavesLikeAMissingOneButIsKeptAside) {
    (void)TakeUnreadableFileNotices();
    const std::string missing = Temp("missing.Json");
    Json::Value fromMissing = m_data.LoadFromFile(missing);
    EXPECT_TRUE(TakeUnreadableFileNotices().empty()) << "a missing file is no news";
    WriteText(m_profilePath, "{\"profilename\":\"mine\", broken");
    Json::Value fromBroken = m_data.LoadFromFile(m_profilePath);
    EXPECT_EQ(fromBroken, fromMissing);
    EXPECT_EQ(LoadJson(m_profilePath), LoadJson(missing));
    // What could not be read is moved aside for the user instead of being overwritten, and the
    // user is told where it went.
    const std::vector<UnreadableFileNotice> told = TakeUnreadableFileNotices();
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].path, m_profilePath);
    EXPECT_EQ(told[0].keptAs.rfind(m_profilePath + ".unreadable-", 0), 0u) << told[0].keptAs;
    EXPECT_EQ(ReadText(told[0].keptAs), "{\"profilename\":\"mine\", broken");

    // "Device" of the wrong type, and a profile that is not an object, are refilled too.
    for (const char* text : {R"({"Device":5})", R"({"Device":[7]})", R"({"Device":{"0":{}}})"}) {
        WriteText(m_profilePath, text);
        EXPECT_EQ(m_data.LoadFromFile(m_profilePath), fromMissing) << text;
        EXPECT_EQ(LoadJson(m_profilePath)["Device"][0], fromMissing) << text;
    }
}

TEST_F(BasicProfileTest, WithoutDefaultTheProfileStaysNullAndTheFileHoldsNull) {
    std::filesystem::remove(m_defaultPath);
    WriteText(m_profilePath, R"({"profilename":"mine","Device":[null]})");
    EXPECT_TRUE(m_data.LoadFromFile(m_profilePath).isNull());
    EXPECT_TRUE(m_data.GetProfileValue().isNull());
    Json::Value file = LoadJson(m_profilePath);
    ASSERT_TRUE(file["Device"].isArray());
    EXPECT_TRUE(file["Device"][0].isNull());
    EXPECT_EQ(file["profilename"].asString(), "mine");
    EXPECT_EQ(m_data.GetLightInfo(), LightState{});
}

TEST_F(BasicProfileTest, TheDefaultFileIsNeverWritten) {
    WriteText(m_defaultPath, R"({"Device":[null],"Note":"shipped"})");
    const std::string before = ReadText(m_defaultPath);
    EXPECT_TRUE(m_data.LoadFromFile(m_defaultPath).isNull());
    EXPECT_EQ(ReadText(m_defaultPath), before);
}

TEST_F(BasicProfileTest, SaveKeepsEveryOtherKeyOfTheFileAndOfTheProfile) {
    WriteText(m_profilePath, R"({"profilename":"mine","profileUUID":"u1","Future":{"x":[1,2]},
        "Device":[{"LightInfo":{"SelectItem":1},"DPIStages":{"StageActive":2},"Unknown":"keep"}]})");
    m_data.LoadFromFile(m_profilePath);
    LightState s = m_data.GetLightInfo();
    s.mode = 9;
    m_data.SetLightInfo(s);
    ASSERT_EQ(m_data.Save(), 1);
    Json::Value file = LoadJson(m_profilePath);
    EXPECT_EQ(file["profilename"].asString(), "mine");
    EXPECT_EQ(file["profileUUID"].asString(), "u1");
    EXPECT_EQ(file["Future"]["x"][1].asInt(), 2);
    EXPECT_EQ(file["Device"][0]["LightInfo"]["SelectItem"].asInt(), 9);
    EXPECT_EQ(file["Device"][0]["DPIStages"]["StageActive"].asInt(), 2); // another kind's section
    EXPECT_EQ(file["Device"][0]["Unknown"].asString(), "keep");

    // A second profile data object reads exactly what the first saved.
    CBasicProfiledata other(m_defaultPath);
    EXPECT_EQ(other.LoadFromFile(m_profilePath), m_data.GetProfileValue());
}

TEST_F(BasicProfileTest, SaveWithoutAPathOrWithAFailingWriteReportsFailure) {
    CBasicProfiledata empty;
    empty.SetProfilePath(""); // ignored
    EXPECT_EQ(empty.GetProfilePath(), "");
    EXPECT_EQ(empty.Save(), 0);

    class FailingWrites : public CBasicProfiledata {
      public:
        int WriteDocument(const Json::Value&, const std::string&) override { return 0; }
    } failing;
    failing.SetProfilePath(m_profilePath);
    WriteText(m_profilePath, R"({"Device":[{"a":1}]})");
    EXPECT_EQ(failing.Save(), 0);
    EXPECT_EQ(ReadText(m_profilePath), R"({"Device":[{"a":1}]})");
}

TEST_F(BasicProfileTest, SaveProfileValueUsesTheIndex) {
    WriteText(m_profilePath, R"({"Device":[{"a":0},{"a":1}]})");
    m_data.SetIndex(1);
    EXPECT_EQ(m_data.LoadFromFile(m_profilePath)["a"].asInt(), 1);
    m_data.SetIndex(-1);      // ignored
    m_data.SetIndex(1 << 30); // ignored: no file grows a billion elements
    EXPECT_EQ(m_data.GetIndex(), 1);
    Json::Value v;
    v["a"] = 5;
    ASSERT_EQ(m_data.SaveProfileValue(v, m_profilePath), 1);
    Json::Value file = LoadJson(m_profilePath);
    EXPECT_EQ(file["Device"][0]["a"].asInt(), 0);
    EXPECT_EQ(file["Device"][1]["a"].asInt(), 5);
}

class EffectFramesTest : public BasicProfileTest {
  protected:
    void SetUp() override {
        BasicProfileTest::SetUp();
        m_configPath = InKind("keyboard", "tavro_light.config");
        WriteText(m_configPath, R"({"LightInfo":[[{"LightName":"a","Guid":"g0"},{"LightName":"b","Guid":"g1"},
                                   {"Guid":"../escape"},{"Guid":5}]]})");
        WriteText(InKind("keyboard", "g0.light"),
                  R"({"LEDEffectList":[{"LEDREGMode":1,"LEDDirection":2,"LEDBrightness":3,"LEDSpeed":4,
                      "LEDMultiColor":5,"red":6,"green":7,"blue":8,"Time":1000,"Cyle":-3},{}]})");
        WriteText(DefaultData("g1.light"), R"({"LEDEffectList":[{"Time":7}]})");
        WriteText(DefaultData("g0.light"), R"({"LEDEffectList":[]})"); // shadowed by the user's file
        m_data.SetConfigPath(m_configPath);
        m_data.LoadConfig(m_configPath);
    }

    std::vector<EffectFrame> FramesOfMode(uint8_t mode) {
        LightState s;
        s.mode = mode;
        m_data.SetLightInfo(s);
        return m_data.GetEffectFrames();
    }

    std::string m_configPath;
};

TEST_F(EffectFramesTest, ReadsTheKindFolderFirstThenTheDefaultData) {
    auto frames = FramesOfMode(0);
    ASSERT_EQ(frames.size(), 2u);
    EffectFrame expected;
    expected.mode = 1;
    expected.direction = 2;
    expected.brightness = 3;
    expected.speed = 4;
    expected.multiColor = 5;
    expected.red = 6;
    expected.green = 7;
    expected.blue = 8;
    expected.time = 1000;
    expected.cycle = -3;
    EXPECT_EQ(frames[0], expected);
    EXPECT_EQ(frames[1], EffectFrame{});

    frames = FramesOfMode(1);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].time, 7);
    EXPECT_EQ(m_data.EffectFrames(), frames);
}

TEST_F(EffectFramesTest, NeverReadsTheWorkingDirectoryOrOutsideNames) {
    const auto cwd = std::filesystem::current_path();
    WriteText(Temp("work/g2.light"), R"({"LEDEffectList":[{}]})");
    WriteText(Temp("escape.light"), R"({"LEDEffectList":[{}]})");
    std::filesystem::current_path(Temp("work"));
    std::vector<EffectFrame> mode2 = FramesOfMode(2);
    std::vector<EffectFrame> mode3 = FramesOfMode(3);
    m_data.LoadConfig(Temp("work/none.config"));
    std::vector<EffectFrame> noConfig = FramesOfMode(0);
    std::filesystem::current_path(cwd);
    EXPECT_TRUE(mode2.empty()); // "../escape" is no effect name
    EXPECT_TRUE(mode3.empty()); // a number is no name
    EXPECT_TRUE(noConfig.empty());
    EXPECT_TRUE(FramesOfMode(200).empty());
}

} // namespace
} // namespace nk7x::test
