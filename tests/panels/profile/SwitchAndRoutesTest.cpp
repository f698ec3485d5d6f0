#include "ProfilePanelTestSupport.h"

#include "devices/PlainDevice.h"
#include "windows/MessageBox.h"

#include <QAbstractButton>
#include <QLabel>
#include <QTimer>

namespace nk7x::test {
namespace {

using SwitchTest = ProfilePanelTest;

TEST_F(SwitchTest, ComboSelectionSwitchesAfterTheDelayAndWritesTheNewSettings) {
    ASSERT_EQ(m_panel->AddProfile(), ProfileResult::Done);
    ASSERT_EQ(m_panel->AddProfile(), ProfileResult::Done);
    MarkProfile(1, 0x21, 0x22, 0x23);
    MarkProfile(2, 0x12, 0x34, 0x56);
    const std::string first = m_panel->GetSelectedUUID();
    ASSERT_EQ(m_kbd->WriteSettings(0, 0), kResultOk);
    const std::vector<uint8_t> before = DeviceColour();
    ASSERT_NE(before, (std::vector<uint8_t>{0x12, 0x34, 0x56}));
    m_sim->ClearFrameLog();

    // Two steps through the list within the delay switch once, to where the user stopped.
    QTest::keyClick(Combo(), Qt::Key_Down);
    ASSERT_EQ(Combo()->currentIndex(), 1);
    EXPECT_TRUE(m_host->HasTimer(m_host.get(), kProfileSwitchTimerId));
    QTest::qWait(300);
    QTest::keyClick(Combo(), Qt::Key_Down);
    QElapsedTimer sinceSecond;
    sinceSecond.start();
    QTest::qWait(200);
    if (sinceSecond.elapsed() < 350) {
        EXPECT_EQ(m_panel->GetSelectedUUID(), first) << "switched before the restarted delay ended";
        EXPECT_TRUE(m_sim->FrameLog().empty());
    }

    ASSERT_TRUE(WaitFor([&] { return m_panel->GetSelectedUUID() != first; }, 3000));
    EXPECT_FALSE(m_host->HasTimer(m_host.get(), kProfileSwitchTimerId)) << "the switch timer fires once";
    EXPECT_EQ(m_panel->GetSelectedUUID(), m_panel->List().UuidAt(2));
    EXPECT_EQ(m_kbd->ProfileName(), m_panel->List().UuidAt(2));
    EXPECT_EQ(m_panel->GetNameText(), QStringLiteral("profile3"));
    EXPECT_EQ(LoadJson(ListPath())["profileselect"].asInt(), 2);
    EXPECT_EQ(DeviceColour(), (std::vector<uint8_t>{0x12, 0x34, 0x56}));
    EXPECT_EQ(m_sim->Parameters()[1], 2); // the lighting mode of the new profile
    // One settings record went out, and the key table with it; nothing for the skipped profile.
    int settingsWrites = 0;
    for (const SimFrameRecord& f : m_sim->FrameLog())
        if (f.command == 6)
            ++settingsWrites;
    EXPECT_EQ(settingsWrites, 1);
    EXPECT_TRUE(m_messages.empty());
}

// A device with keys that records what the switch and the reset ask of it, in order; its queued
// writes run here and now.
class CallRecorder : public CPlainDevice, public IKeyTableDevice, public ISettingsRecordDevice {
  public:
    std::vector<std::string> calls;
    MacroDownload macroResult;
    IKeyTableDevice* KeyTable() override { return this; }
    ISettingsRecordDevice* SettingsRecord() override { return this; }
    void QueueSettingsWrite(int n, uint8_t byte0) override { (void)WriteSettings(n, byte0); }
    const std::vector<KeyAssignment>& KeyList() const override { return keys; }
    bool SetKeyAssignment(int, const KeyCode&) override { return false; }
    LinkResult WriteKeyAssignments(int, const std::vector<KeyAssignment>&) override { return kResultOk; }
    void QueueProfileKeyAssignmentsWrite(int index) override { (void)WriteProfileKeyAssignments(index); }
    void QueueMacroDownload(std::function<void(MacroDownload)> done) override { done(DownloadMacros()); }
    std::vector<KeyAssignment> keys;
    void LoadProfile() override { calls.push_back("LoadProfile " + ProfileName()); }
    void PurgeMacroKeys() override { calls.push_back("PurgeMacroKeys"); }
    void RefreshPage() override { calls.push_back("RefreshPage"); }
    LinkResult WriteSettings(int n, uint8_t byte0) override {
        calls.push_back("WriteSettings " + std::to_string(n) + " " + std::to_string(byte0));
        return kResultOk;
    }
    MacroDownload DownloadMacros() override {
        calls.push_back("DownloadMacros");
        return macroResult;
    }
    LinkResult WriteProfileKeyAssignments(int index) override {
        calls.push_back("WriteProfileKeyAssignments " + std::to_string(index));
        return kResultOk;
    }
    void SetFunctionMode(int mode) override {
        calls.push_back("SetFunctionMode " + std::to_string(mode));
        CDeviceBase::SetFunctionMode(mode);
    }
};

class RecordedDeviceTest : public ProfilePanelTest {
  protected:
    void SetUp() override {
        ProfilePanelTest::SetUp();
        ProfileRoutesContext ctx;
        ctx.currentDevice = [this]() -> CDeviceBase* { return &m_recorder; };
        ctx.currentProfilePanel = [this] { return m_panel; };
        ctx.window = m_host.get();
        ctx.hideKeyEditor = [this] { m_recorder.calls.push_back("hideKeyEditor"); };
        ctx.showMessage = [this](QWidget*, const QString& text, bool isKey, int buttons) {
            m_messages.push_back({text, isKey, buttons});
            m_recorder.calls.push_back("message " + text.toStdString());
            return m_answer;
        };
        ctx.text = [](const QString& key) {
            return key == QLatin1String("message_text_16") ? QStringLiteral("Remove %d events (100%%)") : key;
        };
        ReplaceRoutes(std::move(ctx));
    }
    CallRecorder m_recorder;
};

TEST_F(RecordedDeviceTest, SwitchRunsTheDeviceStepsInOrderAndReportsMacrosThatDoNotFit) {
    ASSERT_EQ(m_panel->AddProfile(), ProfileResult::Done);
    m_recorder.macroResult = {MacroDownload::Status::TooLarge, 7};
    QTest::keyClick(Combo(), Qt::Key_Down);
    ASSERT_TRUE(m_routes->OnTimer(kProfileSwitchTimerId));
    const std::string uuid = m_panel->List().UuidAt(1);
    EXPECT_EQ(m_recorder.calls,
              (std::vector<std::string>{"LoadProfile " + uuid, "PurgeMacroKeys", "RefreshPage",
                                        "WriteSettings 0 0", "DownloadMacros",
                                        "message Remove 7 events (100%)", "WriteProfileKeyAssignments 0"}));
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_FALSE(m_messages[0].isKey);
    EXPECT_EQ(m_messages[0].buttons, 0);

    m_recorder.calls.clear();
    m_messages.clear();
    m_recorder.macroResult = {MacroDownload::Status::NoImage};
    EXPECT_TRUE(m_routes->OnTimer(kProfileSwitchTimerId));
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].text, QStringLiteral("message_text_7"));
    EXPECT_TRUE(m_messages[0].isKey);
    EXPECT_FALSE(m_routes->OnTimer(1054));
}

TEST_F(RecordedDeviceTest, ResetAsksFirstAndCancelChangesNothing) {
    const std::string path = m_panel->SelectedProfilePath();
    Json::Value doc = LoadJson(path);
    doc["Device"][0]["marker"] = "edited";
    ASSERT_EQ(WriteJson(path, doc), 1);
    const std::string edited = ReadFileText(path);

    m_answer = 0;
    OpenMenu();
    Click("device_reset_btn");
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].text, QStringLiteral("message_text_22"));
    EXPECT_TRUE(m_messages[0].isKey);
    EXPECT_EQ(m_messages[0].buttons, 1);
    EXPECT_EQ(ReadFileText(path), edited);
    EXPECT_EQ(m_recorder.calls, (std::vector<std::string>{"message message_text_22"}));

    m_answer = 1;
    m_recorder.calls.clear();
    Click("device_reset_btn");
    const Json::Value reset = LoadJson(path);
    EXPECT_FALSE(reset["Device"][0].isMember("marker"));
    EXPECT_EQ(reset["profileUUID"].asString(), m_panel->GetSelectedUUID());
    EXPECT_EQ(reset["profilename"].asString(), "profile1");
    EXPECT_EQ(m_recorder.calls,
              (std::vector<std::string>{"message message_text_22", "LoadProfile " + m_recorder.ProfileName(),
                                        "RefreshPage", "WriteSettings 0 0", "hideKeyEditor", "DownloadMacros",
                                        "WriteProfileKeyAssignments 0"}));
}

TEST_F(RecordedDeviceTest, TabOptionsSetTheFunctionModeAndStayOneOfEight) {
    auto tab = [&](const char* name) { return Control<QAbstractButton>(name); };
    ASSERT_TRUE(tab("deng_Op_tab")->isChecked());
    Click("macro_Op_tab");
    EXPECT_EQ(m_recorder.calls, (std::vector<std::string>{"SetFunctionMode 3"}));
    EXPECT_EQ(m_panel->SelectedTab(), 3);
    for (const char* name : kProfileTabNames)
        EXPECT_EQ(tab(name)->isChecked(), std::string(name) == "macro_Op_tab") << name;

    // Selecting from the program raises nothing; an unknown option clears them all.
    m_recorder.calls.clear();
    m_host->raised.clear();
    m_panel->SelectTab(2);
    EXPECT_TRUE(tab("key_Op_tab")->isChecked());
    m_panel->SelectTab(0);
    for (const char* name : kProfileTabNames)
        EXPECT_FALSE(tab(name)->isChecked()) << name;
    EXPECT_TRUE(m_recorder.calls.empty());
    EXPECT_TRUE(m_host->raised.empty());

    // A keyboard has no pointer tab and none of the headset's.
    EXPECT_TRUE(tab("cursor_Op_tab")->isHidden());
    for (const char* name : {"6533_voice_Op_tab", "magic_Op_tab", "Virtual7.1_Op_tab"})
        EXPECT_TRUE(tab(name)->isHidden()) << name;
    m_panel->SetDeviceType(7);
    ASSERT_EQ(m_panel->LoadList(), ProfileResult::Done);
    for (const char* name : {"key_Op_tab", "macro_Op_tab", "system_Op_tab", "cursor_Op_tab"})
        EXPECT_TRUE(tab(name)->isHidden()) << name;
    for (const char* name : {"deng_Op_tab", "6533_voice_Op_tab", "magic_Op_tab", "Virtual7.1_Op_tab"})
        EXPECT_FALSE(tab(name)->isHidden()) << name;
}

TEST_F(SwitchTest, SpreadButtonTogglesTheMenu) {
    EXPECT_FALSE(m_panel->IsMenuShown());
    Click("profile_fun_spread_btn");
    EXPECT_TRUE(m_panel->IsMenuShown());
    EXPECT_TRUE(Control<QWidget>("device_profile_name_edit")->isVisible());
    Click("profile_fun_spread_btn");
    EXPECT_FALSE(m_panel->IsMenuShown());
}

TEST_F(SwitchTest, RenameRefusesBlankAndDuplicateNames) {
    ASSERT_EQ(m_panel->AddProfile(), ProfileResult::Done);
    OpenMenu();
    auto* edit = Control<QLineEdit>("device_profile_name_edit");
    ASSERT_NE(edit, nullptr);
    const std::string listBefore = ReadFileText(ListPath());

    edit->setText(QStringLiteral("  "));
    Click("device_profile_edit_save_btn");
    edit->setText(QStringLiteral("PROFILE2"));
    Click("device_profile_edit_save_btn");
    EXPECT_EQ(MessageTexts(),
              (std::vector<QString>{QStringLiteral("message_text_25"), QStringLiteral("message_text_5")}));
    for (const ShownMessage& m : m_messages) {
        EXPECT_TRUE(m.isKey);
        EXPECT_EQ(m.buttons, 0);
    }
    EXPECT_EQ(ReadFileText(ListPath()), listBefore);
    EXPECT_EQ(Combo()->itemText(0), QStringLiteral("profile1"));

    // An empty field does nothing; the own name in other letters is a rename.
    m_messages.clear();
    edit->clear();
    Click("device_profile_edit_save_btn");
    edit->setText(QStringLiteral("Profile1"));
    Click("device_profile_edit_save_btn");
    EXPECT_TRUE(m_messages.empty());
    EXPECT_EQ(Combo()->itemText(0), QStringLiteral("Profile1"));
    EXPECT_EQ(LoadJson(m_panel->SelectedProfilePath())["profilename"].asString(), "Profile1");
    ExpectComboMatchesList();
}

TEST(MessageCount, FormatsOnlyTheFirstCount) {
    EXPECT_EQ(FormatMessageCount(QStringLiteral("Remove %d events."), 12),
              QStringLiteral("Remove 12 events."));
    EXPECT_EQ(FormatMessageCount(QStringLiteral("%d of %d, 5%%"), 3), QStringLiteral("3 of %d, 5%"));
    EXPECT_EQ(FormatMessageCount(QStringLiteral("%s %n %"), 3), QStringLiteral("%s %n %"));
    EXPECT_EQ(FormatMessageCount(QString(), 3), QString());
}

// The program's own box: Cancel on the real dialog leaves the profile as it was.
class RealBoxTest : public ProfilePanelTest {
  protected:
    void SetUp() override {
        ProfilePanelTest::SetUp();
        MsgWndSetup setup;
        setup.skinFolder = QStringLiteral(NK7X_SOURCE_DIR "/skin");
        setup.lookup = [](const QString& key) { return key; };
        setup.hasText = [](const QString&) { return false; };
        SetMsgWndSetup(setup);
        ProfileRoutesContext ctx;
        ctx.currentDevice = [this]() -> CDeviceBase* { return m_kbd.get(); };
        ctx.currentProfilePanel = [this] { return m_panel; };
        ctx.window = m_host.get();
        ReplaceRoutes(std::move(ctx));
    }
    void TearDown() override {
        SetMsgWndSetup({});
        ProfilePanelTest::TearDown();
    }
};

CMsgWnd* OpenBox() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<CMsgWnd*>(w); box && box->isVisible() && box->IsRunning())
            return box;
    return nullptr;
}

TEST_F(RealBoxTest, ResetCancelledOnTheBoxKeepsTheProfileAndSendsNothing) {
    MarkProfile(0, 0x40, 0x50, 0x60);
    const std::string before = ReadFileText(m_panel->SelectedProfilePath());
    m_sim->ClearFrameLog();
    QString shownText;
    bool cancelShown = false;
    // The box runs its own loop; the poll answers it from there.
    auto* poll = new QTimer();
    QObject::connect(poll, &QTimer::timeout, [&, poll] {
        if (CMsgWnd* box = OpenBox()) {
            poll->stop();
            if (auto* label = qobject_cast<QLabel*>(box->FindControl(QStringLiteral("MessageText"))))
                shownText = label->text();
            auto* cancel = qobject_cast<QAbstractButton*>(box->FindControl(QStringLiteral("cancel_btn")));
            cancelShown = cancel && cancel->isVisible();
            if (cancel)
                QTest::mouseClick(cancel, Qt::LeftButton);
            else
                box->Close(CMsgWnd::kCancel);
        }
    });
    poll->start(5);
    QTimer::singleShot(3000, poll, [poll] { poll->stop(); });
    OpenMenu();
    Click("device_reset_btn");
    delete poll;
    EXPECT_TRUE(cancelShown);
    EXPECT_EQ(shownText, QStringLiteral("message_text_22"));
    EXPECT_EQ(ReadFileText(m_panel->SelectedProfilePath()), before);
    EXPECT_TRUE(m_sim->FrameLog().empty());
}

} // namespace
} // namespace nk7x::test
