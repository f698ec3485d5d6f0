// The main window's device pages against the emulated keyboard: the page appears and is filled on
// connect, goes on unplug, comes back on replug, ignores a second keyboard, and tells the user when
// the keyboard cannot be opened.
#include "app/DeviceHost.h"
#include "app/MainWnd.h"
#include "panels/DeviceOptionUI.h"
#include "panels/light/LightControlUI.h"
#include "panels/pages/BrindovaKeyboardDevice.h"
#include "panels/profile/DeviceProfileUI.h"
#include "support/TestSupport.h"
#include "tools/sim/SimDevice.h"
#include "ui/controls/DeviceKeyButtonUI.h"

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QLabel>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <thread>

using namespace nk7x;

namespace {

SimOptions Keyboard(const std::string& folder, const char* name) {
    SimOptions o;
    o.folder = folder;
    o.name = name;
    return o;
}

class PageHostTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_cfg.isValid());
        ASSERT_FALSE(m_sim.Path().empty());
        ::setenv("XDG_DATA_HOME", m_cfg.filePath("data").toLocal8Bit().constData(), 1);
        m_options.programFolder = QStringLiteral(NK7X_SOURCE_DIR);
        m_options.settingsPath = m_cfg.filePath("settings.ini");
        m_options.useBuses = false;
        m_options.tray = ShellOptions::Tray::Present;
    }
    void TearDown() override { ::unsetenv("XDG_DATA_HOME"); }

    std::unique_ptr<MainWnd> Make() {
        auto w = std::make_unique<MainWnd>(m_options);
        w->Create();
        EXPECT_TRUE(QTest::qWaitFor([&] { return w->isVisible(); }, 5000));
        return w;
    }
    // Waits until the keyboard page has been filled `n` times since it was made.
    static bool WaitFilled(CBrindovaKeyboardDevice* page, int n, int ms = 5000) {
        return page && QTest::qWaitFor([&] { return page->ConnectsDone() >= n; }, ms);
    }
    static CBrindovaKeyboardDevice* KeyboardPage(MainWnd& w) {
        return qobject_cast<CBrindovaKeyboardDevice*>(w.Devices().Page(0));
    }
    static QWidget* Placeholder(MainWnd& w) { return w.FindControl("No_device_Link"); }

    QTemporaryDir m_cfg;
    test::TempSimFolder m_sim;
    ShellOptions m_options;
};

} // namespace

TEST_F(PageHostTest, OnlyTheKeyboardHasAPlaceAndItsPageIsBuiltWhenItComes) {
    auto w = Make();
    ASSERT_EQ(w->Devices().PageCount(), 1) << "only the keyboard's option row has interface rows";
    // No keyboard yet: no page, entry or picture is held, and the placeholder shows.
    EXPECT_EQ(KeyboardPage(*w), nullptr);
    EXPECT_EQ(w->Devices().Entry(0), nullptr);
    EXPECT_EQ(w->FindControl("key_panel_picture"), nullptr);
    EXPECT_TRUE(Placeholder(*w)->isVisible());
    EXPECT_EQ(w->Devices().CurrentPage(), nullptr);

    SimDevice sim(Keyboard(m_sim.Path(), "kbd1"));
    ASSERT_EQ(sim.Start(), 1) << sim.LastError();
    ASSERT_TRUE(QTest::qWaitFor([&] { return KeyboardPage(*w) != nullptr; }, 5000));
    CBrindovaKeyboardDevice* page = KeyboardPage(*w);
    EXPECT_EQ(page->Device().KindName(), "keyboard");
    EXPECT_EQ(page->Device().KeyCount(), 126);
    EXPECT_EQ(page->Device().Kind(), DeviceKind::Keyboard);
    EXPECT_EQ(page->ListEntry(), w->Devices().Entry(0));
    ASSERT_NE(page->ListEntry(), nullptr);
    EXPECT_EQ(page->ListEntry()->GetPage(), page);
    EXPECT_EQ(page->ListEntry()->GetPreviewControl(), page->KeyPanel());
    EXPECT_NE(page->Button(0), nullptr) << "the key picture is built";
    EXPECT_NE(page->KeyButton(125), nullptr);
    EXPECT_NE(page->ProfilePanel(), nullptr);
    EXPECT_NE(page->LightPanel(), nullptr);
    EXPECT_EQ(page->Device().ProfileName(), page->ProfilePanel()->GetSelectedUUID());
    ASSERT_TRUE(WaitFilled(page, 1));
    EXPECT_TRUE(page->ListEntry()->IsShown());
    EXPECT_FALSE(Placeholder(*w)->isVisible());
    // Built after the window's language was applied, the page speaks it all the same.
    auto* tab = qobject_cast<QAbstractButton*>(w->FindControl("deng_Op_tab"));
    ASSERT_NE(tab, nullptr);
    EXPECT_FALSE(tab->text().isEmpty());
    EXPECT_EQ(tab->text(), w->Texts().Text(tab->property("textKey").toString()));
}

TEST_F(PageHostTest, ConnectShowsTheEntryAndFillsThePage) {
    SimDevice sim(Keyboard(m_sim.Path(), "kbd1"));
    ASSERT_EQ(sim.Start(), 1) << sim.LastError();
    auto w = Make();
    CBrindovaKeyboardDevice* page = KeyboardPage(*w);
    ASSERT_TRUE(WaitFilled(page, 1));
    CDeviceOptionUI* entry = page->ListEntry();
    EXPECT_TRUE(entry->IsShown());
    EXPECT_TRUE(entry->IsEntrySelected()) << "the first visible entry is selected";
    EXPECT_EQ(w->Devices().CurrentPage(), page);
    EXPECT_FALSE(Placeholder(*w)->isVisible());
    auto* pages = qobject_cast<QStackedWidget*>(w->FindControl("device_switch"));
    ASSERT_NE(pages, nullptr);
    EXPECT_EQ(pages->currentWidget(), page);
    EXPECT_TRUE(page->Device().Link().IsOpen());
    EXPECT_TRUE(QTest::qWaitFor([&] { return page->Device().NotificationLink().IsOpen(); }, 2000))
        << "the notification interface is opened too";
    EXPECT_EQ(page->Keyboard().DeviceKeyCount(), 126) << "the key layout was read";

    // Key captions: the factory name of Esc as tooltip, the key-set image hidden for own codes.
    const QString esc = w->Texts().Text("keyboard_key_Esc");
    ASSERT_NE(page->Button(0), nullptr);
    EXPECT_TRUE(page->Button(0)->toolTip().contains(esc)) << page->Button(0)->toolTip().toStdString();
    EXPECT_TRUE(page->Button(0)->toolTip().contains(w->Texts().Text("Key_Set")));
    EXPECT_TRUE(page->Button(0)->IsKeySetImageHidden());

    // The settings controls show the profile's system settings.
    const KeyboardSettingsControls c = page->Keyboard().SettingsControls();
    for (int i = 0; i < 4; ++i) {
        auto* option = qobject_cast<QAbstractButton*>(
            UiWindow::FindSubControlByName(page, QStringLiteral("polling_rate_option_%1").arg(i)));
        ASSERT_NE(option, nullptr) << i;
        EXPECT_EQ(option->isChecked(), i == c.pollingOption) << i;
    }
    auto* delay = qobject_cast<QLabel*>(UiWindow::FindSubControlByName(page, "repeat_delay_time_label1"));
    ASSERT_NE(delay, nullptr);
    EXPECT_TRUE(delay->text().contains(QString::number(c.repeatDelayMs))) << delay->text().toStdString();
    // The lighting panel shows the page's light settings; one device alone cannot share its effect.
    EXPECT_EQ(page->LightPanel()->GetMode(), page->Device().GetLightSettings().mode);
    EXPECT_FALSE(page->LightPanel()->SameModeAvailable());

    // Another language reaches the captions at once.
    const QString english = w->Texts().Text("Key_Set");
    w->LanguageSwitch().ApplyLanguage(1);
    const QString chinese = w->Texts().Text("Key_Set");
    ASSERT_NE(chinese, english);
    EXPECT_TRUE(page->Button(0)->toolTip().contains(chinese)) << page->Button(0)->toolTip().toStdString();
}

TEST_F(PageHostTest, UnplugHidesThePageQuicklyAndReplugReopensTheSamePage) {
    SimDevice sim(Keyboard(m_sim.Path(), "kbd1"));
    ASSERT_EQ(sim.Start(), 1) << sim.LastError();
    auto w = Make();
    CBrindovaKeyboardDevice* page = KeyboardPage(*w);
    ASSERT_TRUE(WaitFilled(page, 1));
    CDeviceOptionUI* entry = page->ListEntry();
    page->Device().Link().SetBackgroundPause(true);

    QElapsedTimer t;
    t.start();
    sim.Unplug();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !entry->IsShown(); }, 2000));
    const qint64 seen = t.elapsed();
    std::printf("removal seen after %lld ms\n", static_cast<long long>(seen));
    EXPECT_LT(seen, 500) << "one presence check every 100 ms";
    EXPECT_TRUE(Placeholder(*w)->isVisible());
    EXPECT_FALSE(page->Device().Link().IsOpen());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !page->Device().NotificationLink().IsOpen(); }, 1000));
    EXPECT_FALSE(page->Device().KeyEventThreadRunning());
    EXPECT_FALSE(page->Keyboard().LightThreadRunning()) << "the preview ends with the connection";
    EXPECT_EQ(w->Devices().CurrentPage(), nullptr);
    EXPECT_FALSE(page->Device().Link().BackgroundPause()) << "alone, no device mirrors another";

    ASSERT_EQ(sim.Start(), 1) << sim.LastError();
    ASSERT_TRUE(WaitFilled(page, 2)) << "the same page is connected and filled again";
    EXPECT_EQ(w->Devices().PageCount(), 1);
    EXPECT_EQ(KeyboardPage(*w), page);
    EXPECT_TRUE(entry->IsShown());
    EXPECT_TRUE(page->Device().Link().IsOpen());
    EXPECT_TRUE(page->Keyboard().LightThreadRunning());
    EXPECT_FALSE(Placeholder(*w)->isVisible());
    EXPECT_EQ(w->Devices().CurrentPage(), page);
}

TEST_F(PageHostTest, ASecondKeyboardIsIgnoredUntilTheFirstGoes) {
    SimDevice first(Keyboard(m_sim.Path(), "kbd1"));
    ASSERT_EQ(first.Start(), 1) << first.LastError();
    auto w = Make();
    CBrindovaKeyboardDevice* page = KeyboardPage(*w);
    ASSERT_TRUE(WaitFilled(page, 1));
    SimDevice second(Keyboard(m_sim.Path(), "kbd2"));
    ASSERT_EQ(second.Start(), 1) << second.LastError();
    QTest::qWait(400); // several discovery passes
    EXPECT_EQ(w->Devices().PageCount(), 1);
    EXPECT_EQ(w->Devices().VisibleEntryCount(), 1);
    EXPECT_EQ(page->ConnectsDone(), 1);
    EXPECT_NE(page->Device().GetIdentity().path.find("kbd1"), std::string::npos);
    EXPECT_EQ(second.ConnectionCount(), 0) << "the second keyboard is never opened";

    // With the first gone, its slots are free and the other keyboard takes them.
    first.Unplug();
    ASSERT_TRUE(WaitFilled(page, 2));
    EXPECT_NE(page->Device().GetIdentity().path.find("kbd2"), std::string::npos);
    EXPECT_TRUE(page->ListEntry()->IsShown());
}

TEST_F(PageHostTest, AKeyboardThatCannotBeOpenedShowsTheUdevCommand) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root opens every socket; the permission check cannot fail";
    SimDevice sim(Keyboard(m_sim.Path(), "kbd1"));
    ASSERT_EQ(sim.Start(), 1) << sim.LastError();
    ASSERT_EQ(::chmod(sim.SocketPath().c_str(), 0), 0);
    auto w = Make();
    ASSERT_TRUE(QTest::qWaitFor([&] { return w->Devices().AccessDeniedShown(); }, 3000));
    auto* title = qobject_cast<QLabel*>(w->FindControl("nodevice_title"));
    auto* command = qobject_cast<QLabel*>(w->FindControl("nodevice_command"));
    ASSERT_NE(title, nullptr);
    ASSERT_NE(command, nullptr);
    EXPECT_EQ(title->text(), w->Texts().Text("nodevice_access_title_text"));
    EXPECT_TRUE(command->isVisible());
    EXPECT_TRUE(command->text().contains("70-nk7x.rules"));
    EXPECT_FALSE(KeyboardPage(*w)->ListEntry()->IsShown());
}

TEST_F(PageHostTest, AccessNoticeFollowsTheDeniedListAndTheLanguage) {
    auto w = Make();
    auto* title = qobject_cast<QLabel*>(w->FindControl("nodevice_title"));
    auto* hint = qobject_cast<QLabel*>(w->FindControl("nodevice_hint"));
    auto* command = qobject_cast<QLabel*>(w->FindControl("nodevice_command"));
    ASSERT_TRUE(title && hint && command);
    const QString plainTitle = title->text();
    EXPECT_FALSE(command->isVisible());

    DeviceSlot denied = InterfaceTable()[0];
    denied.path = "hid#vid_0c45&pid_0820&mi_01&col04#/dev/hidraw9";
    w->Devices().ShowAccessDenied({denied});
    EXPECT_TRUE(w->Devices().AccessDeniedShown());
    EXPECT_EQ(title->text(), w->Texts().Text("nodevice_access_title_text"));
    EXPECT_EQ(hint->text(), w->Texts().Text("nodevice_access_hint_text"));
    EXPECT_TRUE(command->isVisible());
    EXPECT_TRUE(command->text().contains("udevadm control --reload"));

    // A language switch keeps the notice, in the new language.
    w->LanguageSwitch().ApplyLanguage(1);
    EXPECT_EQ(title->text(), w->Texts().Text("nodevice_access_title_text"));
    EXPECT_NE(title->text(), "nodevice_access_title_text") << "the Chinese file has the key";

    w->Devices().ShowAccessDenied({});
    EXPECT_FALSE(w->Devices().AccessDeniedShown());
    EXPECT_EQ(title->text(), w->Texts().Text("nodevice_title_text"));
    EXPECT_FALSE(command->isVisible());
    w->LanguageSwitch().ApplyLanguage(0);
    EXPECT_EQ(title->text(), plainTitle);
}

TEST_F(PageHostTest, ShuttingDownReleasesADiscoveryCallThatWaitsForTheWindow) {
    // The window's thread is busy (here: this test) while discovery waits for it; beginning to shut
    // down must let discovery go, or joining it would never end.
    DeviceHost host(DeviceHostContext{});
    std::atomic<bool> returned{false};
    DeviceSlot slot = InterfaceTable()[0];
    std::thread discovery([&] {
        host.OnConnect(0, slot);
        returned = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(returned.load()) << "the call waits for the window's thread";
    host.BeginShutdown();
    discovery.join();
    EXPECT_TRUE(returned.load());
    QTest::qWait(10); // the queued call, delivered now, does nothing
}

TEST_F(PageHostTest, ClosingWithAKeyboardConnectedIsPrompt) {
    SimDevice sim(Keyboard(m_sim.Path(), "kbd1"));
    ASSERT_EQ(sim.Start(), 1) << sim.LastError();
    test::DebugCapture log;
    auto w = Make();
    ASSERT_TRUE(WaitFilled(KeyboardPage(*w), 1));
    QElapsedTimer t;
    t.start();
    w->close();
    EXPECT_TRUE(w->Destroyed());
    EXPECT_LT(t.elapsed(), 1500);
    EXPECT_TRUE(log.Has("抓取设备线程设定退出"));
    EXPECT_TRUE(log.Has("所有对象处于激发状态\n") || log.Has("所有对象处于激发状态"));
    EXPECT_FALSE(KeyboardPage(*w)->Device().Link().IsOpen());
    EXPECT_FALSE(KeyboardPage(*w)->Device().KeyEventThreadRunning());
    EXPECT_FALSE(KeyboardPage(*w)->Keyboard().LightThreadRunning());
}

TEST_F(PageHostTest, AScanThatCannotListStillShowsTheWindow) {
    // The window waits for discovery's first pass; a pass whose listing fails counts, so the window
    // is shown, with the placeholder, instead of staying away.
    struct Refusing : IInterfaceProbe {
        int EnumeratePaths(std::vector<std::string>&) override { return 0; }
        HidOpenError OpenProbe(const std::string&, ProbedInterface&) override {
            return HidOpenError::NotFound;
        }
        void CloseProbe() override {}
        bool IsPresent(const std::string&) override { return false; }
    };
    m_options.makeProbe = [] { return std::make_unique<Refusing>(); };
    auto w = std::make_unique<MainWnd>(m_options);
    QElapsedTimer t;
    t.start();
    w->Create();
    ASSERT_TRUE(QTest::qWaitFor([&] { return w->isVisible(); }, 3000));
    EXPECT_LT(t.elapsed(), 2000);
    EXPECT_TRUE(Placeholder(*w)->isVisible());
    EXPECT_EQ(w->Devices().VisibleEntryCount(), 0);
    EXPECT_EQ(KeyboardPage(*w), nullptr) << "no keyboard came";
}

TEST_F(PageHostTest, TheHintAboutPaintingKeysShowsInTheCustomModeOnly) {
    SimDevice sim(Keyboard(m_sim.Path(), "kbd1"));
    ASSERT_EQ(sim.Start(), 1) << sim.LastError();
    auto w = Make();
    CBrindovaKeyboardDevice* page = KeyboardPage(*w);
    ASSERT_TRUE(WaitFilled(page, 1));
    auto* hint = page->findChild<QLabel*>(QStringLiteral("keyboard_hint_light"));
    ASSERT_NE(hint, nullptr);
    auto choose = [&](int mode) {
        ASSERT_TRUE(w->RaiseByName("light_combo_modeSelect", "itemselect", mode));
        ASSERT_EQ(page->Keyboard().GetLightSettings().mode, mode);
    };
    choose(6); // static
    EXPECT_TRUE(hint->text().isEmpty());
    choose(19); // custom colours
    EXPECT_FALSE(hint->text().isEmpty());
    EXPECT_TRUE(hint->text().contains(QStringLiteral("click a key"), Qt::CaseInsensitive))
        << hint->text().toStdString();
    // A language change keeps the line in step with the mode.
    w->ReloadText(w->Texts());
    EXPECT_FALSE(hint->text().isEmpty());
    choose(1); // wave
    w->ReloadText(w->Texts());
    EXPECT_TRUE(hint->text().isEmpty());
}

// The key picture animates while the window is in front or under the pointer. Behind other windows
// the effect's thread rests and the picture is not repainted; in front again both go on.
TEST_F(PageHostTest, TheKeyPictureRestsBehindOtherWindowsAndGoesOnInFront) {
    SimDevice sim(Keyboard(m_sim.Path(), "kbd1"));
    ASSERT_EQ(sim.Start(), 1) << sim.LastError();
    auto w = Make();
    CBrindovaKeyboardDevice* page = KeyboardPage(*w);
    ASSERT_TRUE(WaitFilled(page, 1));
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    QWidget* picture = w->FindControl("key_panel_picture");
    ASSERT_NE(picture, nullptr);
    ASSERT_TRUE(picture->isVisible()) << "the picture covers the keys";
    struct PaintCounter : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* e) override {
            paints += e->type() == QEvent::Paint;
            return false;
        }
    } counter;
    picture->installEventFilter(&counter);
    // The page's effect animates: the picture repaints while the window is in front.
    ASSERT_TRUE(QTest::qWaitFor([&] { return counter.paints >= 3; }, 3000)) << "the effect animates";
    EXPECT_TRUE(page->Keyboard().PreviewWatched());

    QWidget other;
    other.resize(200, 100);
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    ASSERT_FALSE(page->Device().IsPreview());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !page->Keyboard().PreviewWatched(); }, 1000))
        << "the effect's thread rests behind another window";
    QTest::qWait(120); // a repaint already asked for is let through
    counter.paints = 0;
    QTest::qWait(400);
    EXPECT_EQ(counter.paints, 0) << "behind another window the picture is not repainted";

    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    EXPECT_TRUE(QTest::qWaitFor([&] { return page->Keyboard().PreviewWatched(); }, 1000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return counter.paints >= 3; }, 3000)) << "in front again it animates";
    picture->removeEventFilter(&counter);
}
