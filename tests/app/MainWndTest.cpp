#include "app/MainWnd.h"
#include "platform/DebugLog.h"
#include "platform/Folders.h"
#include "platform/SettingsStore.h"
#include "support/TestSupport.h"
#include "ui/DataFileProblems.h"
#include "windows/AboutWnd.h"
#include "windows/MessageBox.h"
#include "windows/SetWnd.h"
#include "windows/SkinFrame.h"
#include "windows/SkinNotifier.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

using namespace nk7x;

namespace {

struct FakePage : ShellPage {
    std::vector<bool> live;
    std::vector<bool> preview;
    void SetPreview(bool on) override { preview.push_back(on); }
    void SetLiveLighting(bool on) override { live.push_back(on); }
};

class MainWndTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_cfg.isValid());
        m_options.programFolder = QStringLiteral(NK7X_SOURCE_DIR);
        m_options.settingsPath = m_cfg.filePath("settings.ini");
        m_options.useBuses = false;
        m_options.tray = ShellOptions::Tray::Present;
    }
    std::unique_ptr<MainWnd> Make() {
        auto w = std::make_unique<MainWnd>(m_options);
        w->AddPage(&m_page);
        w->Create();
        EXPECT_TRUE(QTest::qWaitFor([&] { return w->isVisible(); }, 3000));
        return w;
    }
    QTemporaryDir m_cfg;
    ShellOptions m_options;
    FakePage m_page;
};

} // namespace

TEST_F(MainWndTest, StartsShownTitledAndInTheStoredLanguage) {
    SettingsStore store(m_options.settingsPath.toStdString());
    ASSERT_TRUE(store.CreateKey(SettingsStore::ProductKey()));
    ASSERT_TRUE(store.WriteDword(SettingsStore::ProductKey(), "LANGUAGE", 2052));
    auto w = Make();
    EXPECT_TRUE(w->Started());
    EXPECT_EQ(w->windowTitle(), QString::fromUtf8(kProductName));
    EXPECT_EQ(w->LanguageSwitch().Current(), 1);
    EXPECT_EQ(w->Texts().LanguageName(), "zh_CN");
    auto* title = qobject_cast<QLabel*>(w->FindControl("title_text"));
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->text(), w->Texts().Text("main_title"));
    EXPECT_NE(title->text(), "main_title") << "the Chinese text file has the key";
    ASSERT_NE(w->FindControl("No_device_Link"), nullptr);
    EXPECT_TRUE(w->FindControl("No_device_Link")->isVisible()) << "no device entry is shown";
    for (const char* name : {"device_select_layout", "device_switch", "device_power_switch", "closebtn",
                             "minbtn", "skinbtn", "setbtn", "control_light_status", "nodevice_ok_btn"})
        EXPECT_NE(w->FindControl(name), nullptr) << name;
}

// A program folder with a page layout missing and the English texts cut short: the window comes
// up, and tells (in words it has even without its language file) which files are missing or damaged.
TEST_F(MainWndTest, MissingOrDamagedProgramFilesAreNamed) {
    QTemporaryDir program;
    ASSERT_TRUE(program.isValid());
    const std::filesystem::path from(NK7X_SOURCE_DIR), to(program.path().toStdString());
    for (const char* folder : {"skin", "DefaultData", "Font"})
        std::filesystem::copy(from / folder, to / folder, std::filesystem::copy_options::recursive);
    std::filesystem::remove(to / "skin/XML/DeviceXml/keyboarddevice.xml");
    const std::filesystem::path english = to / "skin/lang/lan_en.json";
    std::filesystem::resize_file(english, std::filesystem::file_size(english) / 2);
    m_options.programFolder = program.path();
    (void)TakeDataFileProblems();
    nk7x::test::DebugCapture log;
    auto w = std::make_unique<MainWnd>(m_options);
    w->Create();
    ASSERT_TRUE(QTest::qWaitFor([&] { return w->isVisible(); }, 3000));
    QString told;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            for (QWidget* top : QApplication::topLevelWidgets()) {
                auto* box = qobject_cast<CMsgWnd*>(top);
                auto* text = box && box->isVisible()
                                 ? qobject_cast<QLabel*>(box->FindControl(QStringLiteral("MessageText")))
                                 : nullptr;
                if (text) {
                    told = text->text();
                    if (const char* out = std::getenv("NK7X_SCREENSHOT_DIR"))
                        box->grab().save(QString::fromLocal8Bit(out) + QStringLiteral("/notice-files.png"));
                }
            }
            return !told.isEmpty();
        },
        5000));
    EXPECT_TRUE(told.contains(QString::fromStdString(english.string()))) << told.toStdString();
    EXPECT_TRUE(told.contains(QStringLiteral("missing or damaged"))) << told.toStdString();
    bool logged = false;
    for (const std::string& line : log.Lines())
        logged |= line.find(english.string()) != std::string::npos;
    EXPECT_TRUE(logged) << "the log names the file too";
}

TEST_F(MainWndTest, LanguageSwitchRunsQueuedOnTheUiThread) {
    auto w = Make();
    ASSERT_EQ(w->LanguageSwitch().Current(), 0);
    int writes = w->Store().WriteCount();
    w->RequestLanguage(1);
    EXPECT_EQ(w->LanguageSwitch().Current(), 0) << "a queued call, not a direct one";
    ASSERT_TRUE(QTest::qWaitFor([&] { return w->LanguageSwitch().Current() == 1; }, 2000));
    EXPECT_EQ(w->Store().ReadDword(SettingsStore::ProductKey(), "LANGUAGE").value_or(0), 2052u);
    EXPECT_GT(w->Store().WriteCount(), writes);
    QAction* exitAction = w->TrayMenu()->findChild<QAction*>("exit");
    ASSERT_NE(exitAction, nullptr);
    EXPECT_EQ(exitAction->text(), QString::fromUtf8("退出"));
}

TEST_F(MainWndTest, ClosebtnHidesToTheTrayAndKeepsRunning) {
    auto w = Make();
    bool ended = false;
    QObject::connect(w.get(), &MainWnd::shutDown, [&] { ended = true; });
    ASSERT_TRUE(w->RaiseByName("closebtn", "click"));
    EXPECT_FALSE(w->isVisible());
    EXPECT_FALSE(w->Destroyed());
    EXPECT_FALSE(ended);
    // The tray icon brings it back.
    w->OnTrayLeftClick();
    EXPECT_TRUE(w->isVisible());
    w->OnTrayLeftClick();
    EXPECT_FALSE(w->isVisible());
}

TEST_F(MainWndTest, WithoutATrayClosebtnMinimises) {
    m_options.tray = ShellOptions::Tray::Absent;
    auto w = Make();
    ASSERT_TRUE(w->RaiseByName("closebtn", "click"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return w->isMinimized(); }, 1000));
    EXPECT_FALSE(w->Destroyed());
    // A second start still brings it back.
    w->OnInstanceMessage(0, 1);
    EXPECT_TRUE(w->isVisible());
    EXPECT_FALSE(w->isMinimized());
}

TEST_F(MainWndTest, TrayExitShutsDownAndJoinsTheWorkers) {
    auto w = Make();
    bool ended = false;
    QObject::connect(w.get(), &MainWnd::shutDown, [&] { ended = true; });
    std::vector<std::string> lines;
    SetDebugSink([&](const std::string& l) { lines.push_back(l); });
    w->TrayMenu()->findChild<QAction*>("exit")->trigger();
    SetDebugSink(nullptr);
    EXPECT_TRUE(ended);
    EXPECT_TRUE(w->Destroyed());
    EXPECT_FALSE(w->isVisible());
    auto has = [&](const std::string& s) { return std::find(lines.begin(), lines.end(), s) != lines.end(); };
    EXPECT_TRUE(has("退出测试"));
    EXPECT_TRUE(has("同步灯光线程设定退出"));
    EXPECT_TRUE(has("所有对象处于激发状态"));
}

TEST_F(MainWndTest, TheMenuAndTheButtonsOpenTheSecondaryWindowsOnceEach) {
    auto w = Make();
    w->TrayMenu()->findChild<QAction*>("about_menu")->trigger();
    QPointer<CAboutWnd> about = w->Windows().About();
    ASSERT_FALSE(about.isNull());
    EXPECT_TRUE(about->isVisible());
    w->TrayMenu()->findChild<QAction*>("about_menu")->trigger();
    EXPECT_EQ(w->Windows().About(), about.data()) << "a second open is ignored";
    about->close();

    w->TrayMenu()->findChild<QAction*>("setwnd_menu")->trigger();
    QPointer<CSetWnd> settings = w->Windows().Settings();
    ASSERT_FALSE(settings.isNull());
    EXPECT_TRUE(settings->isVisible());
    w->RaiseByName("setbtn", "click");
    EXPECT_EQ(w->Windows().Settings(), settings.data()) << "one settings window at a time";
    // No server in a fresh store: nothing is asked, and the window says so.
    EXPECT_EQ(settings->WindowStateValue(), CSetWnd::kNotConfigured);

    w->RaiseByName("skinbtn", "click");
    QPointer<CSkinFrame> skin = w->Windows().SkinPicker();
    ASSERT_FALSE(skin.isNull());
    w->RaiseByName("closebtn", "click");
    EXPECT_TRUE(QTest::qWaitFor([&] { return settings.isNull() && skin.isNull(); }, 2000))
        << "hiding the main window closes the secondary ones";
}

TEST_F(MainWndTest, APictureFromTheSkinPickerBecomesTheBackground) {
    auto w = Make();
    SkinChangedObserver::Instance().Broadcast({false, 0, QStringLiteral("backgrounds/teal.png")});
    EXPECT_EQ(w->Background().Picture(), "backgrounds/teal.png");
    EXPECT_TRUE(w->FindControl("root")->styleSheet().contains("teal.png"));
    SkinChangedObserver::Instance().Broadcast({true, 0xFF15302Cu, {}});
    EXPECT_EQ(w->Background().Color(), 0xFF15302Cu);
}

TEST_F(MainWndTest, LightingRequestsAndTheButton) {
    auto w = Make();
    m_page.live.clear();
    w->OnLightingRequest(0, 0);
    EXPECT_TRUE(w->LightingControl()) << "wParam 0 changes nothing";
    w->OnLightingRequest(1, 5);
    EXPECT_TRUE(w->LightingControl()) << "only 0 and 1 are meaningful";
    EXPECT_TRUE(m_page.live.empty());

    w->OnLightingRequest(1, 0);
    EXPECT_FALSE(w->LightingControl());
    ASSERT_EQ(m_page.live, std::vector<bool>{false});
    auto* status = qobject_cast<QAbstractButton*>(w->FindControl("control_light_status"));
    EXPECT_EQ(status->text(), QStringLiteral("Lighting: other programs"));

    w->RaiseByName("control_light_status", "click");
    EXPECT_TRUE(w->LightingControl());
    EXPECT_EQ(status->text(), QStringLiteral("Lighting: this program"));
    EXPECT_EQ(m_page.live.back(), true);
    // The caption follows the language; the Chinese one keeps the program's own texts.
    w->RequestLanguage(1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return w->LanguageSwitch().Current() == 1; }, 5000));
    EXPECT_EQ(status->text(), QString::fromUtf8("控制灯光"));
}

TEST_F(MainWndTest, SuspendStopsLiveLightingAndResumeFollowsLightingControl) {
    auto w = Make();
    m_page.live.clear();
    w->OnSuspend();
    EXPECT_EQ(m_page.live, std::vector<bool>{false});
    EXPECT_FALSE(w->Running());
    // Everything is ignored while asleep, the button included.
    w->RaiseByName("control_light_status", "click");
    w->OnLightingRequest(1, 0);
    EXPECT_TRUE(w->LightingControl());
    w->OnResume();
    EXPECT_EQ(m_page.live.back(), true);

    w->OnLightingRequest(1, 0);
    w->OnSuspend();
    w->OnResume();
    EXPECT_EQ(m_page.live.back(), false) << "after resume, streaming follows lighting control";
}

TEST_F(MainWndTest, ScalePolicyFollowsTheWorkArea) {
    auto w = Make();
    w->ApplyScaleForWorkArea(1920, 1040);
    EXPECT_EQ(w->Scale(), 144);
    EXPECT_EQ(w->size(), QSize(1500, 960));
    EXPECT_TRUE(w->isVisible()) << "a shown window stays shown";
    w->ApplyScaleForWorkArea(1366, 728);
    EXPECT_EQ(w->Scale(), 96);
    EXPECT_EQ(w->size(), QSize(1000, 640));
    w->hide();
    w->ApplyScaleForWorkArea(1920, 1040);
    EXPECT_FALSE(w->isVisible()) << "a hidden window stays hidden";
}

TEST_F(MainWndTest, NumberedClicksAreRoutedThroughTheWindow) {
    auto w = Make();
    int got = -1;
    w->Router().Add("click", NotifyRouter::Match::Prefix, "key_", [&](const UiNotify&, int n) { got = n; });
    QWidget* list = w->FindControl("device_select_layout");
    ASSERT_NE(list, nullptr);
    auto* key = new QPushButton(list);
    key->setObjectName("key_12");
    w->WireControl(key);
    key->click();
    EXPECT_EQ(got, 12);
}

TEST_F(MainWndTest, ServiceAnswerIsTheFullBlock) {
    auto w = Make();
    QList<int> block = w->ServiceAnswer();
    ASSERT_EQ(block.size(), 256);
    EXPECT_EQ(block.mid(0, 5), (QList<int>{2, 3, 0, 2, 4}));
    EXPECT_EQ(block.mid(8, 3), (QList<int>{0x0C45, 0x0820, 1}));
}
