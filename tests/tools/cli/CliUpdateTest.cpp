// nk7x-cli check-updates end to end: the built program against an emulated keyboard and a real
// update server on the loopback interface.
#include <unistd.h>

#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include <json/reader.h>
#include <json/value.h>

#include "link/LinkTestSupport.h"
#include "platform/SettingsStore.h"
#include "tools/sim/SimDevice.h"
#include "update/AppVersion.h"
#include "update/TestHttpServer.h"
#include "update/UpdateServer.h"

using namespace nk7x;
using namespace nk7x::test;

namespace {

const std::string kKeyboardKey = "TAVRO_1_QX20M31B_Norla Keys NK-7X_1";

TestHttpServer::Handler KeyboardHasAnUpdate() {
    return [](const TestHttpServer::Request& request) {
        const bool keyboard = request.body.starts_with("app_key=" + kKeyboardKey + "&version=105");
        return TestHttpServer::Reply{TestHttpServer::Action::Answer,
                                     TestHttpServer::Answer(200, keyboard
                                                                     ? R"({"name":"NK-7X","version":"0106"})"
                                                                     : R"({"name":"App","version":"0"})")};
    };
}

class CliUpdateTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (::access(CliBinary().c_str(), X_OK) != 0)
            GTEST_SKIP() << "nk7x-cli is not built: " << CliBinary();
        KeepLoopbackOffProxies();
        // The tool reads a stored server address from the user's settings: keep the user's own out.
        m_config = m_folder.Path() + "/config";
        ::setenv("XDG_CONFIG_HOME", m_config.c_str(), 1);
        SimOptions options;
        options.folder = m_folder.Path();
        options.version = 0x0105;
        m_sim = std::make_unique<SimDevice>(options);
        ASSERT_EQ(m_sim->Start(), 1) << m_sim->LastError();
    }
    void TearDown() override {
        if (m_sim)
            m_sim->Stop();
        ::unsetenv("XDG_CONFIG_HOME");
    }
    CliResult Run(const std::vector<std::string>& args) { return RunCli(args, m_folder.Path()); }

    TempSimFolder m_folder;
    std::string m_config;
    std::unique_ptr<SimDevice> m_sim;
};

std::string AppVersionText() {
    return "V" + std::to_string(ApplicationVersionNumber());
}

} // namespace

TEST_F(CliUpdateTest, PlainOutputListsEveryProductAndTheResult) {
    TestHttpServer server(KeyboardHasAnUpdate());
    ASSERT_TRUE(server.Started());
    const CliResult r = Run({"check-updates", "--server", server.Origin() + "/api/"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "Norla Keys NK-7X: installed V0105, newest V0106, update available\n"
                     "Norla Keys NK-7X: installed " +
                         AppVersionText() +
                         ", newest -, up to date\n"
                         "result: available\n");
    EXPECT_EQ(server.RequestCount(), 2);
}

TEST_F(CliUpdateTest, JsonOutput) {
    TestHttpServer server(KeyboardHasAnUpdate());
    ASSERT_TRUE(server.Started());
    const CliResult r = Run({"--json", "check-updates", "--server", server.Origin() + "/api/"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    Json::Value doc;
    std::istringstream in(r.out);
    std::string errors;
    ASSERT_TRUE(Json::parseFromStream(Json::CharReaderBuilder(), in, &doc, &errors)) << errors << r.out;
    EXPECT_EQ(doc["result"].asString(), "available");
    ASSERT_EQ(doc["products"].size(), 2u);
    const Json::Value& kb = doc["products"][0];
    EXPECT_EQ(kb["name"].asString(), "Norla Keys NK-7X");
    EXPECT_EQ(kb["installed"].asString(), "V0105");
    EXPECT_EQ(kb["newest"].asString(), "V0106");
    EXPECT_EQ(kb["status"].asInt(), 1);
    EXPECT_EQ(doc["products"][1]["installed"].asString(), AppVersionText());
    EXPECT_EQ(doc["products"][1]["status"].asInt(), 7);
}

// What a server says is shown, never obeyed: an escape sequence in its version name reaches the
// terminal as plain characters.
TEST_F(CliUpdateTest, ServerTextCannotDriveTheTerminal) {
    TestHttpServer server([](const TestHttpServer::Request&) {
        return TestHttpServer::Reply{
            TestHttpServer::Action::Answer,
            TestHttpServer::Answer(200, R"({"name":"x\u001b]0;owned\u0007","version":"99999",)"
                                        R"("version_name":"\u001b[2J\u009b31mV9\r\nresult: up-to-date"})")};
    });
    ASSERT_TRUE(server.Started());
    const CliResult r = Run({"check-updates", "--server", server.Origin() + "/api/"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.find('\x1b'), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("\xc2\x9b"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find('\r'), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("owned"), std::string::npos) << "the server's name is not shown";
    EXPECT_NE(r.out.find("?[2J?31mV9??result: up-to-date"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\nresult: available\n"), std::string::npos) << r.out;
}

// An error page, a redirect without a body: no product line claims "up to date".
TEST_F(CliUpdateTest, AnswersThatSayNothingAreToldAsNoInformation) {
    TestHttpServer server([](const TestHttpServer::Request& request) {
        const bool keyboard = request.body.starts_with("app_key=" + kKeyboardKey);
        return TestHttpServer::Reply{TestHttpServer::Action::Answer,
                                     keyboard ? TestHttpServer::Answer(404, "<html>Not Found</html>")
                                              : TestHttpServer::Answer(301, "")};
    });
    ASSERT_TRUE(server.Started());
    const CliResult r = Run({"check-updates", "--server", server.Origin() + "/api/"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "Norla Keys NK-7X: installed V0105, no information from the server\n"
                     "Norla Keys NK-7X: installed " +
                         AppVersionText() +
                         ", no information from the server\n"
                         "result: no-information\n");
}

TEST_F(CliUpdateTest, UnreachableServerIsNoInformationAndStillSucceeds) {
    RefusingPort port;
    const CliResult r = Run(
        {"check-updates", "--json", "--server", "http://127.0.0.1:" + std::to_string(port.Port()) + "/api/"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("\"no-information\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"V0105\""), std::string::npos) << r.out;
}

TEST_F(CliUpdateTest, WithoutAServerNothingIsCheckedAndTheExitCodeIsOne) {
    const CliResult r = Run({"check-updates"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("no update server configured"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
    const CliResult bad = Run({"check-updates", "--server"});
    EXPECT_EQ(bad.exitCode, 2);
    const CliResult help = Run({"help"});
    EXPECT_NE(help.out.find("check-updates"), std::string::npos);
}

TEST(CliUpdateNoDevice, OnlyTheApplicationIsChecked) {
    if (::access(CliBinary().c_str(), X_OK) != 0)
        GTEST_SKIP() << "nk7x-cli is not built";
    TempSimFolder folder;
    TestHttpServer server(KeyboardHasAnUpdate());
    ASSERT_TRUE(server.Started());
    const CliResult r = RunCli({"check-updates", "--server", server.Origin() + "/api/"}, folder.Path());
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "Norla Keys NK-7X: installed " + AppVersionText() +
                         ", newest -, up to date\nresult: up-to-date\n");
    EXPECT_EQ(server.RequestCount(), 1);
}

TEST_F(CliUpdateTest, TheStoredServerIsAskedUnlessTheCommandLineNamesAnother) {
    TestHttpServer stored(KeyboardHasAnUpdate());
    ASSERT_TRUE(stored.Started());
    SettingsStore store(SettingsStore::DefaultPath());
    ASSERT_EQ(store.Path(), m_config + "/Norla Keys NK-7X/settings.ini");
    ASSERT_TRUE(WriteUpdateServer(store, stored.Origin() + "/api/"));

    const CliResult r = Run({"check-updates", "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("\"available\""), std::string::npos) << r.out;
    EXPECT_EQ(stored.RequestCount(), 2);

    RefusingPort port;
    const CliResult other = Run(
        {"check-updates", "--json", "--server", "http://127.0.0.1:" + std::to_string(port.Port()) + "/api/"});
    EXPECT_NE(other.out.find("\"no-information\""), std::string::npos) << other.out;
    EXPECT_EQ(stored.RequestCount(), 2);
}
