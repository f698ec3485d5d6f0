// The settings window against a real update server on the loopback interface: its states, the
// update list's entries, the buttons, the language choice, the server address and the closing.
#include "WindowsTestSupport.h"

#include "platform/DebugLog.h"
#include "update/TestHttpServer.h"
#include "update/UpdateProducts.h"
#include "windows/SetWnd.h"
#include "windows/UpdateInfoListItem.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QStackedWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace nk7x::test {
namespace {

constexpr uint32_t kAppVersion = 10;
const std::string kKeyboard = "app_key=TAVRO_1_QX20M31B_Norla Keys NK-7X_1";
const std::string kSecondKeyboard = "app_key=TAVRO_1_QX20M30B_RT3_1";

// Answers per product key: the body the server sends for requests that start with the key.
TestHttpServer::Handler Answers(std::vector<std::pair<std::string, std::string>> answers) {
    return [answers](const TestHttpServer::Request& request) {
        for (const auto& [key, body] : answers) {
            if (request.body.rfind(key, 0) == 0)
                return TestHttpServer::Reply{TestHttpServer::Action::Answer,
                                             TestHttpServer::Answer(200, body)};
        }
        return TestHttpServer::Reply{TestHttpServer::Action::Answer, TestHttpServer::Answer(200, "{}")};
    };
}

const char* kKeyboardNewer =
    R"({"name":"NK-7X keyboard","version":"0106","path":"https://example.invalid/kb.bin"})";
const char* kAppCurrent = R"({"name":"NK-7X configurator","version":"10","version_name":"V0.1.0"})";

class SetWndTest : public ::testing::Test {
  protected:
    void SetUp() override {
        KeepLoopbackOffProxies();
        ASSERT_TRUE(m_dir.isValid());
        UseLanguage(LanguageFile("lan_en.json"));
    }
    void TearDown() override {
        delete m_wnd.data();
        SetMsgWndSetup({});
        SetDebugSink({});
    }

    // The keyboard at 0x0105 (and a second device at `second`, when not 0) and the program.
    SetWndContext Context(const std::string& server, uint16_t second = 0) {
        SetWndContext ctx;
        std::vector<uint16_t> devices{0x0105};
        if (second)
            devices.push_back(second);
        ctx.products = BuildProductList(devices, kAppVersion);
        ctx.serverAddress = server;
        ctx.lastCheckPath = (m_dir.path() + QStringLiteral("/updatetime.config")).toStdString();
        ctx.today = "2026-12-9";
        ctx.languageKeys = {QStringLiteral("language_english_text"), QStringLiteral("language_chinese_text")};
        ctx.languageIndex = 0;
        ctx.http.receiveTimeoutMs = 5000;
        ctx.chooseLanguage = [this](int index) { m_languages.push_back(index); };
        ctx.upToDate = [this] { ++m_upToDate; };
        ctx.autostartEnabled = [] { return true; };
        ctx.setAutostart = [](bool) { return true; };
        ctx.sdkServerEnabled = [this] { return m_sdkOn; };
        ctx.setSdkServer = [this](bool on) {
            m_sdkOn = on && !m_sdkRefused;
            return m_sdkOn == on;
        };
        ctx.sdkServerState = [this] {
            return m_sdkOn        ? QStringLiteral("Lighting programs: 127.0.0.1:6742, connected: 0")
                   : m_sdkRefused ? QStringLiteral("The lighting server cannot start: address in use")
                                  : QString();
        };
        ctx.trackingState = [] { return QStringLiteral("Profiles follow the application in front (X11)"); };
        ctx.openLocation = [this](const QString& location) {
            m_opened << location;
            return true;
        };
        return ctx;
    }

    CSetWnd* Open(SetWndContext ctx) {
        m_wnd = new CSetWnd(nullptr, std::move(ctx));
        if (!m_wnd->Build())
            return nullptr;
        m_wnd->show();
        m_wnd->Start();
        return m_wnd;
    }

    // Waits until the check has ended and its last report has been shown.
    bool WaitForEnd(int ms = 10000) {
        return QTest::qWaitFor(
            [this] { return m_wnd && !m_wnd->Checking() && m_wnd->WindowStateValue() != CSetWnd::kChecking; },
            ms);
    }

    QWidget* Control(const char* name) const { return m_wnd->FindControl(QString::fromLatin1(name)); }
    QString StateText() const { return qobject_cast<QLabel*>(Control("Update_Status_text"))->text(); }
    QString StatusText(int entry) const {
        return m_wnd->Entry(entry)->findChild<QLabel*>(QStringLiteral("update_status_text"))->text();
    }
    void Click(const char* name) {
        auto* b = qobject_cast<QAbstractButton*>(Control(name));
        ASSERT_NE(b, nullptr) << name;
        ASSERT_TRUE(b->isVisible() && b->isEnabled()) << name;
        QTest::mouseClick(b, Qt::LeftButton);
    }

    QTemporaryDir m_dir;
    QPointer<CSetWnd> m_wnd;
    std::vector<int> m_languages;
    int m_upToDate = 0;
    QStringList m_opened;
    bool m_sdkOn = true;
    bool m_sdkRefused = false;
};

TEST_F(SetWndTest, OneUpdateAvailableIsTickedAndOffered) {
    TestHttpServer server(Answers({{kKeyboard, kKeyboardNewer}, {"app_key=TAVRO_0", kAppCurrent}}));
    ASSERT_TRUE(server.Started());
    ASSERT_NE(Open(Context(server.Origin() + "/api/")), nullptr);
    // Before any answer: placeholders, the program's row called "AP".
    ASSERT_EQ(m_wnd->EntryCount(), 2);
    ASSERT_TRUE(WaitForEnd());

    EXPECT_EQ(m_wnd->WindowStateValue(), CSetWnd::kAvailable);
    EXPECT_EQ(StateText(), "Updates are available.");
    CUpdateInfoListItemUI* kb = m_wnd->Entry(0);
    EXPECT_EQ(kb->Name(), "Norla Keys NK-7X") << "the table's display name, not the server's";
    EXPECT_EQ(kb->InstalledText(), "V0105");
    EXPECT_EQ(kb->NewestText(), "V0106");
    EXPECT_EQ(kb->State(), 1);
    EXPECT_TRUE(kb->IsTicked());
    EXPECT_TRUE(kb->IsOptionEnabled());
    EXPECT_EQ(StatusText(0), "Update available");
    EXPECT_EQ(kb->UserData(), "https://example.invalid/kb.bin");
    CUpdateInfoListItemUI* app = m_wnd->Entry(1);
    EXPECT_EQ(app->Name(), "Norla Keys NK-7X");
    EXPECT_EQ(app->State(), 7);
    EXPECT_EQ(app->NewestText(), "") << "an up-to-date product shows no newest version";
    EXPECT_FALSE(app->findChild<QLabel*>(QStringLiteral("updateRev"))->isVisible());
    EXPECT_FALSE(app->IsOptionEnabled());
    EXPECT_EQ(StatusText(1), "Up to date");
    EXPECT_TRUE(Control("update_fw_and_ap")->isVisible());
    EXPECT_TRUE(Control("update_tishi_layout")->isVisible());
    EXPECT_FALSE(Control("update_status_ring")->isVisible());
    EXPECT_EQ(m_upToDate, 0);
    EXPECT_EQ(server.RequestCount(), 2);
    // The last check is written after every product.
    std::ifstream last(m_dir.path().toStdString() + "/updatetime.config");
    std::stringstream text;
    text << last.rdbuf();
    EXPECT_NE(text.str().find("2026-12-9"), std::string::npos) << text.str();
    SaveScreenshot(m_wnd, "screenshot-settings");

    // The hint goes when dismissed.
    Click("set_in_update_wnd_btn");
    EXPECT_FALSE(Control("update_tishi_layout")->isVisible());
    // Unticking the only ticked entry takes the update button away; ticking it brings it back.
    kb->Option()->click();
    EXPECT_FALSE(Control("update_fw_and_ap")->isVisible());
    kb->Option()->click();
    EXPECT_TRUE(Control("update_fw_and_ap")->isVisible());
}

TEST_F(SetWndTest, UpdateOkOpensOnlyTheTickedWebLocations) {
    const char* second = R"({"name":"RT3","version":"0300","path":"file:///etc/passwd"})";
    TestHttpServer server(Answers({{kKeyboard, kKeyboardNewer}, {kSecondKeyboard, second}}));
    ASSERT_TRUE(server.Started());
    ASSERT_NE(Open(Context(server.Origin() + "/api/", 0x0200)), nullptr);
    ASSERT_TRUE(WaitForEnd());
    ASSERT_EQ(m_wnd->EntryCount(), 3);
    ASSERT_EQ(m_wnd->Entry(0)->State(), 1);
    ASSERT_EQ(m_wnd->Entry(1)->State(), 1);

    // Two available, one ticked: the ticked one goes on, the other is set aside.
    m_wnd->Entry(1)->Option()->click();
    Click("update_fw_and_ap");
    auto* tabs = qobject_cast<QStackedWidget*>(Control("get_update_tab_layout"));
    EXPECT_EQ(tabs->currentIndex(), 1);
    EXPECT_EQ(qobject_cast<QLabel*>(Control("update_selection_text"))->text(), "Norla Keys NK-7X");
    Click("update_OK_btn");
    EXPECT_EQ(tabs->currentIndex(), 0);
    EXPECT_EQ(m_wnd->Entry(0)->State(), 3);
    EXPECT_FALSE(m_wnd->Entry(1)->IsOptionEnabled());
    EXPECT_EQ(m_wnd->Entry(1)->State(), 1);
    EXPECT_EQ(m_opened, QStringList{"https://example.invalid/kb.bin"});
    EXPECT_FALSE(Control("update_fw_and_ap")->isEnabled());
    // The window still closes: nothing is being written anywhere.
    m_wnd->close();
    EXPECT_TRUE(QTest::qWaitFor([this] { return m_wnd.isNull(); }, 2000));
}

TEST_F(SetWndTest, ALocationThatIsNotAWebAddressIsNeverOpened) {
    const char* local = R"({"name":"RT3","version":"0300","path":"file:///etc/passwd"})";
    TestHttpServer server(Answers({{kKeyboard, local}}));
    ASSERT_TRUE(server.Started());
    ASSERT_NE(Open(Context(server.Origin() + "/api/")), nullptr);
    ASSERT_TRUE(WaitForEnd());
    ASSERT_TRUE(m_wnd->Entry(0)->IsTicked());
    Click("update_fw_and_ap");
    Click("update_OK_btn");
    EXPECT_TRUE(m_opened.isEmpty());
    EXPECT_EQ(m_wnd->Entry(0)->State(), 8);
    EXPECT_EQ(StatusText(0), "Update failed");
}

TEST_F(SetWndTest, UnreachableServerShowsNoInformationOnEveryEntry) {
    RefusingPort port;
    ASSERT_NE(Open(Context("http://127.0.0.1:" + std::to_string(port.Port()) + "/api/", 0x0200)), nullptr);
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(m_wnd->WindowStateValue(), CSetWnd::kNoInformation);
    EXPECT_EQ(StateText(), "Could not get update information.");
    // No entry claims to be up to date: the server told nothing about any.
    for (int i = 0; i < m_wnd->EntryCount(); ++i)
        EXPECT_EQ(StatusText(i), "Could not get update information.") << i;
    EXPECT_FALSE(Control("update_fw_and_ap")->isVisible());
    EXPECT_EQ(m_upToDate, 0);
}

TEST_F(SetWndTest, NothingToCheckEndsWithNoInformationAndAnEmptyList) {
    TestHttpServer server(Answers({}));
    ASSERT_TRUE(server.Started());
    SetWndContext ctx = Context(server.Origin() + "/api/");
    ctx.products.clear();
    ASSERT_NE(Open(std::move(ctx)), nullptr);
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(m_wnd->EntryCount(), 0);
    EXPECT_EQ(m_wnd->WindowStateValue(), CSetWnd::kNoInformation);
    EXPECT_EQ(server.RequestCount(), 0);
}

TEST_F(SetWndTest, UpToDateNamesTheDateAndFollowsTheLanguage) {
    TestHttpServer server(Answers(
        {{kKeyboard, R"({"name":"NK-7X keyboard","version":"0105"})"}, {"app_key=TAVRO_0", kAppCurrent}}));
    ASSERT_TRUE(server.Started());
    ASSERT_NE(Open(Context(server.Origin() + "/api/")), nullptr);
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(m_wnd->WindowStateValue(), CSetWnd::kUpToDate);
    EXPECT_EQ(StateText(), "Everything is up to date. Last checked: 2026-12-9");
    EXPECT_EQ(m_upToDate, 1);

    // The user picks the other language once: one request with its index; the same choice again
    // asks for nothing.
    auto* combo = qobject_cast<QComboBox*>(Control("Language_combox_info"));
    ASSERT_EQ(combo->count(), 2);
    EXPECT_EQ(combo->itemText(0), "English");
    EXPECT_EQ(combo->currentIndex(), 0);
    combo->setCurrentIndex(1);
    emit combo->activated(1);
    emit combo->activated(1);
    EXPECT_EQ(m_languages, std::vector<int>{1});
    // The interface switched: the state line keeps the date and changes its words.
    UseLanguage(LanguageFile("lan_zh.json"));
    m_wnd->RebuildTexts();
    EXPECT_TRUE(StateText().endsWith("2026-12-9")) << StateText().toStdString();
    EXPECT_NE(StateText(), "Everything is up to date. Last checked: 2026-12-9");
    EXPECT_EQ(StatusText(0), LanguageFile("lan_zh.json")->at("UpdateOkText"));
}

TEST_F(SetWndTest, WithoutAServerNothingIsContactedAndTheWindowSaysSo) {
    SetWndContext ctx = Context("");
    std::vector<std::string> stored;
    ctx.storeServer = [&stored](const std::string& address) {
        stored.push_back(address);
        return true;
    };
    ASSERT_NE(Open(std::move(ctx)), nullptr);
    EXPECT_FALSE(m_wnd->Checking());
    EXPECT_EQ(m_wnd->WindowStateValue(), CSetWnd::kNotConfigured);
    EXPECT_TRUE(StateText().startsWith("No update server is configured")) << StateText().toStdString();
    ASSERT_EQ(m_wnd->EntryCount(), 2);
    EXPECT_EQ(m_wnd->Entry(0)->InstalledText(), "V0105");
    EXPECT_EQ(StatusText(0), "Not checked");
    EXPECT_FALSE(m_wnd->Entry(0)->IsOptionEnabled());

    // A bad address is refused with a word of why and not stored.
    auto* edit = qobject_cast<QLineEdit*>(Control("update_server_edit"));
    ASSERT_NE(edit, nullptr);
    edit->setText("ftp://host/");
    m_wnd->RaiseByName("update_server_edit", "return");
    EXPECT_TRUE(stored.empty());
    EXPECT_TRUE(Control("update_server_error")->isVisible());
    EXPECT_EQ(m_wnd->WindowStateValue(), CSetWnd::kNotConfigured);

    // A good one is stored and asked at once.
    TestHttpServer server(Answers({{kKeyboard, kKeyboardNewer}}));
    ASSERT_TRUE(server.Started());
    edit->setText(QString::fromStdString(server.Origin() + "/api/"));
    m_wnd->RaiseByName("update_server_edit", "return");
    EXPECT_EQ(stored, std::vector<std::string>{server.Origin() + "/api/"});
    EXPECT_FALSE(Control("update_server_error")->isVisible());
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(m_wnd->WindowStateValue(), CSetWnd::kAvailable);
    EXPECT_EQ(server.RequestCount(), 2);
}

TEST_F(SetWndTest, ClosingDuringACheckEndsItAtOnce) {
    TestHttpServer server([](const TestHttpServer::Request&) {
        return TestHttpServer::Reply{TestHttpServer::Action::Hold, {}};
    });
    ASSERT_TRUE(server.Started());
    SetWndContext ctx = Context(server.Origin() + "/api/");
    ctx.http.receiveTimeoutMs = 60000;
    ASSERT_NE(Open(std::move(ctx)), nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&server] { return server.RequestCount() >= 1; }, 5000));
    EXPECT_EQ(m_wnd->WindowStateValue(), CSetWnd::kChecking);
    EXPECT_TRUE(Control("update_status_ring")->isVisible());
    QElapsedTimer took;
    took.start();
    Click("closebtn");
    EXPECT_LT(took.elapsed(), 2000) << "the request under way was not given up";
    EXPECT_TRUE(QTest::qWaitFor([this] { return m_wnd.isNull(); }, 2000));
}

TEST_F(SetWndTest, DpiAndAutostart) {
    std::vector<std::string> lines;
    SetDebugSink([&lines](const std::string& line) { lines.push_back(line); });
    bool enabled = false;
    bool refuse = false;
    SetWndContext ctx = Context("");
    ctx.autostartEnabled = [&enabled] { return enabled; };
    ctx.setAutostart = [&](bool on) {
        if (refuse)
            return false;
        enabled = on;
        return true;
    };
    ASSERT_NE(Open(std::move(ctx)), nullptr);
    EXPECT_EQ(m_wnd->SetDpi(100), 96);
    EXPECT_NE(std::find(lines.begin(), lines.end(), "SET_WND DPI SET ERROR"), lines.end());
    EXPECT_EQ(m_wnd->SetDpi(144), 144);
    EXPECT_EQ(m_wnd->width(), CSetWnd::kWidth * 144 / 96);

    auto* box = qobject_cast<QCheckBox*>(Control("autostart_check"));
    ASSERT_TRUE(box && box->isVisible());
    EXPECT_FALSE(box->isChecked());
    box->click();
    EXPECT_TRUE(enabled);
    // A choice that does not take leaves the box showing what is true.
    refuse = true;
    box->click();
    EXPECT_TRUE(enabled);
    EXPECT_TRUE(box->isChecked());

    // The lighting server's switch: its line says where it listens, or why it cannot.
    auto* server = qobject_cast<QCheckBox*>(Control("sdkserver_check"));
    auto* line = qobject_cast<QLabel*>(Control("sdkserver_state"));
    ASSERT_TRUE(server && server->isVisible() && line);
    EXPECT_TRUE(server->isChecked());
    EXPECT_TRUE(line->isVisible());
    EXPECT_TRUE(line->text().contains("127.0.0.1:6742"));
    auto* tracking = qobject_cast<QLabel*>(Control("apptracking_state"));
    ASSERT_TRUE(tracking && tracking->isVisible());
    EXPECT_EQ(tracking->text(), "Profiles follow the application in front (X11)");
    server->click();
    EXPECT_FALSE(m_sdkOn);
    EXPECT_FALSE(line->isVisible());
    m_sdkRefused = true;
    server->click();
    EXPECT_FALSE(server->isChecked()) << "a server that did not start is shown off";
    EXPECT_EQ(line->text(), "The lighting server cannot start: address in use");
}

} // namespace
} // namespace nk7x::test
