// A profile list change that cannot be stored (here: a full disk) is reported with the language key
// of the failed save, and the combo keeps showing the list the disk holds.
#include "ProfilePanelTestSupport.h"

#include "profiles/FullDisk.h" // the test helper beside the profile tests
#include "profiles/ProfileList.h"

namespace nk7x::test {
namespace {

class WriteFailureTest : public ProfilePanelTest {
  protected:
    void SetUp() override {
        ProfilePanelTest::SetUp();
        ASSERT_EQ(m_panel->AddProfile(), ProfileResult::Done); // two profiles, so that one may be deleted
        // No device: the page switch and the reset stop after the panel's own work, so nothing but
        // the profile files is written while the disk is full.
        ProfileRoutesContext ctx;
        ctx.currentDevice = []() -> CDeviceBase* { return nullptr; };
        ctx.currentProfilePanel = [this] { return m_panel; };
        ctx.window = m_host.get();
        ctx.chooseFile = [this](QWidget*, bool, const QString&) { return m_nextPath; };
        ctx.showMessage = [this](QWidget*, const QString& text, bool isKey, int buttons) {
            m_messages.push_back({text, isKey, buttons});
            return m_answer;
        };
        ctx.text = [](const QString& key) { return key; };
        ReplaceRoutes(std::move(ctx));
    }

    void ExpectOnlySaveFailedShown(const QString& before = QString()) {
        std::vector<QString> expected;
        if (!before.isEmpty())
            expected.push_back(before);
        expected.push_back(QString::fromLatin1(kMsgSaveFailed));
        EXPECT_EQ(MessageTexts(), expected);
        ASSERT_FALSE(m_messages.empty());
        EXPECT_TRUE(m_messages.back().isKey);
        EXPECT_EQ(m_messages.back().buttons, 0);
    }
};

TEST_F(WriteFailureTest, EveryListButtonReportsAWriteThatDidNotHappen) {
    const std::string exported = (m_root / "exported.json").string();
    std::filesystem::create_directories(m_root / "exchange");
    const std::string source = (m_root / "exchange" / "profile.json").string();
    Json::Value profile = LoadJson(m_panel->SelectedProfilePath());
    ASSERT_EQ(WriteJson(source, profile), 1);
    {
        std::ofstream out(exported, std::ios::binary);
        out << "an earlier export";
    }
    auto* edit = Control<QLineEdit>("device_profile_name_edit");
    ASSERT_NE(edit, nullptr);
    OpenMenu();
    const auto before = FolderPicture(KindFolder());

    struct Press {
        const char* button;
        QString path;       // the file the dialog answers with
        QString name;       // the name typed for a rename
        QString firstShown; // a question the button asks before writing
    };
    const std::vector<Press> presses = {
        {"device_add_btn", {}, {}, {}},
        {"device_copy_btn", {}, {}, {}},
        {"device_sub_btn", {}, {}, {}},
        {"device_profile_edit_save_btn", {}, QStringLiteral("kept only in memory?"), {}},
        {"device_import_btn", QString::fromStdString(source), {}, {}},
        {"device_export_btn", QString::fromStdString(exported), {}, {}},
        {"device_reset_btn", {}, {}, QString::fromLatin1(kMsgResetConfirm)},
    };
    for (const Press& press : presses) {
        SCOPED_TRACE(press.button);
        m_messages.clear();
        m_nextPath = press.path;
        edit->setText(press.name);
        WithFullDisk(0, [&] { Click(press.button); });
        ExpectOnlySaveFailedShown(press.firstShown);
        ExpectComboMatchesList();
        EXPECT_EQ(Combo()->count(), 2);
        EXPECT_EQ(FolderPicture(KindFolder()), before);
        EXPECT_EQ(ReadFileText(exported), "an earlier export");
    }
    EXPECT_EQ(Combo()->itemText(0), QStringLiteral("profile1"));

    // With room again the same buttons work and say nothing.
    m_messages.clear();
    Click("device_add_btn");
    EXPECT_TRUE(m_messages.empty());
    EXPECT_EQ(Combo()->count(), 3);
    ExpectComboMatchesList();
}

TEST_F(WriteFailureTest, ASwitchWhoseChoiceCannotBeStoredStillSwitchesAndSaysSo) {
    // Adding named the new profile for the next start; the current one is stored again first.
    ASSERT_EQ(m_panel->SelectProfile(0, false), ProfileResult::Done);
    const int storedBefore = LoadJson(ListPath())["profileselect"].asInt();
    ASSERT_EQ(storedBefore, 0);
    QTest::keyClick(Combo(), Qt::Key_Down);
    ASSERT_EQ(Combo()->currentIndex(), 1);
    m_messages.clear();
    EXPECT_TRUE(WithFullDisk(0, [&] { return m_routes->OnTimer(kProfileSwitchTimerId); }));
    ExpectOnlySaveFailedShown();
    EXPECT_EQ(m_panel->GetSelectedUUID(), m_panel->List().UuidAt(1));
    EXPECT_EQ(LoadJson(ListPath())["profileselect"].asInt(), storedBefore);
    EXPECT_EQ(JsonInt(m_panel->List().ListDocument(), "profileselect", -1), storedBefore);
}

} // namespace
} // namespace nk7x::test
