// Runs the real program: one instance per user, and its service on a private session bus.
#include "platform/qt/DesktopBus.h"

#include "app/ProgramRun.h"
#include "devices/keyboard/KeyboardDevice.h"
#include "profiles/ProfileFolders.h"
#include "profiles/ProfileList.h"
#include "support/PrivateBus.h"
#include "support/TestSupport.h"
#include "tools/sim/SimDevice.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusMetaType>
#include <QDBusReply>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <optional>
#include <signal.h>
#include <string>
#include <vector>

using namespace nk7x;
using nk7x::test::BusMonitor;
using nk7x::test::Cli;
using nk7x::test::PrivateBus;
using nk7x::test::Program;
using nk7x::test::ProgramRun;
using nk7x::test::ScopedEnv;

namespace {

// A call through `gdbus` (a client of its own, as a script would use): its output, or the error it
// printed; `ok` says which.
QString Gdbus(const QString& address, const QStringList& args, bool* ok) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DBUS_SESSION_BUS_ADDRESS", address);
    p.setProcessEnvironment(env);
    p.start("gdbus", QStringList{"call", "--session", "--dest", DesktopBus::kService, "--object-path",
                                 DesktopBus::kPath, "--method"} +
                         args);
    // The program answers on its own thread; the test only waits.
    if (!p.waitForFinished(10000))
        p.kill();
    *ok = p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    return QString::fromUtf8(*ok ? p.readAllStandardOutput() : p.readAllStandardError()).trimmed();
}

// nk7x-cli with the test's bus and emulator folder: what it printed, and its exit code in `code`.

} // namespace

TEST(Program, SecondStartRaisesTheFirstAndExitsZero) {
    ASSERT_TRUE(QFile::exists(Program())) << Program().toStdString();
    ProgramRun run;
    QProcess* first = run.Start();
    ASSERT_TRUE(first->waitForStarted(5000));
    // Shown once its start-up is complete.
    ASSERT_TRUE(run.WaitForLine(first, "0d0d", 10000)) << run.Output(first).toStdString();

    QProcess* second = run.Start();
    ASSERT_TRUE(second->waitForFinished(10000));
    EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second->exitCode(), 0);
    EXPECT_FALSE(second->readAllStandardError().contains("InitWindow")) << "the second start makes no window";

    // The first one was asked to come to the front (wParam 0, lParam 1) and keeps running.
    EXPECT_TRUE(run.WaitForLine(first, "0d1d", 5000)) << run.Output(first).toStdString();
    EXPECT_EQ(first->state(), QProcess::Running);
    // Without buses it runs on and says so once.
    EXPECT_EQ(run.Output(first).count("no session bus"), 1);
    EXPECT_EQ(run.Output(first).count("no system bus"), 1);
}

// A first instance that is stopped still takes the request (the system queues it) but cannot
// answer: a later start says so in a bounded time instead of ending as if it had raised it.
TEST(Program, ASecondStartSaysWhenTheFirstDoesNotAnswer) {
    ProgramRun run;
    QProcess* first = run.Start();
    ASSERT_TRUE(first->waitForStarted(5000));
    ASSERT_TRUE(run.WaitForLine(first, "0d0d", 10000)) << run.Output(first).toStdString();
    ASSERT_EQ(::kill(static_cast<pid_t>(first->processId()), SIGSTOP), 0);

    QElapsedTimer took;
    took.start();
    QProcess* second = run.Start();
    const bool told = run.WaitForLine(second, "does not answer", 10000);
    ::kill(static_cast<pid_t>(first->processId()), SIGCONT);
    EXPECT_TRUE(told) << run.Output(second).toStdString();
    EXPECT_LT(took.elapsed(), 8000);
    EXPECT_FALSE(run.Output(second).contains("InitWindow")) << "no second window";
    // What it says waits for the user (a message box); the test answers by ending it.
    second->kill();
    second->waitForFinished(3000);
}

TEST(Program, ServiceOnTheSessionBus) {
    QString daemon = QStandardPaths::findExecutable("dbus-daemon");
    if (daemon.isEmpty())
        GTEST_SKIP() << "dbus-daemon is not installed";
    QProcess bus;
    bus.start(daemon, {"--session", "--nofork", "--print-address=1"});
    ASSERT_TRUE(bus.waitForStarted(5000));
    QByteArray address;
    for (int i = 0; i < 100 && !address.contains('\n'); ++i) {
        bus.waitForReadyRead(50);
        address += bus.readAllStandardOutput();
    }
    address = address.trimmed();
    ASSERT_FALSE(address.isEmpty());

    {
        ProgramRun run(QString::fromUtf8(address));
        QProcess* app = run.Start();
        ASSERT_TRUE(app->waitForStarted(5000));
        QDBusConnection conn = QDBusConnection::connectToBus(QString::fromUtf8(address), "nk7x-test-bus");
        ASSERT_TRUE(conn.isConnected());
        QElapsedTimer t;
        t.start();
        while (!conn.interface()->isServiceRegistered(DesktopBus::kService) && t.elapsed() < 10000)
            QTest::qWait(50);
        ASSERT_TRUE(conn.interface()->isServiceRegistered(DesktopBus::kService))
            << run.Output(app).toStdString();

        qDBusRegisterMetaType<QList<int>>();
        QDBusInterface iface(DesktopBus::kService, DesktopBus::kPath, DesktopBus::kInterface, conn);
        QDBusReply<QList<int>> reply = iface.call("ServiceQuery");
        ASSERT_TRUE(reply.isValid()) << reply.error().message().toStdString();
        QList<int> block = reply.value();
        ASSERT_EQ(block.size(), 256);
        EXPECT_EQ(block.mid(0, 8), (QList<int>{2, 3, 0, 2, 4, 0, 0, 2}));
        EXPECT_EQ(block.mid(8, 3), (QList<int>{0x0C45, 0x0820, 1}));

        // wParam 0 changes nothing; wParam 1, lParam 0 gives the lighting away.
        QDBusMessage r0 = iface.call("LightingRequest", 0, 0);
        EXPECT_NE(r0.type(), QDBusMessage::ErrorMessage);
        QTest::qWait(100);
        EXPECT_FALSE(
            run.Output(app).contains("\xe4\xb8\x8d\xe6\x8e\xa7\xe5\x88\xb6\xe7\x81\xaf\xe5\x85\x89"));
        iface.call("LightingRequest", 1, 0);
        EXPECT_TRUE(
            run.WaitForLine(app, "\xe4\xb8\x8d\xe6\x8e\xa7\xe5\x88\xb6\xe7\x81\xaf\xe5\x85\x89", 3000))
            << run.Output(app).toStdString();
        QDBusConnection::disconnectFromBus("nk7x-test-bus");
    }
    bus.terminate();
    bus.waitForFinished(3000);
}

// A script switches the keyboard's profile and sets its lighting over the bus as the panels would: the new
// profile is active, the keyboard holds its lighting, listeners hear of it, and bad arguments get errors that
// say what is wrong.
TEST(Program, ScriptsSwitchProfilesAndSetLightingOverTheBus) {
    if (QStandardPaths::findExecutable("gdbus").isEmpty())
        GTEST_SKIP() << "gdbus is not installed";
    PrivateBus bus;
    ASSERT_FALSE(bus.Address().isEmpty()) << "no private session bus";
    ProgramRun run(bus.Address());
    const QString data = run.Home() + "/data";
    const QString simFolder = run.SimFolder();
    ASSERT_FALSE(simFolder.isEmpty());

    // Two profiles, the second with a lighting of its own, made by the program's own code.
    ScopedEnv dataHome("XDG_DATA_HOME", data.toStdString());
    ScopedEnv programDir("NK7X_PROGRAM_DIR", NK7X_SOURCE_DIR);
    ProfileList list;
    list.SetDeviceType(KindNumber(DeviceKind::Keyboard));
    list.SetFolders(KindFolder(DeviceFamily::Keyboard), DefaultProfilePath(DeviceFamily::Keyboard));
    ASSERT_EQ(list.LoadList(), ProfileResult::Done);
    ASSERT_EQ(list.AddProfile(), ProfileResult::Done);
    ASSERT_EQ(list.SelectProfile(0), ProfileResult::Done);
    ASSERT_EQ(list.Names(), (std::vector<std::string>{"profile1", "profile2"}));
    {
        CKeyboardDevice keyboard;
        keyboard.SetProfileName(list.UuidAt(1));
        keyboard.LoadProfile();
        LightState light = keyboard.Profile().GetLightInfo();
        light.mode = 2;
        light.red = 0x12;
        light.green = 0x34;
        light.blue = 0x56;
        keyboard.SetLightSettings(light);
        keyboard.SaveProfile();
    }

    SimOptions options;
    options.folder = simFolder.toStdString();
    SimDevice keyboard(options);
    ASSERT_EQ(keyboard.Start(), 1) << keyboard.LastError();
    QProcess* app = run.Start();
    ASSERT_TRUE(app->waitForStarted(5000));

    bool ok = false;
    QElapsedTimer t;
    t.start();
    QString devices;
    while (t.elapsed() < 15000) {
        devices = Gdbus(bus.Address(), {"com.NorlaKeys.NK7X.Control1.Devices"}, &ok);
        if (ok && devices.contains("'keyboard'"))
            break;
        QTest::qWait(100);
    }
    ASSERT_EQ(devices, "(['keyboard'],)") << run.Output(app).toStdString();
    EXPECT_EQ(Gdbus(bus.Address(), {"com.NorlaKeys.NK7X.Control1.Profiles", "keyboard"}, &ok),
              "(['profile1', 'profile2'],)");
    EXPECT_EQ(Gdbus(bus.Address(), {"com.NorlaKeys.NK7X.Control1.ActiveProfile", "keyboard"}, &ok),
              "('profile1',)");
    // The page has finished connecting before the switch is asked for.
    ASSERT_TRUE(keyboard.WaitForFrames(1, 5000));
    QTest::qWait(1500);

    BusMonitor monitor(bus.Address(), DesktopBus::kService);
    ASSERT_TRUE(monitor.Started());
    QTest::qWait(300);

    keyboard.ClearFrameLog();
    const QString used =
        Gdbus(bus.Address(), {"com.NorlaKeys.NK7X.Control1.UseProfile", "keyboard", "PROFILE2"}, &ok);
    EXPECT_TRUE(ok) << used.toStdString();
    EXPECT_EQ(Gdbus(bus.Address(), {"com.NorlaKeys.NK7X.Control1.ActiveProfile", "keyboard"}, &ok),
              "('profile2',)");
    const auto colour = [&keyboard] {
        const std::vector<uint8_t> p = keyboard.Parameters();
        return std::vector<uint8_t>(p.begin() + 6, p.begin() + 9);
    };
    t.restart();
    while (t.elapsed() < 5000 && colour() != std::vector<uint8_t>{0x12, 0x34, 0x56})
        QTest::qWait(50);
    const std::vector<uint8_t> params = keyboard.Parameters();
    EXPECT_EQ(params[1], 2) << "the new profile's lighting mode";
    EXPECT_EQ(std::vector<uint8_t>(params.begin() + 6, params.begin() + 9),
              (std::vector<uint8_t>{0x12, 0x34, 0x56}));
    const QByteArray heard = monitor.WaitFor("ActiveProfileChanged", 5000);
    EXPECT_TRUE(heard.contains("com.NorlaKeys.NK7X.Control1.ActiveProfileChanged ('keyboard', 'profile2')"))
        << heard.toStdString();

    // A new profile from the default; the active one stays.
    EXPECT_EQ(Gdbus(bus.Address(), {"com.NorlaKeys.NK7X.Control1.AddProfile", "keyboard", "Racing", ""}, &ok),
              "()");
    EXPECT_EQ(Gdbus(bus.Address(), {"com.NorlaKeys.NK7X.Control1.Profiles", "keyboard"}, &ok),
              "(['profile1', 'profile2', 'Racing'],)");
    const QString taken =
        Gdbus(bus.Address(), {"com.NorlaKeys.NK7X.Control1.AddProfile", "keyboard", "racing", ""}, &ok);
    EXPECT_FALSE(ok);
    EXPECT_TRUE(taken.contains("has a profile \"racing\" already")) << taken.toStdString();

    // Wrong arguments: a clear error, and nothing changes.
    const QString noProfile =
        Gdbus(bus.Address(), {"com.NorlaKeys.NK7X.Control1.UseProfile", "keyboard", "gaming"}, &ok);
    EXPECT_FALSE(ok);
    EXPECT_TRUE(noProfile.contains("com.NorlaKeys.NK7X.Error.UnknownProfile")) << noProfile.toStdString();
    EXPECT_TRUE(noProfile.contains("the keyboard has no profile \"gaming\"")) << noProfile.toStdString();
    const QString noKind = Gdbus(bus.Address(), {"com.NorlaKeys.NK7X.Control1.Profiles", "toaster"}, &ok);
    EXPECT_FALSE(ok);
    EXPECT_TRUE(noKind.contains("com.NorlaKeys.NK7X.Error.UnknownKind")) << noKind.toStdString();
    const QString noMouse = Gdbus(bus.Address(), {"com.NorlaKeys.NK7X.Control1.ActiveProfile", "mouse"}, &ok);
    EXPECT_FALSE(ok);
    EXPECT_TRUE(noMouse.contains("com.NorlaKeys.NK7X.Error.NoDevice")) << noMouse.toStdString();
    EXPECT_EQ(Gdbus(bus.Address(), {"com.NorlaKeys.NK7X.Control1.ActiveProfile", "keyboard"}, &ok),
              "('profile2',)");

    // Lighting as the panel sets it: into the device and the active profile's file.
    const QString lit = Gdbus(bus.Address(),
                              {"com.NorlaKeys.NK7X.Control1.SetLighting", "keyboard",
                               "{'mode': <'static'>, 'color': <'#FF8000'>, 'brightness': <4>}"},
                              &ok);
    EXPECT_TRUE(ok) << lit.toStdString();
    t.restart();
    while (t.elapsed() < 5000 && colour() != std::vector<uint8_t>{0xFF, 0x80, 0x00})
        QTest::qWait(50);
    EXPECT_EQ(colour(), (std::vector<uint8_t>{0xFF, 0x80, 0x00}));
    EXPECT_EQ(keyboard.Parameters()[1], 6) << "static";
    EXPECT_EQ(keyboard.Parameters()[2], 4) << "brightness";
    const QString shown = Gdbus(bus.Address(), {"com.NorlaKeys.NK7X.Control1.Lighting", "keyboard"}, &ok);
    EXPECT_TRUE(shown.contains("'mode': <'static'>") && shown.contains("'color': <'FF8000'>") &&
                shown.contains("'brightness': <4>"))
        << shown.toStdString();
    // One wrong value refuses the whole call: the mode does not change either.
    const QString badColour = Gdbus(
        bus.Address(),
        {"com.NorlaKeys.NK7X.Control1.SetLighting", "keyboard", "{'mode': <'wave'>, 'color': <'orange'>}"},
        &ok);
    EXPECT_FALSE(ok);
    EXPECT_TRUE(badColour.contains("com.NorlaKeys.NK7X.Error.InvalidArgument") &&
                badColour.contains("RRGGBB"))
        << badColour.toStdString();
    const QString badMode = Gdbus(
        bus.Address(), {"com.NorlaKeys.NK7X.Control1.SetLighting", "keyboard", "{'mode': <'disco'>}"}, &ok);
    EXPECT_FALSE(ok);
    EXPECT_TRUE(badMode.contains("no lighting mode \"disco\"") && badMode.contains("static"))
        << badMode.toStdString();
    QTest::qWait(300);
    EXPECT_EQ(keyboard.Parameters()[1], 6) << "nothing half-applied";
    {
        CKeyboardDevice stored;
        stored.SetProfileName(list.UuidAt(1));
        stored.LoadProfile();
        const LightState light = stored.Profile().GetLightInfo();
        EXPECT_EQ(light.mode, 6);
        EXPECT_EQ(std::vector<uint8_t>({light.red, light.green, light.blue}),
                  (std::vector<uint8_t>{0xFF, 0x80, 0x00}));
    }

    // nk7x-cli finds the running program and goes through it.
    const auto cli = [&](const QStringList& args, int* code) {
        return Cli(bus.Address(), simFolder, args, code);
    };
    int code = -1;
    QString said = cli({"light", "breathing"}, &code);
    EXPECT_EQ(code, 0) << said.toStdString();
    t.restart();
    while (t.elapsed() < 5000 && keyboard.Parameters()[1] != 5)
        QTest::qWait(50);
    EXPECT_EQ(keyboard.Parameters()[1], 5) << "breathing";
    EXPECT_TRUE(Gdbus(bus.Address(), {"com.NorlaKeys.NK7X.Control1.Lighting", "keyboard"}, &ok)
                    .contains("'mode': <'breathing'>"));
    said = cli({"profile", "list", "--json"}, &code);
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(said.contains("\"active\" : true,\n         \"name\" : \"profile2\"")) << said.toStdString();
    said = cli({"light", "breathing", "--brightness", "200"}, &code);
    EXPECT_EQ(code, 2) << said.toStdString();
    EXPECT_TRUE(said.contains("brightness is a whole number from 0 to")) << said.toStdString();
    said = cli({"--kind", "mouse", "profile", "list"}, &code);
    EXPECT_EQ(code, 3) << said.toStdString();
    keyboard.Stop();
}

// Report rates and the mouse's DPI stages over the bus reach the devices as the pages' controls
// send them, read back the same; values the devices cannot take are refused and change nothing.
TEST(Program, ScriptsSetReportRatesAndDpiStagesOverTheBus) {
    if (QStandardPaths::findExecutable("gdbus").isEmpty())
        GTEST_SKIP() << "gdbus is not installed";
    PrivateBus bus;
    ASSERT_FALSE(bus.Address().isEmpty()) << "no private session bus";
    ProgramRun run(bus.Address());
    const QString simFolder = run.SimFolder();
    ASSERT_FALSE(simFolder.isEmpty());
    SimOptions keyboardOptions;
    keyboardOptions.folder = simFolder.toStdString();
    SimDevice keyboard(keyboardOptions);
    ASSERT_EQ(keyboard.Start(), 1) << keyboard.LastError();
    SimOptions mouseOptions;
    mouseOptions.folder = simFolder.toStdString();
    mouseOptions.kind = SimKind::Mouse;
    SimDevice mouse(mouseOptions);
    ASSERT_EQ(mouse.Start(), 1) << mouse.LastError();
    QProcess* app = run.Start();
    ASSERT_TRUE(app->waitForStarted(5000));

    bool ok = false;
    const auto call = [&](const QStringList& args) {
        return Gdbus(bus.Address(), QStringList{"com.NorlaKeys.NK7X.Control1." + args[0]} + args.mid(1), &ok);
    };
    QElapsedTimer t;
    t.start();
    QString stages;
    // Connected and filled: the mouse has told its DPI range.
    while (t.elapsed() < 15000) {
        stages = call({"DpiStages", "mouse"});
        if (ok && stages.contains("true"))
            break;
        QTest::qWait(100);
    }
    ASSERT_TRUE(ok && stages.contains("true")) << stages.toStdString() << run.Output(app).toStdString();
    QTest::qWait(1000);

    keyboard.ClearFrameLog();
    mouse.ClearFrameLog();
    EXPECT_EQ(call({"SetReportRate", "keyboard", "500"}), "()");
    EXPECT_EQ(call({"ReportRate", "keyboard"}), "(500,)");
    EXPECT_EQ(call({"SetReportRate", "mouse", "2000"}), "()");
    EXPECT_EQ(call({"ReportRate", "mouse"}), "(2000,)");
    EXPECT_EQ(call({"SetDpiStage", "mouse", "2", "1600"}), "()");
    const QString after = call({"DpiStages", "mouse"});
    EXPECT_TRUE(after.contains(", 1600, ")) << after.toStdString();
    t.restart();
    const auto settingsWrites = [](const SimDevice& d) {
        int n = 0;
        for (const SimFrameRecord& f : d.FrameLog())
            n += f.command == 6 ? 1 : 0;
        return n;
    };
    while (t.elapsed() < 5000 && (settingsWrites(keyboard) < 1 || settingsWrites(mouse) < 2))
        QTest::qWait(50);
    EXPECT_GE(settingsWrites(keyboard), 1) << "the keyboard got its settings record";
    EXPECT_GE(settingsWrites(mouse), 2) << "the mouse got its record for the rate and for the stage";

    // The keyboard's options, as its checks set them.
    EXPECT_EQ(call({"SetKeyboardOptions", "keyboard", "{'win-key-lock': <true>}"}), "()");
    const QString options = call({"KeyboardOptions", "keyboard"});
    EXPECT_TRUE(options.contains("'win-key-lock': <true>") && options.contains("'six-key-rollover': <false>"))
        << options.toStdString();

    // Refused, and nothing sent.
    QTest::qWait(300);
    keyboard.ClearFrameLog();
    mouse.ClearFrameLog();
    QString refused = call({"SetReportRate", "keyboard", "2000"});
    EXPECT_FALSE(ok);
    EXPECT_TRUE(refused.contains("report rates are 125, 250, 500, 1000 Hz")) << refused.toStdString();
    refused = call({"SetDpiStage", "mouse", "9", "800"});
    EXPECT_FALSE(ok);
    EXPECT_TRUE(refused.contains("the stages are 1 to 5")) << refused.toStdString();
    refused = call({"SetDpiStage", "mouse", "1", "999999"});
    EXPECT_FALSE(ok);
    EXPECT_TRUE(refused.contains("DPI; 999999 is not within")) << refused.toStdString();
    refused = call({"SetKeyboardOptions", "keyboard", "{'win-key-lock': <false>, 'turbo': <true>}"});
    EXPECT_FALSE(ok);
    EXPECT_TRUE(refused.contains("no keyboard option \"turbo\"")) << refused.toStdString();
    refused = call({"SetKeyboardOptions", "keyboard", "{'win-key-lock': <0>}"});
    EXPECT_FALSE(ok);
    EXPECT_TRUE(refused.contains("win-key-lock is true or false")) << refused.toStdString();
    refused = call({"DpiStages", "keyboard"});
    EXPECT_FALSE(ok);
    EXPECT_TRUE(refused.contains("InvalidArgument")) << refused.toStdString();
    QTest::qWait(300);
    EXPECT_EQ(settingsWrites(keyboard) + settingsWrites(mouse), 0);
    EXPECT_EQ(call({"ReportRate", "keyboard"}), "(500,)");
    EXPECT_TRUE(call({"KeyboardOptions", "keyboard"}).contains("'win-key-lock': <true>")) << "still locked";

    // The same through nk7x-cli, which finds the running program.
    int code = -1;
    QString said = Cli(bus.Address(), simFolder, {"--kind", "keyboard", "rate", "250"}, &code);
    EXPECT_EQ(code, 0) << said.toStdString();
    EXPECT_EQ(call({"ReportRate", "keyboard"}), "(250,)");
    said = Cli(bus.Address(), simFolder, {"--kind", "mouse", "dpi", "3=2400", "--json"}, &code);
    EXPECT_EQ(code, 0) << said.toStdString();
    EXPECT_TRUE(said.contains("\"dpi\" : 2400,\n         \"enabled\" : true,\n         \"stage\" : 3"))
        << said.toStdString();
    // What is connected, as other programs name it.
    said = Cli(bus.Address(), simFolder, {"devices", "--json"}, &code);
    EXPECT_EQ(code, 0) << said.toStdString();
    EXPECT_TRUE(
        said.contains("\"ids\" : \"0C45:0820\",\n         \"kind\" : \"keyboard\",\n         \"name\" : "
                      "\"NK-7X Keyboard\""))
        << said.toStdString();
    EXPECT_TRUE(said.contains("\"kind\" : \"mouse\",\n         \"name\" : \"NK-7X Mouse\""))
        << said.toStdString();

    // The stage in use, as the mouse's button would choose it; a stage that is off is refused.
    mouse.ClearFrameLog();
    said = Cli(bus.Address(), simFolder, {"--kind", "mouse", "dpi", "--active", "3", "--json"}, &code);
    EXPECT_EQ(code, 0) << said.toStdString();
    EXPECT_TRUE(said.contains("\"active\" : true,\n         \"dpi\" : 2400")) << said.toStdString();
    EXPECT_EQ(call({"ActiveDpiStage", "mouse"}), "(3,)");
    t.restart();
    while (t.elapsed() < 5000 && (mouse.SettingsRecord(0).size() < 13 || mouse.SettingsRecord(0)[12] != 2))
        QTest::qWait(50);
    ASSERT_GE(mouse.SettingsRecord(0).size(), 13u);
    EXPECT_EQ(mouse.SettingsRecord(0)[12], 2) << "the mouse works at the third stage";
    EXPECT_EQ(call({"SetDpiStageEnabled", "mouse", "5", "false"}), "()");
    refused = call({"SetActiveDpiStage", "mouse", "5"});
    EXPECT_FALSE(ok);
    EXPECT_TRUE(refused.contains("stage 5 is off")) << refused.toStdString();
    EXPECT_EQ(call({"ActiveDpiStage", "mouse"}), "(3,)");

    // Key colours from the command line: the keyboard in its custom mode, the keys painted.
    said = Cli(bus.Address(), simFolder, {"--kind", "keyboard", "keys", "w=FF0000", "esc=00FF00"}, &code);
    EXPECT_EQ(code, 0) << said.toStdString();
    EXPECT_TRUE(call({"Lighting", "keyboard"}).contains("'mode': <'custom'>"));
    said = Cli(bus.Address(), simFolder, {"--kind", "keyboard", "keys", "nokey=FF0000"}, &code);
    EXPECT_EQ(code, 2) << said.toStdString();
    EXPECT_TRUE(said.contains("no key \"nokey\"")) << said.toStdString();

    said = Cli(bus.Address(), simFolder, {"--kind", "mouse", "rate", "300"}, &code);
    EXPECT_EQ(code, 2) << said.toStdString();
    said = Cli(bus.Address(), simFolder, {"rate", "500"}, &code);
    EXPECT_EQ(code, 2) << "two devices: which one?";
    EXPECT_TRUE(said.contains("say which with --kind")) << said.toStdString();

    // Listeners hear when a device goes.
    BusMonitor monitor(bus.Address(), DesktopBus::kService);
    ASSERT_TRUE(monitor.Started());
    QTest::qWait(300);
    mouse.Stop();
    const QByteArray heard = monitor.WaitFor("DevicesChanged", 10000);
    EXPECT_TRUE(heard.contains("com.NorlaKeys.NK7X.Control1.DevicesChanged (['keyboard'],)"))
        << heard.toStdString();
    keyboard.Stop();
}
