#include "ProfilePanelTestSupport.h"

namespace nk7x::test {
namespace {

using ListOperationsTest = ProfilePanelTest;

TEST_F(ListOperationsTest, FirstStartMakesOneProfileAndSelectsIt) {
    ExpectComboMatchesList();
    EXPECT_EQ(Combo()->count(), 1);
    EXPECT_EQ(m_panel->GetSelectedIndex(), 0);
    EXPECT_EQ(m_panel->GetNameText(), QStringLiteral("profile1"));
    EXPECT_FALSE(m_panel->GetSelectedUUID().empty());
    EXPECT_TRUE(std::filesystem::exists(ProfilePath(m_panel->GetSelectedUUID())));
    EXPECT_TRUE(m_host->raised.empty()) << "filling the panel raised a notification";
}

TEST_F(ListOperationsTest, AddCopyAndDeleteKeepComboAndListInStep) {
    OpenMenu();
    Click("device_add_btn");
    Click("device_add_btn");
    ExpectComboMatchesList();
    EXPECT_EQ(Combo()->itemText(2), QStringLiteral("profile3"));
    // The list file names the new profile for the next start; the page stays where it was.
    EXPECT_EQ(LoadJson(ListPath())["profileselect"].asInt(), 2);
    EXPECT_EQ(m_panel->GetSelectedIndex(), 0);
    EXPECT_FALSE(m_host->HasTimer(m_host.get(), kProfileSwitchTimerId));

    Click("device_copy_btn");
    ExpectComboMatchesList();
    EXPECT_EQ(Combo()->itemText(3), QStringLiteral("profile1 copy"));
    EXPECT_EQ(m_panel->GetSelectedIndex(), 0);

    // Deleting the first selects the new first one and lets the page follow it.
    const std::string firstUuid = m_panel->GetSelectedUUID();
    const std::string secondUuid = m_panel->List().UuidAt(1);
    m_host->raised.clear();
    Click("device_sub_btn");
    ExpectComboMatchesList();
    EXPECT_EQ(Combo()->count(), 3);
    EXPECT_FALSE(std::filesystem::exists(ProfilePath(firstUuid)));
    EXPECT_EQ(m_panel->GetSelectedIndex(), 0);
    EXPECT_EQ(m_panel->GetSelectedUUID(), secondUuid);
    EXPECT_EQ(m_panel->GetNameText(), QStringLiteral("profile2"));
    EXPECT_EQ(LoadJson(ListPath())["profileselect"].asInt(), 0);
    EXPECT_NE(std::find(m_host->raised.begin(), m_host->raised.end(),
                        QStringLiteral("itemselect device_profile_combo")),
              m_host->raised.end());
    ASSERT_TRUE(m_host->HasTimer(m_host.get(), kProfileSwitchTimerId));
    ASSERT_TRUE(WaitFor([&] { return m_kbd->ProfileName() == secondUuid; }, 3000));
}

TEST_F(ListOperationsTest, TheLastProfileCannotBeDeletedAndAddStopsAtFifty) {
    const std::string before = ReadFileText(ListPath());
    EXPECT_EQ(m_panel->DeleteProfile(), ProfileResult::Refused);
    EXPECT_EQ(ReadFileText(ListPath()), before);
    EXPECT_EQ(Combo()->count(), 1);
    EXPECT_TRUE(m_host->raised.empty());

    while (Combo()->count() < kMaxAddedProfiles)
        ASSERT_EQ(m_panel->AddProfile(), ProfileResult::Done) << Combo()->count();
    EXPECT_EQ(m_panel->AddProfile(), ProfileResult::Refused);
    EXPECT_EQ(Combo()->count(), kMaxAddedProfiles);
    ExpectComboMatchesList();
}

TEST_F(ListOperationsTest, ImportTakesOnlyProfilesAndNamesThemApart) {
    const std::string folder = (m_root / "exchange").string();
    std::filesystem::create_directories(folder);
    auto write = [&](const char* name, const Json::Value& doc) {
        const std::string path = folder + "/" + name;
        EXPECT_EQ(WriteJson(path, doc), 1);
        return QString::fromStdString(path);
    };
    Json::Value good = LoadJson(m_panel->SelectedProfilePath());
    good["profilename"] = "profile1";
    good["profileUUID"] = "from-elsewhere";
    const QString goodPath = write("good.json", good);
    const std::string goodText = ReadFileText(goodPath.toStdString());
    Json::Value noName = good;
    noName.removeMember("profilename");
    Json::Value noUuid = good;
    noUuid.removeMember("profileUUID");

    OpenMenu();
    for (const QString& bad : {write("noname.json", noName), write("nouuid.json", noUuid),
                               write("list.json", Json::Value(Json::arrayValue)),
                               QString::fromStdString(folder + "/gone.json"), QString()}) {
        m_nextPath = bad;
        Click("device_import_btn");
        EXPECT_EQ(Combo()->count(), 1) << bad.toStdString();
    }
    EXPECT_EQ(m_dialogs.back(), QStringLiteral("open Profile Files(*.json)"));

    m_nextPath = goodPath;
    Click("device_import_btn");
    Click("device_import_btn");
    ExpectComboMatchesList();
    ASSERT_EQ(Combo()->count(), 3);
    EXPECT_EQ(Combo()->itemText(1), QStringLiteral("profile1(1)"));
    EXPECT_EQ(Combo()->itemText(2), QStringLiteral("profile1(1)(2)"));
    EXPECT_NE(m_panel->List().UuidAt(1), "from-elsewhere");
    EXPECT_EQ(ReadFileText(goodPath.toStdString()), goodText) << "the chosen file was changed";
    EXPECT_EQ(m_panel->GetSelectedIndex(), 0);
}

TEST_F(ListOperationsTest, ExportWritesTheSelectedProfileWhereTheUserChose) {
    OpenMenu();
    const std::string target = (m_root / "out.json").string();
    m_nextPath = QString();
    Click("device_export_btn");
    EXPECT_FALSE(std::filesystem::exists(target));
    m_nextPath = QString::fromStdString(target);
    Click("device_export_btn");
    EXPECT_EQ(m_dialogs.back(), QStringLiteral("save Profile Files(*.json)"));
    EXPECT_EQ(LoadJson(target), LoadJson(m_panel->SelectedProfilePath()));
    EXPECT_EQ(ReadFileText(target), ReadFileText(m_panel->SelectedProfilePath()));
}

TEST_F(ListOperationsTest, ResetOnTheKeyboardRewritesTheDefaultAndSendsIt) {
    const LightState edited = MarkProfile(0, 0x70, 0x71, 0x72);
    m_kbd->LoadProfile();
    ASSERT_EQ(m_kbd->WriteSettings(0, 0), kResultOk);
    ASSERT_EQ(DeviceColour(), (std::vector<uint8_t>{edited.red, edited.green, edited.blue}));

    OpenMenu();
    Click("device_reset_btn");
    ASSERT_EQ(MessageTexts(), (std::vector<QString>{QStringLiteral("message_text_22")}));
    EXPECT_EQ(m_keyEditorHidden, 1);
    // The device shows the default profile's lighting again.
    CKeyboardDevice fresh;
    fresh.SetProfileName(m_panel->GetSelectedUUID());
    fresh.LoadProfile();
    const LightState def = fresh.Profile().GetLightInfo();
    EXPECT_NE(def, edited);
    EXPECT_EQ(m_kbd->Profile().GetLightInfo(), def);
    EXPECT_EQ(DeviceColour(), (std::vector<uint8_t>{def.red, def.green, def.blue}));
    ExpectComboMatchesList();
}

TEST_F(ListOperationsTest, WithoutItsControlsThePanelChangesNothing) {
    CDeviceProfileUI bare;
    bare.SetDeviceType(1);
    bare.SetFolders(KindFolder(), m_kbd->DefaultProfilePath());
    ASSERT_EQ(bare.LoadList(), ProfileResult::Done);
    const std::string before = ReadFileText(ListPath());
    EXPECT_EQ(bare.GetSelectedIndex(), -1);
    EXPECT_EQ(bare.AddProfile(), ProfileResult::Refused);
    EXPECT_EQ(bare.CopyProfile(), ProfileResult::Refused);
    EXPECT_EQ(bare.DeleteProfile(), ProfileResult::Refused);
    EXPECT_EQ(bare.RenameProfile(QStringLiteral("x")), ProfileResult::Refused);
    EXPECT_EQ(bare.ImportProfile(QString::fromStdString(m_panel->SelectedProfilePath())),
              ProfileResult::Refused);
    bare.SelectTab(2);
    bare.ShowMenu(true);
    EXPECT_FALSE(bare.IsMenuShown());
    EXPECT_EQ(ReadFileText(ListPath()), before);
}

} // namespace
} // namespace nk7x::test
