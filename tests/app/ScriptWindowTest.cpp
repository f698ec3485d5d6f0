// What a script changes shows at once in the open window: nk7x-cli, a client of its own, goes
// through the window's interface on a session bus of the test's own.
#include "panels/light/LightControlUI.h"
#include "panels/profile/DeviceProfileUI.h"
#include "support/KeyboardWindowFixture.h"
#include "support/PrivateBus.h"

#include <QProcess>
#include <QTest>

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
