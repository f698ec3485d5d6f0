// The keyboard page's settings controls, restore button and key clicks, from the control on the
// page to the emulated keyboard.
#include "keyboard_test_support.h"
#include "support/TestSupport.h"

#include "devices/keyboard/KeyboardRecords.h"
#include "tools/sim/SimDevice.h"
#include "windows/MessageBox.h"

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QLabel>
#include <QSlider>
#include <QTest>
#include <QTimer>

#include <cstdlib>
#include <filesystem>
#include <memory>

namespace nk7x::test {
namespace {

constexpr uint8_t kCmdWriteParameters = 6;
constexpr uint8_t kCmdWriteKeyTable = 9;
constexpr uint8_t kCmdWriteLightingPage = 11;
constexpr size_t kPollingByte = 22;
constexpr size_t kWinLockByte = 21;

CMsgWnd* OpenBox() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<CMsgWnd*>(w); box && box->isVisible() && box->IsRunning())
            return box;
    return nullptr;
}

class KeyboardRoutesTest : public ::testing::Test {
  protected:
    virtual SimOptions Options() { return {}; }

    void SetUp() override {
        m_dirs = std::make_unique<DeviceTestRoot>("nk7x-kbdpage");
        m_root = m_dirs->Path();
        ASSERT_FALSE(m_root.empty());
        SimOptions options = Options();
        options.folder = (m_root / "sim").string();
        m_sim = std::make_unique<SimDevice>(options);
        ASSERT_EQ(m_sim->Start(), 1) << m_sim->LastError();

        m_window = std::make_unique<KeyboardPageWindow>();
        ASSERT_NE(m_window->page, nullptr);
        m_kbd = std::make_unique<CKeyboardDevice>();
        m_kbd->SetView(m_window.get());
        m_kbd->SetProfileName("profile-one");
        m_kbd->SetLightingName("tavro_light");
        ASSERT_EQ(m_kbd->Link().OpenPath(m_sim->CommandPath()), 1);
        ASSERT_EQ(m_kbd->ReadKeyLayout(), kResultOk);
        m_kbd->LoadProfile();
        m_kbd->SaveProfile();
        m_kbd->RefreshPage();
        m_routes = std::make_unique<KeyboardRoutes>(
            KeyboardRoutesContext{[this] { return m_kbd.get(); }, m_window.get()});
        m_window->SetRoutes(m_routes.get());
        m_window->show();
        QApplication::processEvents();

        MsgWndSetup setup;
        setup.skinFolder = QStringLiteral(NK7X_SOURCE_DIR "/skin");
        setup.lookup = [](const QString& key) { return EnglishTexts().Text(key); };
        setup.hasText = [](const QString& key) { return EnglishTexts().Has(key); };
        SetMsgWndSetup(setup);
        m_sim->ClearFrameLog();
    }

    void TearDown() override {
        SetMsgWndSetup({});
        m_window->SetRoutes(nullptr);
        m_routes.reset();
        m_kbd.reset();
        m_window.reset();
        if (m_sim)
            m_sim->Stop();
        m_dirs.reset();
    }

    int FrameCount(uint8_t code) const {
        int n = 0;
        for (const SimFrameRecord& f : m_sim->FrameLog())
            n += f.command == code ? 1 : 0;
        return n;
    }

    // The system settings as the profile file holds them now.
    KeyboardSystemStages SavedStages() const {
        CKeyboardProfiledata reread;
        reread.SetProfilePath(m_kbd->GetProfileName());
        reread.LoadFromFile(m_kbd->GetProfileName());
        return reread.GetSystemStages();
    }

    void ClickControl(const char* name) {
        auto* b = m_window->Find<QAbstractButton>(name);
        ASSERT_NE(b, nullptr) << name;
        QTest::mouseClick(b, Qt::LeftButton);
    }

    // Answers the next message box with the named button; records the box's text.
    void AnswerBoxWith(const char* button) {
        auto* poll = new QTimer();
        auto started = std::make_shared<QElapsedTimer>();
        started->start();
        const QString name = QString::fromLatin1(button);
        QObject::connect(poll, &QTimer::timeout, [this, poll, started, name] {
            if (CMsgWnd* box = OpenBox()) {
                poll->stop();
                poll->deleteLater();
                if (auto* text = qobject_cast<QLabel*>(box->FindControl(QStringLiteral("MessageText"))))
                    m_boxText = text->text();
                ++m_boxes;
                if (auto* b = qobject_cast<QAbstractButton*>(box->FindControl(name)))
                    b->click();
            } else if (started->elapsed() > 3000) {
                poll->stop();
                poll->deleteLater();
            }
        });
        poll->start(5);
    }

    std::unique_ptr<DeviceTestRoot> m_dirs;
    std::filesystem::path m_root;
    std::unique_ptr<SimDevice> m_sim;
    std::unique_ptr<KeyboardPageWindow> m_window;
    std::unique_ptr<CKeyboardDevice> m_kbd;
    std::unique_ptr<KeyboardRoutes> m_routes;
    QString m_boxText;
    int m_boxes = 0;
};

TEST_F(KeyboardRoutesTest, APollingRateOptionIsStoredSavedAndWritten) {
    ClickControl("polling_rate_option_2");
    // One record for the new option; the option that lost its check sends nothing.
    EXPECT_EQ(FrameCount(kCmdWriteParameters), 1);
    EXPECT_EQ(m_sim->Parameters()[kPollingByte], 2);
    EXPECT_EQ(m_kbd->Profile().GetSystemStages().pollingRate, 2);
    EXPECT_EQ(SavedStages().pollingRate, 2);
    EXPECT_EQ(m_kbd->SettingsControls().pollingOption, 2);

    ClickControl("polling_rate_option_3");
    EXPECT_EQ(FrameCount(kCmdWriteParameters), 2);
    EXPECT_EQ(m_sim->Parameters()[kPollingByte], 3);
    EXPECT_TRUE(m_window->failures.empty());
}

TEST_F(KeyboardRoutesTest, ARateChosenOnThePageSurvivesASettingsReadFromTheKeyboard) {
    ClickControl("polling_rate_option_1");
    m_window->Find<QSlider>("repeat_rate_slider")->setValue(9);
    ClickControl("repeat_delay_check_3");
    // The keyboard reports its own changes: the record carries no polling rate or repeat values.
    ASSERT_EQ(m_kbd->ReadSettings(), kResultOk);
    const KeyboardSystemStages saved = SavedStages();
    EXPECT_EQ(saved.pollingRate, 1);
    EXPECT_EQ(saved.repeatRate, 9);
    EXPECT_EQ(saved.repeatDelay, 3);
}

TEST_F(KeyboardRoutesTest, TheFlagsAreWrittenInTheirBytes) {
    ClickControl("winlockflag_option");
    EXPECT_EQ(m_sim->Parameters()[kWinLockByte], 1);
    EXPECT_EQ(SavedStages().winKeyFlag, 1);
    ClickControl("6flag_option");
    EXPECT_EQ(m_sim->Parameters()[20], 1);
    ClickControl("wflag_option");
    EXPECT_EQ(m_sim->Parameters()[19], 1);
    ClickControl("winlockflag_option");
    EXPECT_EQ(m_sim->Parameters()[kWinLockByte], 0);
    EXPECT_EQ(SavedStages().winKeyFlag, 0);
    EXPECT_EQ(SavedStages().key6Flag, 1);
    EXPECT_EQ(FrameCount(kCmdWriteParameters), 4);
}

TEST_F(KeyboardRoutesTest, RepeatRateAndDelayAreSavedButNeverSent) {
    auto* slider = m_window->Find<QSlider>("repeat_rate_slider");
    ASSERT_NE(slider, nullptr);
    slider->setValue(slider->value() == 7 ? 8 : 7);
    const int rate = slider->value();
    ClickControl("repeat_delay_check_2");
    EXPECT_TRUE(m_sim->FrameLog().empty());
    const KeyboardSystemStages saved = SavedStages();
    EXPECT_EQ(saved.repeatRate, rate);
    EXPECT_EQ(saved.repeatDelay, 2);
    // The delay's label follows at once.
    EXPECT_TRUE(m_window->Find<QLabel>("repeat_delay_time_label1")->text().endsWith(QLatin1String("750ms")));
}

TEST_F(KeyboardRoutesTest, RestoreDefaultsAsksAndCancelSendsNothing) {
    ClickControl("polling_rate_option_3");
    m_sim->ClearFrameLog();
    AnswerBoxWith("cancel_btn");
    ClickControl("default_btn");
    EXPECT_EQ(m_boxes, 1);
    EXPECT_EQ(m_boxText, EnglishTexts().Text(QStringLiteral("message_text_22")));
    EXPECT_TRUE(m_sim->FrameLog().empty());
    EXPECT_EQ(SavedStages().pollingRate, 3);
}

TEST_F(KeyboardRoutesTest, RestoreDefaultsConfirmedResetsTheProfileAndWritesKeysAndSettings) {
    ClickControl("polling_rate_option_3");
    ClickControl("winlockflag_option");
    m_sim->ClearFrameLog();
    AnswerBoxWith("confirm_btn");
    ClickControl("default_btn");
    ASSERT_EQ(m_boxes, 1);
    // The key table goes out in pieces; the settings record in one.
    EXPECT_GE(FrameCount(kCmdWriteKeyTable), 1);
    EXPECT_EQ(FrameCount(kCmdWriteParameters), 1);
    const KeyboardSystemStages saved = SavedStages();
    EXPECT_EQ(saved.pollingRate, 0);
    EXPECT_EQ(saved.winKeyFlag, 0);
    EXPECT_EQ(m_sim->Parameters()[kPollingByte], 0);
    // The page shows the defaults.
    EXPECT_TRUE(m_window->Find<QAbstractButton>("polling_rate_option_0")->isChecked());
    EXPECT_FALSE(m_window->Find<QAbstractButton>("winlockflag_option")->isChecked());
}

TEST_F(KeyboardRoutesTest, RestoreDefaultsWithoutAKeyboardStillAsksThenDoesNothing) {
    KeyboardRoutes none(
        KeyboardRoutesContext{[] { return static_cast<CKeyboardDevice*>(nullptr); }, nullptr});
    m_window->SetRoutes(&none);
    AnswerBoxWith("confirm_btn");
    ClickControl("default_btn");
    EXPECT_EQ(m_boxes, 1);
    EXPECT_TRUE(m_sim->FrameLog().empty());
    // Nor do the other controls without a keyboard.
    ClickControl("polling_rate_option_2");
    ClickControl("key_3");
    EXPECT_TRUE(m_sim->FrameLog().empty());
    m_window->SetRoutes(m_routes.get());
}

TEST_F(KeyboardRoutesTest, AKeyClickSelectsTheKeyOutsideTheCustomLighting) {
    m_kbd->SetFunctionMode(2);
    ClickControl("key_45");
    ASSERT_EQ(m_window->selectedKeys.size(), 1u);
    EXPECT_EQ(m_window->selectedKeys[0], 45);
    EXPECT_EQ(m_kbd->SelectedKey(), 45);
    // The lighting tab in a mode other than the custom one selects too.
    m_kbd->SetFunctionMode(1);
    ClickControl("key_0");
    EXPECT_EQ(m_kbd->SelectedKey(), 0);
    EXPECT_EQ(FrameCount(kCmdWriteLightingPage), 0);
}

TEST_F(KeyboardRoutesTest, AKeyClickInTheCustomLightingPaintsTheKey) {
    LightState light = m_kbd->GetLightSettings();
    light.mode = kCustomLightMode;
    light.red = 0x12;
    light.green = 0x34;
    light.blue = 0x56;
    m_kbd->SetLightSettings(light);
    m_kbd->SelectCustomGroup(0);
    m_kbd->SetFunctionMode(1);
    m_window->selectedKeys.clear();
    m_sim->ClearFrameLog();
    ClickControl("key_45");
    EXPECT_TRUE(m_window->selectedKeys.empty());
    const KeyColour c = m_kbd->GetKeyColour(45);
    EXPECT_EQ(c.red, 0x12);
    EXPECT_EQ(c.green, 0x34);
    EXPECT_EQ(c.blue, 0x56);
    EXPECT_NE(m_kbd->GetKeyColour(44).red, 0x12);
    // The keyboard's page of custom colours holds the key's colour at its LED.
    ASSERT_GE(FrameCount(kCmdWriteLightingPage), 1);
    const uint8_t led = m_kbd->KeyLed(45);
    ASSERT_NE(led, kKeyNotFound);
    const std::vector<uint8_t> page = m_sim->LightingPage(0);
    ASSERT_GE(page.size(), size_t(3 * led + 3));
    EXPECT_EQ(std::vector<uint8_t>(page.begin() + 3 * led, page.begin() + 3 * led + 3),
              std::vector<uint8_t>({0x12, 0x34, 0x56}));
}

class KeyboardRoutesFaultTest : public KeyboardRoutesTest {
  protected:
    SimOptions Options() override {
        SimOptions o;
        o.faults = "status=0xFF@6:always";
        return o;
    }
};

TEST_F(KeyboardRoutesFaultTest, AFailedWriteShowsTheNoticeOnThePage) {
    ClickControl("winlockflag_option");
    ASSERT_EQ(m_window->failures.size(), 1u);
    EXPECT_EQ(m_window->failures[0].first, KeyboardWrite::Settings);
    auto* notice = m_window->Find<QLabel>("keyboard_write_notice");
    ASSERT_NE(notice, nullptr);
    EXPECT_TRUE(notice->isVisible());
    EXPECT_TRUE(notice->text().contains(QString::number(ResultCode(m_window->failures[0].second))))
        << notice->text().toStdString();
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    // The setting is kept in the profile all the same.
    EXPECT_EQ(SavedStages().winKeyFlag, 1);
}

} // namespace
} // namespace nk7x::test
