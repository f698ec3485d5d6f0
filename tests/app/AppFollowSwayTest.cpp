// Profiles that follow the application in front, in the real program under a real wlroots compositor
// (sway on its headless backend): two terminal windows of different app ids, a binding made with
// nk7x-cli, the focus moved by sway's own command, and the emulated keyboard that must get the bound
// profile's settings, then the everyday one's again. The program's window stays offscreen: only the
// tracking speaks Wayland.
#include "app/FollowProfiles.h"
#include "app/ProgramRun.h"

#include "devices/keyboard/KeyboardDevice.h"
#include "devices/keyboard/KeyboardRecords.h"
#include "profiles/ProfileFolders.h"
#include "support/HeadlessSway.h"
#include "support/PrivateBus.h"
#include "support/TestSupport.h"
#include "tools/sim/SimDevice.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <iostream>
#include <optional>
#include <string>

using namespace nk7x;
using nk7x::test::Cli;
using nk7x::test::HeadlessSway;
using nk7x::test::kEverydayMode;
using nk7x::test::kGameMode;
using nk7x::test::MakeEverydayAndGameProfiles;
using nk7x::test::PrivateBus;
using nk7x::test::ProgramRun;
using nk7x::test::ScopedUnset;
using Clock = std::chrono::steady_clock;

namespace {

constexpr const char* kGameApp = "NK7XGame";      // bound as "nk7xgame": app ids match ignoring case
constexpr const char* kEditorApp = "nk7x-editor"; // bound to nothing

double Milliseconds(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// The keyboard's settings record shows the lighting mode `mode` within `ms` of `since`; when it did.
std::optional<Clock::time_point> WaitForMode(const SimDevice& keyboard, int mode, Clock::time_point since,
                                             int ms) {
    while (Clock::now() - since < std::chrono::milliseconds(ms)) {
        const auto at = Clock::now();
        KeyboardSettingsRecord r;
        if (KeyboardSettingsRecord::Parse(keyboard.SettingsRecord(0), r) && r.light.mode == mode)
            return at;
        QTest::qWait(1);
    }
    return std::nullopt;
}

// The focus moved to `appId`'s window by swaymsg, and the keyboard's lighting mode then `mode`:
// milliseconds from swaymsg's start (what the test holds to) and from its return (a lower bound:
// the switch may begin before swaymsg has been seen to end).
struct Switch {
    std::optional<double> fromStart, fromReturn;
    std::string reply;
    int status = -1;
};
Switch FocusAndWait(const HeadlessSway& sway, const SimDevice& keyboard, const std::string& appId, int mode,
                    int ms) {
    Switch s;
    const auto start = Clock::now();
    s.status = sway.Msg("[app_id=\"" + appId + "\"] focus", &s.reply);
    const auto returned = Clock::now();
    if (s.status != 0)
        return s;
    if (const auto at = WaitForMode(keyboard, mode, start, ms)) {
        s.fromStart = Milliseconds(*at - start);
        s.fromReturn = Milliseconds(*at - returned);
    }
    return s;
}

} // namespace

TEST(AppFollow, TheKeyboardTakesTheBoundProfileWhenItsWindowComesToTheFrontInSway) {
    if (const std::string missing = HeadlessSway::MissingProgram(); !missing.empty())
        GTEST_SKIP() << missing << " is not installed (scripts/install-deps.sh installs it)";
    HeadlessSway sway;
    ASSERT_FALSE(sway.Dir().empty()) << "no temporary folder";
    std::string why;
    ASSERT_TRUE(sway.WaitReady(&why)) << why;
    // Both windows open; the editor's last, so that it is in front.
    const auto game = sway.Terminal(kGameApp);
    const auto editor = sway.Terminal(kEditorApp);
    ASSERT_TRUE(sway.FocusWhenOpen(kGameApp, &why)) << why << sway.Log() << sway.TerminalLog(kGameApp);
    ASSERT_TRUE(sway.FocusWhenOpen(kEditorApp, &why)) << why << sway.Log() << sway.TerminalLog(kEditorApp);

    // The program sees a sway session and nothing else: no X display, no other desktop's name.
    ScopedUnset x11("DISPLAY");
    ScopedUnset socket("WAYLAND_SOCKET");
    ScopedUnset session("XDG_SESSION_TYPE");
    PrivateBus bus;
    ASSERT_FALSE(bus.Address().isEmpty()) << "no private session bus";
    ProgramRun run(bus.Address());
    const QString data = run.Home() + "/data";
    const QString simFolder = run.SimFolder();
    ASSERT_FALSE(simFolder.isEmpty());
    // The full path: the program's runtime folder is its own, not sway's.
    run.SetEnv("WAYLAND_DISPLAY", QString::fromStdString(sway.DisplayPath()));
    run.SetEnv("XDG_CURRENT_DESKTOP", "sway");

    MakeEverydayAndGameProfiles(data);
    ASSERT_FALSE(HasFatalFailure());
    constexpr int kEveryday = kEverydayMode, kGame = kGameMode;

    SimOptions options;
    options.folder = simFolder.toStdString();
    SimDevice keyboard(options);
    ASSERT_EQ(keyboard.Start(), 1) << keyboard.LastError();
    QProcess* app = run.Start();
    ASSERT_TRUE(app->waitForStarted(5000));
    ASSERT_TRUE(WaitForMode(keyboard, kEveryday, Clock::now(), 15000)) << run.Output(app).toStdString();
    QTest::qWait(1500); // the page has finished connecting
    EXPECT_EQ(run.Output(app).indexOf("profiles follow the application"), -1)
        << "nothing is bound yet: the compositor is not asked";

    int code = -1;
    QString said =
        Cli(bus.Address(), simFolder, {"--kind", "keyboard", "bind", "profile2", "nk7xgame"}, &code);
    ASSERT_EQ(code, 0) << said.toStdString();
    ASSERT_TRUE(run.WaitForLine(app, "profiles follow the application in front (wlroots)", 5000))
        << run.Output(app).toStdString();
    said = Cli(bus.Address(), simFolder, {"--kind", "keyboard", "bindings", "--json"}, &code);
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(said.contains("\"tracking\" : \"wlroots\"")) << said.toStdString();
    // The editor in front when the tracking began changed nothing.
    KeyboardSettingsRecord now;
    ASSERT_TRUE(KeyboardSettingsRecord::Parse(keyboard.SettingsRecord(0), now));
    EXPECT_EQ(now.light.mode, kEveryday);

    // The game comes to the front: its profile, within 100 ms.
    const Switch toGame = FocusAndWait(sway, keyboard, kGameApp, kGame, 3000);
    ASSERT_EQ(toGame.status, 0) << toGame.reply;
    ASSERT_TRUE(toGame.fromStart) << run.Output(app).toStdString();
    // Back to the editor: the profile in use before.
    QTest::qWait(300);
    const Switch toEveryday = FocusAndWait(sway, keyboard, kEditorApp, kEveryday, 3000);
    ASSERT_EQ(toEveryday.status, 0) << toEveryday.reply;
    ASSERT_TRUE(toEveryday.fromStart) << run.Output(app).toStdString();
    std::cout << "focus change (swaymsg started) to the keyboard's settings write: " << *toGame.fromStart
              << " ms (to the game), " << *toEveryday.fromStart
              << " ms (back); after swaymsg returned: " << *toGame.fromReturn << " ms, "
              << *toEveryday.fromReturn << " ms\n";
    RecordProperty("sway_latency_ms", std::to_string(*toGame.fromStart));
    EXPECT_LT(*toGame.fromStart, 100.0);
    EXPECT_LT(*toEveryday.fromStart, 100.0);
    EXPECT_TRUE(
        run.WaitForLine(app, "profiles: \"NK7XGame\" in front: the keyboard takes \"profile2\"", 1000));

    // Unbound: the game no longer changes anything.
    said = Cli(bus.Address(), simFolder, {"--kind", "keyboard", "unbind", "NK7XGAME"}, &code);
    EXPECT_EQ(code, 0) << said.toStdString();
    const Switch unbound = FocusAndWait(sway, keyboard, kGameApp, kGame, 500);
    EXPECT_EQ(unbound.status, 0) << unbound.reply;
    EXPECT_FALSE(unbound.fromStart);
}
