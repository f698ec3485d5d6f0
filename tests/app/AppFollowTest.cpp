// Profiles that follow the application in front, in the real program on a real X server: two
// windows of different classes, the active one named on the root window as a window manager names
// it, a binding made with nk7x-cli, and the emulated keyboard that must get the bound profile's
// settings, then the everyday one's again.
#include "app/FollowProfiles.h"
#include "app/ProgramRun.h"
#include "app/XServer.h"

#include "devices/keyboard/KeyboardDevice.h"
#include "devices/keyboard/KeyboardRecords.h"
#include "profiles/ProfileFolders.h"
#include "support/PrivateBus.h"
#include "support/TestSupport.h"
#include "tools/sim/SimDevice.h"

#include <QDir>
#include <QProcess>
#include <QTest>

#include <xcb/xcb.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <iostream>

using namespace nk7x;
using nk7x::test::Cli;
using nk7x::test::kEverydayMode;
using nk7x::test::kGameMode;
using nk7x::test::MakeEverydayAndGameProfiles;
using nk7x::test::PrivateBus;
using nk7x::test::ProgramRun;
using nk7x::test::XServer;

namespace {

// What a window manager does for the tracking: windows with their classes, and the active one
// named in _NET_ACTIVE_WINDOW (with _NET_SUPPORTED saying it does so).
class FakeWindowManager {
  public:
    explicit FakeWindowManager(const QString& display) {
        m_conn = xcb_connect(display.toLocal8Bit().constData(), nullptr);
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_conn)).data->root;
        m_active = Atom("_NET_ACTIVE_WINDOW");
        const xcb_atom_t supported = Atom("_NET_SUPPORTED");
        xcb_change_property(m_conn, XCB_PROP_MODE_REPLACE, m_root, supported, XCB_ATOM_ATOM, 32, 1,
                            &m_active);
        xcb_flush(m_conn);
    }
    ~FakeWindowManager() { xcb_disconnect(m_conn); }
    bool Ok() const { return xcb_connection_has_error(m_conn) == 0; }

    xcb_window_t Window(const char* instance, const char* cls) {
        const xcb_window_t w = xcb_generate_id(m_conn);
        xcb_create_window(m_conn, XCB_COPY_FROM_PARENT, w, m_root, 0, 0, 100, 100, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
        std::string wmClass = std::string(instance) + '\0' + cls + '\0';
        xcb_change_property(m_conn, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
                            static_cast<uint32_t>(wmClass.size()), wmClass.data());
        xcb_map_window(m_conn, w);
        xcb_flush(m_conn);
        return w;
    }
    void Activate(xcb_window_t w) {
        xcb_change_property(m_conn, XCB_PROP_MODE_REPLACE, m_root, m_active, XCB_ATOM_WINDOW, 32, 1, &w);
        xcb_flush(m_conn);
    }

  private:
    xcb_atom_t Atom(const char* name) {
        xcb_intern_atom_reply_t* r = xcb_intern_atom_reply(
            m_conn, xcb_intern_atom(m_conn, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
        const xcb_atom_t a = r ? r->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
        std::free(r);
        return a;
    }
    xcb_connection_t* m_conn = nullptr;
    xcb_window_t m_root = 0;
    xcb_atom_t m_active = XCB_ATOM_NONE;
};

// The keyboard's settings record shows the lighting mode `mode`; the time it took.
std::optional<double> WaitForMode(const SimDevice& keyboard, int mode, int ms) {
    const auto start = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(ms)) {
        KeyboardSettingsRecord r;
        if (KeyboardSettingsRecord::Parse(keyboard.SettingsRecord(0), r) && r.light.mode == mode)
            return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        QTest::qWait(1);
    }
    return std::nullopt;
}

} // namespace

TEST(AppFollow, TheKeyboardTakesTheBoundProfileWhenItsWindowComesToTheFrontOnX11) {
    XServer x;
    ASSERT_FALSE(x.Display().isEmpty()) << "Xvfb did not start";
    FakeWindowManager wm(x.Display());
    ASSERT_TRUE(wm.Ok());
    const xcb_window_t editor = wm.Window("editor", "NK7XEditor");
    const xcb_window_t game = wm.Window("nk7x-game", "NK7XGame");
    wm.Activate(editor);

    PrivateBus bus;
    ASSERT_FALSE(bus.Address().isEmpty()) << "no private session bus";
    ProgramRun run(bus.Address());
    const QString data = run.Home() + "/data";
    const QString simFolder = run.SimFolder();
    ASSERT_FALSE(simFolder.isEmpty());
    run.SetEnv("DISPLAY", x.Display());

    MakeEverydayAndGameProfiles(data);
    ASSERT_FALSE(HasFatalFailure());
    constexpr int kEveryday = kEverydayMode, kGame = kGameMode;

    SimOptions options;
    options.folder = simFolder.toStdString();
    SimDevice keyboard(options);
    ASSERT_EQ(keyboard.Start(), 1) << keyboard.LastError();
    QProcess* app = run.Start();
    ASSERT_TRUE(app->waitForStarted(5000));
    ASSERT_TRUE(WaitForMode(keyboard, kEveryday, 15000)) << run.Output(app).toStdString();
    QTest::qWait(1500); // the page has finished connecting
    EXPECT_EQ(run.Output(app).indexOf("profiles follow the application"), -1)
        << "nothing is bound yet: the desktop is not asked";

    // The game's window class bound from the command line (classes match ignoring case).
    int code = -1;
    QString said =
        Cli(bus.Address(), simFolder, {"--kind", "keyboard", "bind", "profile2", "nk7xgame"}, &code);
    ASSERT_EQ(code, 0) << said.toStdString();
    ASSERT_TRUE(run.WaitForLine(app, "profiles follow the application in front (X11)", 5000))
        << run.Output(app).toStdString();
    said = Cli(bus.Address(), simFolder, {"--kind", "keyboard", "bindings", "--json"}, &code);
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(said.contains("\"app\" : \"nk7xgame\",\n         \"profile\" : \"profile2\""))
        << said.toStdString();
    EXPECT_TRUE(said.contains("\"tracking\" : \"X11\"")) << said.toStdString();
    said = Cli(bus.Address(), simFolder, {"--kind", "keyboard", "bind", "nosuchprofile", "x"}, &code);
    EXPECT_EQ(code, 1) << said.toStdString();
    EXPECT_TRUE(said.contains("no profile \"nosuchprofile\"")) << said.toStdString();

    // The game comes to the front: its profile, within 100 ms.
    wm.Activate(game);
    const std::optional<double> toGame = WaitForMode(keyboard, kGame, 3000);
    ASSERT_TRUE(toGame) << run.Output(app).toStdString();
    // Back to the editor: the profile in use before.
    QTest::qWait(300);
    wm.Activate(editor);
    const std::optional<double> toEveryday = WaitForMode(keyboard, kEveryday, 3000);
    ASSERT_TRUE(toEveryday) << run.Output(app).toStdString();
    std::cout << "focus change to the keyboard's settings write: " << *toGame << " ms (to the game), "
              << *toEveryday << " ms (back)\n";
    RecordProperty("x11_latency_ms", std::to_string(*toGame));
    EXPECT_LT(*toGame, 100.0);
    EXPECT_LT(*toEveryday, 100.0);
    EXPECT_TRUE(
        run.WaitForLine(app, "profiles: \"NK7XGame\" in front: the keyboard takes \"profile2\"", 1000));

    // Unbound: the game no longer changes anything.
    said = Cli(bus.Address(), simFolder, {"--kind", "keyboard", "unbind", "NK7XGAME"}, &code);
    EXPECT_EQ(code, 0) << said.toStdString();
    wm.Activate(game);
    EXPECT_FALSE(WaitForMode(keyboard, kGame, 500));
}
