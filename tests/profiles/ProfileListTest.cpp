#include "ProfileTestEnv.h"

#include "profiles/ProfileFolders.h"
#include "profiles/ProfileList.h"
#include "profiles/UnreadableFiles.h"
#include "profiles/json/JsonAccess.h"
#include "profiles/json/JsonFile.h"

#include <filesystem>

#include <sys/stat.h>

namespace nk7x::test {
namespace {

class ProfileListTest : public ProfileTestEnv {
  protected:
    void SetUp() override {
        ProfileTestEnv::SetUp();
        SetJsonWriteSync(false);
        WriteText(DefaultData("keyboard.Json"),
                  R"({"Device":[{"LightMode":3,"CustomEQNameInfo":["def"]}],"Extra":7})");
        m_folder = KindFolder(DeviceFamily::Keyboard);
        ASSERT_FALSE(m_folder.empty());
        m_list.SetDeviceType(1);
        m_list.SetFolders(m_folder, DefaultProfilePath(DeviceFamily::Keyboard));
    }
    void TearDown() override {
        SetJsonWriteSync(true);
        ProfileTestEnv::TearDown();
    }

    std::string ListPath() const { return m_folder + "/ProfileList.ini"; }
    Json::Value ListFile() const { return LoadJson(ListPath()); }

    // Writes a list naming `names` in order, each with its own profile file.
    void Seed(const std::vector<std::string>& names, int select = 0) {
        Json::Value doc(Json::objectValue);
        for (std::size_t i = 0; i < names.size(); ++i) {
            Json::Value e(Json::objectValue);
            e["profilename"] = names[i];
            e["profileUUID"] = "2020_01_01_00_00_00_00" + std::to_string(i);
            e["profileislink"] = 0;
            e["profilelinkmame"] = "";
            doc["profilelist"].append(e);
            Json::Value p = LoadJson(DefaultData("keyboard.Json"));
            p["profilename"] = names[i];
            p["profileUUID"] = e["profileUUID"];
            ASSERT_EQ(WriteJson(m_folder + "/" + e["profileUUID"].asString() + ".Json", p), 1);
        }
        doc["profileselect"] = select;
        ASSERT_EQ(WriteJson(ListPath(), doc), 1);
        ASSERT_EQ(m_list.LoadList(), ProfileResult::Done);
    }

    std::string m_folder;
    ProfileList m_list;
};

bool LooksLikeUuid(const std::string& s) {
    if (s.size() != 23)
        return false;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const bool sep = i == 4 || i == 7 || i == 10 || i == 13 || i == 16 || i == 19;
        if (sep ? s[i] != '_' : (s[i] < '0' || s[i] > '9'))
            return false;
    }
    return true;
}

TEST_F(ProfileListTest, MissingOrBrokenListIsRebuiltWithProfile1) {
    for (const char* content : {"", "{ not json", R"({"profilelist":[]})", R"([1,2])",
                                R"({"profilelist":[5,"x",{"profileUUID":"a"}]})"}) {
        SCOPED_TRACE(content);
        std::filesystem::remove_all(m_folder);
        std::filesystem::create_directories(m_folder);
        if (*content)
            WriteText(ListPath(), content);
        ASSERT_EQ(m_list.LoadList(), ProfileResult::Done);
        ASSERT_EQ(m_list.Names(), std::vector<std::string>{"profile1"});
        EXPECT_EQ(m_list.GetSelectedIndex(), 0);
        const std::string uuid = m_list.GetSelectedUUID();
        EXPECT_TRUE(LooksLikeUuid(uuid)) << uuid;
        const Json::Value list = ListFile();
        EXPECT_EQ(JsonInt(list, "profileselect", -1), 0);
        const Json::Value& e = list["profilelist"][0];
        EXPECT_EQ(JsonString(e, "profilename"), "profile1");
        EXPECT_EQ(JsonString(e, "profileUUID"), uuid);
        EXPECT_EQ(JsonInt(e, "profileislink", -1), 0);
        EXPECT_TRUE(e["profilelinkmame"].isString());
        const Json::Value prof = LoadJson(m_folder + "/" + uuid + ".Json");
        EXPECT_EQ(JsonString(prof, "profilename"), "profile1");
        EXPECT_EQ(JsonString(prof, "profileUUID"), uuid);
        EXPECT_EQ(JsonInt(prof, "Extra"), 7);
        EXPECT_EQ(prof["Device"][0]["LightMode"].asInt(), 3);
    }
}

// A list that cannot be read (cut short, garbage, a FIFO, nested too deep) is moved aside and the
// user told; the list is made again from the profile files there, under their own names, so no
// profile drops out of the window. A profile file that cannot be read is moved aside as well
// before the default takes its place.
TEST_F(ProfileListTest, AnUnreadableListIsKeptAsideAndMadeAgainFromTheProfiles) {
    const std::string deep(1001, '[');
    for (const std::string& content : {std::string(R"({"profilelist":[{"profilename":"Game)"),
                                       std::string("\x01garbage"), deep, std::string("fifo")}) {
        SCOPED_TRACE(content.substr(0, 20));
        std::filesystem::remove_all(m_folder);
        std::filesystem::create_directories(m_folder);
        Seed({"Work", "Game", "Night"}, 2);
        (void)TakeUnreadableFileNotices();
        std::filesystem::remove(ListPath());
        if (content == "fifo")
            ASSERT_EQ(::mkfifo(ListPath().c_str(), 0600), 0);
        else
            WriteText(ListPath(), content);
        ASSERT_EQ(m_list.LoadList(), ProfileResult::Done);
        EXPECT_EQ(m_list.Names(), (std::vector<std::string>{"Work", "Game", "Night"}));
        const std::vector<UnreadableFileNotice> told = TakeUnreadableFileNotices();
        ASSERT_EQ(told.size(), 1u);
        EXPECT_EQ(told[0].path, ListPath());
        struct stat st {};
        ASSERT_EQ(::lstat(told[0].keptAs.c_str(), &st), 0) << told[0].keptAs;
        EXPECT_EQ(S_ISFIFO(st.st_mode), content == "fifo")
            << "a FIFO is moved as it is, never read or replaced";
        if (content != "fifo") {
            EXPECT_EQ(ReadText(told[0].keptAs), content);
        }
        EXPECT_EQ(JsonString(ListFile()["profilelist"][1], "profilename"), "Game")
            << "the new list is on disk";
    }

    // A profile file cut short: moved aside, its entry gets the default under its own name.
    (void)TakeUnreadableFileNotices();
    const std::string game = m_list.ProfilePathAt(1);
    WriteText(game, R"({"profilename":"Game","Device":[{"LightMo)");
    ASSERT_EQ(m_list.LoadList(), ProfileResult::Done);
    const std::vector<UnreadableFileNotice> told = TakeUnreadableFileNotices();
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].path, game);
    EXPECT_EQ(ReadText(told[0].keptAs), R"({"profilename":"Game","Device":[{"LightMo)");
    EXPECT_EQ(JsonString(LoadJson(game), "profilename"), "Game");
    EXPECT_EQ(LoadJson(game)["Device"][0]["LightMode"].asInt(), 3);
}

TEST_F(ProfileListTest, LoadRepairsMissingFilesHostileUuidsAndSelection) {
    Json::Value doc(Json::objectValue);
    for (const char* uuid : {"2020_01_01_00_00_00_001", "../../escape", "a/b", "x\x01y"}) {
        Json::Value e(Json::objectValue);
        e["profilename"] = std::string("n") + std::to_string(doc["profilelist"].size());
        e["profileUUID"] = uuid;
        doc["profilelist"].append(e);
    }
    doc["profileselect"] = 99;
    ASSERT_EQ(WriteJson(ListPath(), doc), 1);
    ASSERT_EQ(m_list.LoadList(), ProfileResult::Done);
    ASSERT_EQ(m_list.Count(), 4);
    EXPECT_EQ(m_list.GetSelectedIndex(), 0);
    for (int i = 0; i < 4; ++i) {
        const std::string uuid = m_list.UuidAt(i);
        EXPECT_TRUE(IsPlainFileName(uuid)) << uuid;
        const Json::Value prof = LoadJson(m_list.ProfilePathAt(i));
        EXPECT_EQ(JsonString(prof, "profilename"), m_list.Names()[static_cast<std::size_t>(i)]);
        EXPECT_EQ(JsonString(prof, "profileUUID"), uuid);
    }
    // Nothing was written outside the kind folder.
    EXPECT_FALSE(std::filesystem::exists(m_data / "escape.Json"));
    EXPECT_FALSE(std::filesystem::exists(m_data / "Norla Keys NK-7X" / "escape.Json"));
    EXPECT_EQ(JsonInt(ListFile(), "profileselect", -1), 0);
}

TEST_F(ProfileListTest, AddNamesFirstFreeProfileNumberIgnoringCase) {
    Seed({"profile1", "Profile3"});
    ASSERT_EQ(m_list.AddProfile(), ProfileResult::Done);
    ASSERT_EQ(m_list.AddProfile(), ProfileResult::Done);
    EXPECT_EQ(m_list.Names(), (std::vector<std::string>{"profile1", "Profile3", "profile2", "profile4"}));
    // The file names the newest as selected; the current profile stays.
    EXPECT_EQ(m_list.GetSelectedIndex(), 0);
    EXPECT_EQ(JsonInt(ListFile(), "profileselect", -1), 3);
    EXPECT_NE(m_list.UuidAt(2), m_list.UuidAt(3));
    const Json::Value prof = LoadJson(m_list.ProfilePathAt(3));
    EXPECT_EQ(JsonString(prof, "profilename"), "profile4");
    EXPECT_EQ(JsonString(prof, "profileUUID"), m_list.UuidAt(3));
    // The next start shows the added profile.
    ProfileList again;
    again.SetFolders(m_folder, DefaultProfilePath(DeviceFamily::Keyboard));
    ASSERT_EQ(again.LoadList(), ProfileResult::Done);
    EXPECT_EQ(again.GetSelectedIndex(), 3);
}

TEST_F(ProfileListTest, AddStopsAtFiftyProfiles) {
    Seed({"a"});
    while (m_list.Count() < kMaxAddedProfiles)
        ASSERT_EQ(m_list.AddProfile(), ProfileResult::Done);
    EXPECT_EQ(m_list.AddProfile(), ProfileResult::Refused);
    EXPECT_EQ(m_list.Count(), kMaxAddedProfiles);
    EXPECT_EQ(ListFile()["profilelist"].size(), static_cast<Json::ArrayIndex>(kMaxAddedProfiles));
    EXPECT_EQ(Entries(m_folder).size(), static_cast<std::size_t>(kMaxAddedProfiles + 1));
}

TEST_F(ProfileListTest, CopyAppendsCopyUntilUnique) {
    Seed({"A", "A copy"});
    Json::Value p = LoadJson(m_list.ProfilePathAt(0));
    p["Device"][0]["LightMode"] = 9;
    ASSERT_EQ(WriteJson(m_list.ProfilePathAt(0), p), 1);
    ASSERT_EQ(m_list.CopyProfile(), ProfileResult::Done);
    EXPECT_EQ(m_list.Names().back(), "A copy copy");
    EXPECT_EQ(JsonInt(ListFile(), "profileselect", -1), 0);
    const Json::Value copy = LoadJson(m_list.ProfilePathAt(2));
    EXPECT_EQ(copy["Device"][0]["LightMode"].asInt(), 9);
    EXPECT_EQ(JsonString(copy, "profilename"), "A copy copy");
    EXPECT_EQ(JsonString(copy, "profileUUID"), m_list.UuidAt(2));
}

TEST_F(ProfileListTest, DeleteFirstOfThreeAndRefuseLast) {
    Seed({"one", "two", "three"});
    const std::string gone = m_list.ProfilePathAt(0);
    const std::string second = m_list.UuidAt(1);
    ASSERT_EQ(m_list.DeleteProfile(), ProfileResult::Done);
    EXPECT_FALSE(std::filesystem::exists(gone));
    EXPECT_EQ(m_list.Names(), (std::vector<std::string>{"two", "three"}));
    EXPECT_EQ(m_list.GetSelectedIndex(), 0);
    EXPECT_EQ(m_list.GetSelectedUUID(), second);
    EXPECT_EQ(JsonInt(ListFile(), "profileselect", -1), 0);
    EXPECT_EQ(ListFile()["profilelist"].size(), 2u);

    // Deleting a later one selects the one before it.
    ASSERT_EQ(m_list.SelectProfile(1), ProfileResult::Done);
    ASSERT_EQ(m_list.DeleteProfile(), ProfileResult::Done);
    EXPECT_EQ(m_list.Names(), std::vector<std::string>{"two"});
    EXPECT_EQ(m_list.GetSelectedUUID(), second);

    // The only profile stays, file and all.
    EXPECT_EQ(m_list.DeleteProfile(), ProfileResult::Refused);
    EXPECT_EQ(m_list.Count(), 1);
    EXPECT_TRUE(std::filesystem::exists(m_list.ProfilePathAt(0)));
    EXPECT_EQ(Entries(m_folder).size(), 2u);
}

TEST_F(ProfileListTest, RenameRefusesBlanksAndDuplicates) {
    Seed({"Alpha", "Beta"});
    EXPECT_EQ(m_list.RenameProfile(""), ProfileResult::BlankName);
    EXPECT_EQ(m_list.RenameProfile("  "), ProfileResult::BlankName);
    EXPECT_EQ(ProfileList::RenameMessageKey(ProfileResult::BlankName), "message_text_25");
    EXPECT_EQ(m_list.RenameProfile("beta"), ProfileResult::Refused);
    EXPECT_EQ(ProfileList::RenameMessageKey(ProfileResult::Refused), "message_text_5");
    EXPECT_EQ(m_list.Names()[0], "Alpha");
    // Its own name in other letter case is fine.
    ASSERT_EQ(m_list.RenameProfile("ALPHA"), ProfileResult::Done);
    EXPECT_EQ(m_list.Names()[0], "ALPHA");
    EXPECT_EQ(JsonString(ListFile()["profilelist"][0], "profilename"), "ALPHA");
    EXPECT_EQ(JsonString(LoadJson(m_list.ProfilePathAt(0)), "profilename"), "ALPHA");
    // A hostile name is only data: no file appears for it.
    ASSERT_EQ(m_list.RenameProfile("../../x/" + std::string(5000, 'z')), ProfileResult::Done);
    EXPECT_EQ(Entries(m_folder).size(), 3u);
}

TEST_F(ProfileListTest, ImportAddsSuffixesAndNeverOverwrites) {
    Seed({"A", "A(1)"});
    const std::string src = Temp("in.json");
    WriteText(src,
              R"({"Device":[{"LightMode":5}],"profilename":"A","profileUUID":"2020_01_01_00_00_00_000"})");
    const std::string before = ReadText(m_list.ProfilePathAt(0));
    ASSERT_EQ(m_list.ImportProfile(src), ProfileResult::Done);
    EXPECT_EQ(m_list.Names().back(), "A(1)(2)");
    EXPECT_NE(m_list.UuidAt(2), "2020_01_01_00_00_00_000");
    EXPECT_EQ(ReadText(m_list.ProfilePathAt(0)), before);
    const Json::Value imported = LoadJson(m_list.ProfilePathAt(2));
    EXPECT_EQ(imported["Device"][0]["LightMode"].asInt(), 5);
    EXPECT_EQ(JsonString(imported, "profileUUID"), m_list.UuidAt(2));
    EXPECT_EQ(JsonString(LoadJson(src), "profilename"), "A"); // the chosen file is untouched

    for (const char* bad : {R"({"profileUUID":"u"})", R"({"profilename":"B"})",
                            R"({"profilename":null,"profileUUID":"u"})", "[1]", "garbage"}) {
        SCOPED_TRACE(bad);
        WriteText(src, bad);
        EXPECT_EQ(m_list.ImportProfile(src), ProfileResult::Refused);
    }
    EXPECT_EQ(m_list.ImportProfile(Temp("missing.json")), ProfileResult::Refused);
    EXPECT_EQ(m_list.Count(), 3);
    EXPECT_EQ(ListFile()["profilelist"].size(), 3u);
}

TEST_F(ProfileListTest, ExportImportRoundTrip) {
    Seed({"Mine"});
    Json::Value p = LoadJson(m_list.ProfilePathAt(0));
    p["Device"][0]["LightMode"] = 11;
    ASSERT_EQ(WriteJson(m_list.ProfilePathAt(0), p), 1);
    const std::string out = Temp("out.json");
    ASSERT_EQ(m_list.ExportProfile(out), ProfileResult::Done);
    EXPECT_EQ(LoadJson(out), p);
    EXPECT_EQ(m_list.ExportProfile(""), ProfileResult::Refused);
    EXPECT_EQ(m_list.ExportProfile(Temp("no/such/folder/x.json")), ProfileResult::WriteFailed);
    ASSERT_EQ(m_list.ImportProfile(out), ProfileResult::Done);
    EXPECT_EQ(m_list.Names().back(), "Mine(1)");
    Json::Value back = LoadJson(m_list.ProfilePathAt(1));
    EXPECT_EQ(back["Device"], p["Device"]);
    EXPECT_EQ(JsonInt(back, "Extra"), 7);
}

TEST_F(ProfileListTest, ResetKeepsIdentityAndHeadsetEq) {
    WriteText(DefaultData("HD.Json"), R"({"Device":[{"Vol":1,"CustomEQNameInfo":["d"]}]})");
    ProfileList hd;
    const std::string folder = KindFolder(DeviceFamily::Headset);
    hd.SetDeviceType(7);
    hd.SetFolders(folder, DefaultProfilePath(DeviceFamily::Headset));
    ASSERT_EQ(hd.LoadList(), ProfileResult::Done);
    ASSERT_EQ(hd.RenameProfile("Studio"), ProfileResult::Done);
    Json::Value p = LoadJson(hd.SelectedProfilePath());
    p["Device"][0]["Vol"] = 50;
    p["Device"][0]["CustomEQNameInfo"] = "mine";
    p["Device"][0]["CustomEQHzValueInfo"][0] = 3;
    ASSERT_EQ(WriteJson(hd.SelectedProfilePath(), p), 1);
    ASSERT_EQ(hd.ResetProfile(), ProfileResult::Done);
    const Json::Value r = LoadJson(hd.SelectedProfilePath());
    EXPECT_EQ(r["Device"][0]["Vol"].asInt(), 1);
    EXPECT_EQ(r["Device"][0]["CustomEQNameInfo"].asString(), "mine");
    EXPECT_EQ(r["Device"][0]["CustomEQHzValueInfo"][0].asInt(), 3);
    EXPECT_EQ(JsonString(r, "profilename"), "Studio");
    EXPECT_EQ(JsonString(r, "profileUUID"), hd.GetSelectedUUID());

    // Other kinds take the default whole.
    Seed({"K"});
    p = LoadJson(m_list.SelectedProfilePath());
    p["Device"][0]["CustomEQNameInfo"] = "kept?";
    ASSERT_EQ(WriteJson(m_list.SelectedProfilePath(), p), 1);
    ASSERT_EQ(m_list.ResetProfile(), ProfileResult::Done);
    EXPECT_EQ(LoadJson(m_list.SelectedProfilePath())["Device"][0]["CustomEQNameInfo"][0].asString(), "def");
}

TEST_F(ProfileListTest, TabsByDeviceType) {
    m_list.SelectTab(2);
    EXPECT_EQ(m_list.SelectedTab(), 2);
    m_list.SelectTab(9);
    EXPECT_EQ(m_list.SelectedTab(), 0);
    m_list.SetDeviceType(1);
    EXPECT_FALSE(m_list.TabVisible(5));
    EXPECT_TRUE(m_list.TabVisible(2));
    m_list.SetDeviceType(3);
    for (int n : {2, 3, 4, 5})
        EXPECT_FALSE(m_list.TabVisible(n)) << n;
    EXPECT_TRUE(m_list.TabVisible(1));
    m_list.SetDeviceType(7);
    for (int n : {6, 7, 8})
        EXPECT_TRUE(m_list.TabVisible(n)) << n;
    EXPECT_FALSE(m_list.TabVisible(2));
    m_list.SetDeviceType(2);
    EXPECT_TRUE(m_list.TabVisible(5));
    EXPECT_FALSE(m_list.TabVisible(6));
}

} // namespace
} // namespace nk7x::test
