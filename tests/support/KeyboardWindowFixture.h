// The main window with an emulated keyboard connected and its page filled: a private emulator
// folder, data folder and settings file, discovery against the emulator. Window-level tests derive
// from it with their own gtest base.
#pragma once

#include "app/MainWnd.h"
#include "panels/pages/BrindovaKeyboardDevice.h"
#include "support/TestSupport.h"
#include "tools/sim/SimDevice.h"

#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace nk7x::test {

template <class Base> class KeyboardWindowFixture : public Base {
  protected:
    // Starts the emulated keyboard, then the window, and waits for the keyboard's page filled.
    void OpenWindow() {
        ASSERT_TRUE(m_cfg.isValid());
        ASSERT_FALSE(m_sim.Path().empty());
        ::setenv("XDG_DATA_HOME", m_cfg.filePath("data").toLocal8Bit().constData(), 1);
        m_options.programFolder = QStringLiteral(NK7X_SOURCE_DIR);
        m_options.settingsPath = m_cfg.filePath("settings.ini");
        m_options.useBuses = m_useBuses;
        m_options.tray = ShellOptions::Tray::Present;

        SimOptions o;
        o.folder = m_sim.Path();
        o.name = "kbd1";
        m_device = std::make_unique<SimDevice>(o);
        ASSERT_EQ(m_device->Start(), 1) << m_device->LastError();

        m_window = std::make_unique<MainWnd>(m_options);
        m_window->Create();
        ASSERT_TRUE(QTest::qWaitFor([&] { return m_window->isVisible(); }, 5000));
        m_page = qobject_cast<CBrindovaKeyboardDevice*>(m_window->Devices().Page(0));
        ASSERT_NE(m_page, nullptr);
        ASSERT_TRUE(QTest::qWaitFor([&] { return m_page->ConnectsDone() >= 1; }, 5000))
            << "the page is filled";
    }
    void CloseWindow() {
        m_window.reset();
        m_device.reset();
        ::unsetenv("XDG_DATA_HOME");
    }
    // Raises a control's notification as the control itself would.
    void Raise(const char* name, const char* type, qint64 value) {
        ASSERT_TRUE(m_window->RaiseByName(QString::fromLatin1(name), QString::fromLatin1(type), value))
            << name;
    }

    QTemporaryDir m_cfg;
    TempSimFolder m_sim;
    bool m_useBuses = false; // the session service (set before OpenWindow, with a bus of the test's own)
    ShellOptions m_options;
    std::unique_ptr<SimDevice> m_device;
    std::unique_ptr<MainWnd> m_window;
    CBrindovaKeyboardDevice* m_page = nullptr;
};

} // namespace nk7x::test
