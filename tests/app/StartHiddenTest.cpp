// Starting in the tray (--hidden): neither the start-up scan nor the keyboard it finds shows the
// window; a second start or a keyboard plugged in afterwards does, and without a tray the window
// shows as on a normal start.
#include "app/MainWnd.h"
#include "panels/DeviceOptionUI.h"
#include "panels/pages/BrindovaKeyboardDevice.h"
#include "support/TestSupport.h"
#include "tools/sim/SimDevice.h"

#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

using namespace nk7x;

namespace {

class MainWndStartHidden : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_cfg.isValid());
        ::setenv("XDG_DATA_HOME", m_cfg.filePath("data").toLocal8Bit().constData(), 1);
        m_options.programFolder = QStringLiteral(NK7X_SOURCE_DIR);
        m_options.settingsPath = m_cfg.filePath("settings.ini");
        m_options.useBuses = false;
        m_options.startHidden = true;
        SimOptions o;
        o.folder = m_sim.Path();
        o.name = "kbd1";
        m_device = std::make_unique<SimDevice>(o);
        ASSERT_EQ(m_device->Start(), 1) << m_device->LastError();
    }
    void TearDown() override {
        m_window.reset();
        m_device.reset();
        ::unsetenv("XDG_DATA_HOME");
    }
    // Creates the window and waits until the keyboard found by the start-up scan has its page
    // filled, which comes after the scan's end has been handled.
    void StartAndWaitForTheKeyboard() {
        m_window = std::make_unique<MainWnd>(m_options);
        m_window->Create();
        // The page is built when the scan finds the keyboard.
        ASSERT_TRUE(QTest::qWaitFor([&] { return m_window->Devices().Page(0) != nullptr; }, 10000));
        auto* page = qobject_cast<CBrindovaKeyboardDevice*>(m_window->Devices().Page(0));
        ASSERT_NE(page, nullptr);
        ASSERT_TRUE(QTest::qWaitFor([&] { return page->ConnectsDone() >= 1; }, 10000))
            << "the page is filled";
        ASSERT_TRUE(m_window->Started());
    }

    QTemporaryDir m_cfg;
    test::TempSimFolder m_sim;
    ShellOptions m_options;
    std::unique_ptr<SimDevice> m_device;
    std::unique_ptr<MainWnd> m_window;
};

} // namespace

TEST_F(MainWndStartHidden, TheStartUpScanAndItsKeyboardLeaveTheWindowInTheTray) {
    m_options.tray = ShellOptions::Tray::Present;
    StartAndWaitForTheKeyboard();
    EXPECT_FALSE(m_window->isVisible());

    // A second start of the program asks for the window.
    m_window->OnInstanceMessage(0, 1);
    EXPECT_TRUE(m_window->isVisible());
}

TEST_F(MainWndStartHidden, AKeyboardPluggedInAfterTheStartShowsTheWindow) {
    m_options.tray = ShellOptions::Tray::Present;
    StartAndWaitForTheKeyboard();
    ASSERT_FALSE(m_window->isVisible());
    auto* page = qobject_cast<CBrindovaKeyboardDevice*>(m_window->Devices().Page(0));
    const int connects = page->ConnectsDone();
    m_device->Unplug();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !page->ListEntry()->IsShown(); }, 10000))
        << "the removal is seen";
    EXPECT_FALSE(m_window->isVisible()) << "a removal does not show the window";
    ASSERT_EQ(m_device->Start(), 1) << m_device->LastError();
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_window->isVisible(); }, 10000))
        << "once started, a plugged-in device brings the window to the front as usual";
    EXPECT_TRUE(QTest::qWaitFor([&] { return page->ConnectsDone() > connects; }, 10000));
}

TEST_F(MainWndStartHidden, WithoutATrayTheWindowShows) {
    m_options.tray = ShellOptions::Tray::Absent;
    m_window = std::make_unique<MainWnd>(m_options);
    m_window->Create();
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_window->isVisible(); }, 10000))
        << "a window that cannot be found again in a tray is not hidden";
}
