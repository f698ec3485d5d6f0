// What a script changes shows at once in the open window: nk7x-cli, a client of its own, goes
// through the window's interface on a session bus of the test's own.
#include "devices/keyboard/KeyboardDevice.h"
#include "panels/light/LightControlUI.h"
#include "panels/profile/DeviceProfileUI.h"
#include "support/KeyboardWindowFixture.h"
#include "support/PrivateBus.h"

#include <QProcess>
#include <QStandardPaths>

#include <QTest>
#include <string_view>

#include <gtest/gtest.h>

using namespace nk7x;
using namespace nk7x::test;

namespace {

class ScriptWindowTest : public KeyboardWindowFixture<::testing::Test> {
  protected:
    void SetUp() override {
        if (m_bus.Address().isEmpty())
            GTEST_SKIP() << "dbus-daemon is not installed";
        m_useBuses = true;
        OpenWindow();
        ASSERT_TRUE(QTest::qWaitFor([&] { return m_device->ConnectionCount() >= 1; }, 5000));
    }
    void TearDown() override { CloseWindow(); }

    // Runs nk7x-cli while the window goes on answering; its exit code.
    int Cli(const QStringList& args) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("NK7X_SIM_DIR", QString::fromStdString(m_sim.Path()));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(NK7X_BINARY_DIR "/bin/nk7x-cli"), args);
        EXPECT_TRUE(QTest::qWaitFor([&] { return p.state() == QProcess::NotRunning; }, 15000));
        m_said = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError()).toStdString();
        return p.exitCode();
    }

    PrivateBus m_bus;
    ScopedEnv m_session{"DBUS_SESSION_BUS_ADDRESS", m_bus.Address().toStdString()};
    ScopedEnv m_system{"DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/system_bus"};
    std::string m_said;
};

} // namespace

TEST_F(ScriptWindowTest, ACommandLineChangeShowsInTheOpenWindow) {
    ASSERT_EQ(Cli({"light", "static", "--color", "FF8000", "--brightness", "2"}), 0) << m_said;
    CLightControlUI* light = m_page->LightPanel();
    ASSERT_NE(light, nullptr);
    EXPECT_EQ(light->GetMode(), 6) << "static";
    EXPECT_EQ(light->GetBrightness(), 2);
    EXPECT_EQ(light->GetRedText(), "255");
    EXPECT_EQ(light->GetGreenText(), "128");
    EXPECT_EQ(light->GetBlueText(), "0");

    ASSERT_EQ(Cli({"profile", "add", "Evening"}), 0) << m_said;
    ASSERT_EQ(Cli({"profile", "use", "evening"}), 0) << m_said;
    CDeviceProfileUI* profile = m_page->ProfilePanel();
    ASSERT_NE(profile, nullptr);
    EXPECT_EQ(profile->GetNameText(), "Evening") << "the panel shows the profile in use";
    EXPECT_EQ(profile->List().Names().back(), "Evening");
    EXPECT_NE(light->GetMode(), 6) << "the new profile's lighting, the default one, is shown";
}

// Keys painted by a script (gdbus here, a client of its own): the keyboard goes to its custom mode as
// the panel's choice would take it there, the colours go into the profile's current group and the
// keyboard's lighting page holds them at the keys' LEDs.
TEST_F(ScriptWindowTest, AScriptPaintsKeysInTheCustomMode) {
    QProcess gdbus;
    const auto call = [&](const QStringList& args) {
        gdbus.start("gdbus", QStringList{"call", "--session", "--dest", "com.NorlaKeys.NK7X", "--object-path",
                                         "/com/NorlaKeys/NK7X", "--method"} +
                                 args);
        EXPECT_TRUE(QTest::qWaitFor([&] { return gdbus.state() == QProcess::NotRunning; }, 15000));
        return QString::fromUtf8(gdbus.readAllStandardOutput() + gdbus.readAllStandardError()).trimmed();
    };
    if (QStandardPaths::findExecutable("gdbus").isEmpty())
        GTEST_SKIP() << "gdbus is not installed";
    const QString names = call({"com.NorlaKeys.NK7X.Control1.KeyNames", "keyboard"});
    EXPECT_TRUE(names.contains("'esc'") && names.contains("'print-scr'")) << names.toStdString();

    const QString painted =
        call({"com.NorlaKeys.NK7X.Control1.SetKeyColours", "keyboard", "{'esc': 'FF0000', 'a': '#00FF00'}"});
    EXPECT_EQ(painted, "()");
    CKeyboardDevice& keyboard = m_page->Keyboard();
    EXPECT_EQ(keyboard.GetLightSettings().mode, 19);
    EXPECT_EQ(m_page->LightPanel()->GetMode(), 19) << "the panel shows the custom mode";
    const int group = keyboard.Profile().GetCustomGroup();
    const std::vector<CustomColor> stored = keyboard.Profile().GetCustomColors(group, kKeyboardKeyCount);
    size_t a = 0;
    while (a < DefaultKeyCodeTable.size() &&
           std::string_view(DefaultKeyCodeTable[a].label ? DefaultKeyCodeTable[a].label : "") != "A")
        ++a;
    ASSERT_GT(stored.size(), a);
    EXPECT_EQ(std::vector<int>({stored[0].red, stored[0].green, stored[0].blue}),
              (std::vector<int>{255, 0, 0}));
    EXPECT_EQ(std::vector<int>({stored[a].red, stored[a].green, stored[a].blue}),
              (std::vector<int>{0, 255, 0}));
    // The page reaches the keyboard: red at Esc's LED, green at A's.
    const uint8_t escLed = keyboard.KeyLed(0);
    const uint8_t aLed = keyboard.KeyLed(static_cast<int>(a));
    ASSERT_NE(escLed, kKeyNotFound);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const std::vector<uint8_t> page = m_device->LightingPage(group);
            return page.size() > 3u * aLed + 2 && page[3u * escLed] > 0 && page[3u * aLed + 1] > 0;
        },
        5000));
    const std::vector<uint8_t> page = m_device->LightingPage(group);
    EXPECT_EQ(page[3u * escLed + 1], 0);
    EXPECT_EQ(page[3u * aLed], 0);

    // A key the keyboard lacks refuses the whole call.
    const QString refused = call(
        {"com.NorlaKeys.NK7X.Control1.SetKeyColours", "keyboard", "{'esc': '0000FF', 'turbo': 'FF0000'}"});
    EXPECT_TRUE(refused.contains("no key \"turbo\"")) << refused.toStdString();
    EXPECT_EQ(keyboard.Profile().GetCustomColors(group, kKeyboardKeyCount)[0].red, 255);
}
