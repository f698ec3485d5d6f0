// Profiles that follow the application on KDE Plasma and GNOME Shell, end to end on a bus of the
// test's own: the tracker starts the desktop side through a double of KWin's scripting interface or
// of the shell's extensions service; the shipped KWin script and shell extension run under Node
// against a fake desktop (tests/app/focus/desktop_side.mjs), and each bus call they make is sent to
// the program's Focus1 adaptor typed as KWin or GDBus would type it.
#include "app/FocusBus.h"
#include "platform/qt/BusWindowTracker.h"
#include "platform/qt/DesktopBus.h"
#include "support/PrivateBus.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusVirtualObject>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMetaMethod>
#include <QMutex>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QXmlStreamReader>

#include <functional>
#include <optional>
#include <ostream>

#include <gtest/gtest.h>

namespace nk7x {
[[maybe_unused]] static void PrintTo(const ActiveApp& a, std::ostream* os) {
    *os << "{" << a.appId << ", \"" << a.title << "\", pid " << a.pid << ", exe \"" << a.executable << "\"}";
}
} // namespace nk7x

using namespace nk7x;
using nk7x::test::BusMonitor;
using nk7x::test::PrivateBus;

namespace {

const QString kKWinScript =
    QStringLiteral(NK7X_SOURCE_DIR "/packaging/kwin/nk7x-focus/contents/code/main.js");
const QString kExtension =
    QStringLiteral(NK7X_SOURCE_DIR "/packaging/gnome-shell/nk7x-focus@norlakeys/extension.js");
const QString kDesktopSide = QStringLiteral(NK7X_SOURCE_DIR "/tests/app/focus/desktop_side.mjs");
const QString kUuid = QStringLiteral("nk7x-focus@norlakeys");

ActiveApp App(const std::string& id, const std::string& title, int pid, const std::string& exe = {}) {
    ActiveApp a;
    a.appId = id;
    a.title = title;
    a.pid = pid;
    a.executable = exe;
    return a;
}

// The executable of a pid that names no process the test can read is unknown; only the test's own
// pid has one for certain.
ActiveApp WithoutForeignExecutable(ActiveApp a) {
    if (a.pid != static_cast<int>(QCoreApplication::applicationPid()))
        a.executable.clear();
    return a;
}

// A desktop service's object, answering in a thread of its own while the tracker blocks the test's
// thread on its call. `answer` gives the reply, or nothing to stay silent.
class DesktopDouble : public QDBusVirtualObject {
  public:
    using Answer = std::function<std::optional<QDBusMessage>(const QDBusMessage&)>;
    explicit DesktopDouble(Answer answer) : m_answer(std::move(answer)) {}

    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        QStringList args;
        for (const QVariant& a : message.arguments())
            args << a.toString();
        std::optional<QDBusMessage> reply;
        {
            QMutexLocker lock(&m_mutex);
            m_calls << message.member() + "(" + args.join(", ") + ")";
            reply = m_answer(message);
        }
        if (reply)
            connection.send(*reply);
        return true;
    }
    QStringList Calls() const {
        QMutexLocker lock(&m_mutex);
        return m_calls;
    }

  private:
    mutable QMutex m_mutex;
    Answer m_answer;
    QStringList m_calls;
};

// The program's side and a desktop's side of one private bus, each on a connection of its own.
class Buses {
  public:
    explicit Buses(const QString& address, const QString& tag)
        : m_programName("focus-program-" + tag), m_desktopName("focus-desktop-" + tag),
          m_program(QDBusConnection::connectToBus(address, m_programName)),
          m_desktop(QDBusConnection::connectToBus(address, m_desktopName)) {
        m_thread.start();
        m_focus = new FocusBus(&m_programObject);
        m_program.registerObject(QString::fromLatin1(DesktopBus::kPath), &m_programObject,
                                 QDBusConnection::ExportAdaptors);
        m_program.registerService(QString::fromLatin1(DesktopBus::kService));
    }
    ~Buses() {
        for (const auto& [path, name] : m_offered) {
            m_desktop.unregisterObject(path);
            m_desktop.unregisterService(name);
        }
        m_thread.quit();
        m_thread.wait();
        m_doubles.clear();
        m_program.unregisterObject(QString::fromLatin1(DesktopBus::kPath));
        QDBusConnection::disconnectFromBus(m_programName);
        QDBusConnection::disconnectFromBus(m_desktopName);
    }
    bool Connected() const { return m_program.isConnected() && m_desktop.isConnected(); }
    QDBusConnection& Program() { return m_program; }
    QDBusConnection& Desktop() { return m_desktop; }
    FocusBus& Focus() { return *m_focus; }

    // A desktop service at `path` under the name `service`.
    DesktopDouble& Offer(const QString& service, const QString& path, DesktopDouble::Answer answer) {
        m_doubles.push_back(std::make_unique<DesktopDouble>(std::move(answer)));
        DesktopDouble& d = *m_doubles.back();
        d.moveToThread(&m_thread);
        EXPECT_TRUE(m_desktop.registerVirtualObject(path, &d));
        EXPECT_TRUE(m_desktop.registerService(service));
        m_offered.emplace_back(path, service);
        return d;
    }
    void Withdraw(const QString& service, const QString& path) {
        m_desktop.unregisterObject(path);
        m_desktop.unregisterService(service);
        std::erase(m_offered, std::make_pair(path, service));
    }

    // Sends a call as the desktop side makes it and waits for the answer; an error answer (a
    // method, signature, interface or object the program does not have) fails the test.
    void Call(const QString& service, const QString& path, const QString& interface, const QString& method,
              const QVariantList& args) {
        QDBusMessage call = QDBusMessage::createMethodCall(service, path, interface, method);
        call.setArguments(args);
        QDBusPendingCall pending = m_desktop.asyncCall(call, 5000);
        ASSERT_TRUE(QTest::qWaitFor([&] { return pending.isFinished(); }, 6000)) << method.toStdString();
        EXPECT_FALSE(pending.isError()) << method.toStdString() << " " << call.signature().toStdString()
                                        << ": " << pending.error().message().toStdString();
    }

  private:
    QString m_programName;
    QString m_desktopName;
    QDBusConnection m_program;
    QDBusConnection m_desktop;
    QObject m_programObject;
    FocusBus* m_focus = nullptr;
    QThread m_thread;
    std::vector<std::unique_ptr<DesktopDouble>> m_doubles;
    std::vector<std::pair<QString, QString>> m_offered;
};

QDBusMessage Reply(const QDBusMessage& call, const QVariantList& args) {
    QDBusMessage r = call.createReply();
    r.setArguments(args);
    return r;
}

// KWin's scripting interface as far as the tracker uses it: a plugin name loads once.
DesktopDouble& OfferKWin(Buses& b, bool staleScriptLoaded = false) {
    auto loaded = std::make_shared<QSet<QString>>();
    if (staleScriptLoaded)
        loaded->insert(QString::fromLatin1(BusWindowTracker::kKWinPluginName));
    return b.Offer(
        "org.kde.KWin", "/Scripting", [loaded](const QDBusMessage& m) -> std::optional<QDBusMessage> {
            if (m.interface() != "org.kde.kwin.Scripting")
                return m.createErrorReply(QDBusError::UnknownInterface, m.interface());
            const QString plugin = m.arguments().value(m.member() == "loadScript" ? 1 : 0).toString();
            if (m.member() == "loadScript" && m.signature() == "ss") {
                if (loaded->contains(plugin))
                    return Reply(m, {-1});
                loaded->insert(plugin);
                return Reply(m, {static_cast<int>(loaded->size())});
            }
            if (m.member() == "unloadScript" && m.signature() == "s")
                return Reply(m, {loaded->remove(plugin)});
            if (m.member() == "start" && m.signature().isEmpty())
                return m.createReply();
            return m.createErrorReply(QDBusError::UnknownMethod, m.member() + "(" + m.signature() + ")");
        });
}

// The shell's extensions service, knowing the extension in `state` (nothing: not at all).
DesktopDouble& OfferShell(Buses& b, std::optional<double> state, const QString& error = {}) {
    return b.Offer("org.gnome.Shell.Extensions", "/org/gnome/Shell/Extensions",
                   [state, error](const QDBusMessage& m) -> std::optional<QDBusMessage> {
                       if (m.interface() != "org.gnome.Shell.Extensions" ||
                           m.member() != "GetExtensionInfo" || m.signature() != "s")
                           return m.createErrorReply(QDBusError::UnknownMethod, m.member());
                       QVariantMap info;
                       if (state && m.arguments().value(0).toString() == kUuid) {
                           info["uuid"] = kUuid;
                           info["state"] = *state; // a double, as the shell sends it
                           info["error"] = error;
                       }
                       return Reply(m, {info});
                   });
}

// The desktop side's output for `mode` (kwin5, kwin6, gnome); empty, with a failure, when it broke.
QByteArray RunDesktopSide(const QString& mode, const QString& script) {
    QProcess node;
    node.start(QStringLiteral("node"),
               {kDesktopSide, mode, script, QString::number(QCoreApplication::applicationPid())});
    EXPECT_TRUE(node.waitForFinished(30000));
    const QByteArray err = node.readAllStandardError();
    EXPECT_EQ(node.exitCode(), 0) << err.toStdString();
    EXPECT_TRUE(err.isEmpty()) << err.toStdString();
    return node.exitCode() == 0 ? node.readAllStandardOutput() : QByteArray();
}

// A value as KWin's callDBus hands a script's argument to the bus: a whole number as int, other
// numbers as double, an array as a list of variants ("av").
QVariant AsKWinSendsIt(const QJsonValue& v) {
    if (v.isArray()) {
        QVariantList list;
        for (const QJsonValue& e : v.toArray())
            list << AsKWinSendsIt(e);
        return list;
    }
    if (v.isDouble()) {
        const double d = v.toDouble();
        return d == static_cast<int>(d) ? QVariant(static_cast<int>(d)) : QVariant(d);
    }
    return v.toVariant();
}

// The arguments as GDBus sends them for the GVariant signature the extension gave.
QVariantList AsGDBusSendsIt(const QString& signature, const QJsonArray& args) {
    QVariantList out;
    int arg = 0;
    for (int i = 0; i < signature.size(); ++i, ++arg) {
        const QJsonValue v = args.at(arg);
        if (signature[i] == 's') {
            out << v.toString();
        } else if (signature[i] == 'i') {
            out << v.toInt();
        } else if (signature.mid(i, 2) == "av") {
            QVariantList list;
            for (const QJsonValue& e : v.toArray())
                list << e.toString();
            out << QVariant(list);
            ++i;
        } else {
            ADD_FAILURE() << "no conversion for the signature " << signature.toStdString();
        }
    }
    return out;
}

// Sends every call the desktop side printed; `atStep` runs where each step begins.
void Replay(Buses& b, const QByteArray& output, const std::function<void(const std::string&)>& atStep) {
    for (const QByteArray& line : output.split('\n')) {
        if (line.trimmed().isEmpty())
            continue;
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        if (o.contains("step")) {
            atStep(o["step"].toString().toStdString());
            continue;
        }
        const QJsonObject c = o["call"].toObject();
        ASSERT_FALSE(c.isEmpty()) << line.toStdString();
        QVariantList args;
        if (c.contains("signature")) {
            args = AsGDBusSendsIt(c["signature"].toString(), c["args"].toArray());
        } else {
            for (const QJsonValue& v : c["args"].toArray())
                args << AsKWinSendsIt(v);
        }
        b.Call(c["service"].toString(), c["path"].toString(), c["interface"].toString(),
               c["method"].toString(), args);
    }
}

bool Prerequisites(const PrivateBus& bus, std::string* missing) {
    if (bus.Address().isEmpty())
        *missing = "dbus-daemon is not installed";
    else if (QStandardPaths::findExecutable("node").isEmpty())
        *missing = "node is not installed";
    return missing->empty();
}

struct Heard {
    std::string step;
    ActiveApp app;
    bool operator==(const Heard& o) const { return step == o.step && app == o.app; }
    friend void PrintTo(const Heard& h, std::ostream* os) {
        *os << h.step << ": ";
        PrintTo(h.app, os);
    }
};

std::vector<std::string> Ids(const std::vector<ActiveApp>& apps) {
    std::vector<std::string> ids;
    for (const ActiveApp& a : apps)
        ids.push_back(a.appId);
    return ids;
}

// Methods and signals of `interface` in introspection XML, as "name(signature)" ("signal " first).
QStringList Members(const QString& xml, const QString& interface) {
    QStringList members;
    QXmlStreamReader r(xml);
    bool inside = false;
    QString current;
    QString signature;
    while (!r.atEnd()) {
        r.readNext();
        const QString name = r.name().toString();
        if (r.isStartElement() && name == "interface")
            inside = r.attributes().value("name") == interface;
        else if (r.isEndElement() && name == "interface")
            inside = false;
        if (!inside)
            continue;
        if (r.isStartElement() && (name == "method" || name == "signal")) {
            current = (name == "signal" ? "signal " : "") + r.attributes().value("name").toString();
            signature.clear();
        } else if (r.isStartElement() && name == "arg") {
            signature += r.attributes().value("type").toString();
        } else if (r.isEndElement() && (name == "method" || name == "signal")) {
            members << current + "(" + signature + ")";
        }
    }
    members.sort();
    return members;
}

} // namespace

// The tracker loads the program's script into KWin (first unloading one a crashed run left there),
// the script's reports on Plasma 5 and 6 reach the listener once per change, the open apps follow
// the windows, and Stop unloads the script and silences the listener.
TEST(FocusBusTest, KWinScriptReportsReachTheTracker) {
    PrivateBus bus;
    std::string missing;
    if (!Prerequisites(bus, &missing))
        GTEST_SKIP() << missing;
    const int ownPid = static_cast<int>(QCoreApplication::applicationPid());
    const std::string ownExe = QFileInfo(QCoreApplication::applicationFilePath()).fileName().toStdString();
    for (const QString plasma : {"kwin5", "kwin6"}) {
        SCOPED_TRACE(plasma.toStdString());
        Buses b(bus.Address(), plasma);
        ASSERT_TRUE(b.Connected());
        DesktopDouble& kwin = OfferKWin(b, /*staleScriptLoaded=*/plasma == "kwin5");
        BusWindowTracker tracker(TrackerKind::KWin, kKWinScript, b.Program());
        b.Focus().SetTracker(&tracker);
        EXPECT_EQ(tracker.Kind(), TrackerKind::KWin);
        EXPECT_EQ(tracker.Name(), "KDE Plasma");

        std::string step = "before";
        std::vector<Heard> heard;
        std::string why;
        ASSERT_TRUE(tracker.Start(
            [&](const ActiveApp& a) {
                heard.push_back({step, WithoutForeignExecutable(a)});
            },
            &why))
            << why;
        EXPECT_EQ(kwin.Calls(), QStringList({"unloadScript(nk7x-focus)",
                                             "loadScript(" + kKWinScript + ", nk7x-focus)", "start()"}));

        std::map<std::string, std::vector<std::string>> openAt;
        std::vector<ActiveApp> openAtEnd;
        Replay(b, RunDesktopSide(plasma, kKWinScript), [&](const std::string& next) {
            openAt[step] = Ids(tracker.OpenApps());
            step = next;
            if (next == "end")
                openAtEnd = tracker.OpenApps();
        });
        EXPECT_EQ(heard, (std::vector<Heard>{
                             {"start", App("org.kde.konsole", "~ : bash", 101)},
                             {"firefox in front", App("firefox", "News — Mozilla Firefox", 202)},
                             {"gimp opens", App("gimp", "GNU Image Manipulation Program", ownPid, ownExe)},
                         }));
        EXPECT_EQ(openAt["start"], (std::vector<std::string>{"org.kde.konsole", "firefox"}));
        EXPECT_EQ(openAt["gimp opens"], (std::vector<std::string>{"org.kde.konsole", "firefox", "gimp"}));
        EXPECT_EQ(openAt["konsole closes"], (std::vector<std::string>{"firefox", "gimp"}));
        ASSERT_EQ(openAtEnd.size(), 2u);
        EXPECT_EQ(WithoutForeignExecutable(openAtEnd[0]), App("firefox", "News — Mozilla Firefox", 202));
        EXPECT_EQ(openAtEnd[1], App("gimp", "GNU Image Manipulation Program", ownPid, ownExe));

        tracker.Stop();
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return kwin.Calls().size() == 4 && kwin.Calls().last() == "unloadScript(nk7x-focus)"; },
            3000))
            << kwin.Calls().join("; ").toStdString();
        b.Call(DesktopBus::kService, DesktopBus::kPath, FocusBus::kInterface, "WindowActivated",
               {QString("org.kde.konsole"), QString("~"), 101});
        EXPECT_EQ(heard.size(), 3u) << "a report after Stop";
        EXPECT_TRUE(tracker.OpenApps().empty());
        b.Focus().SetTracker(nullptr);
    }
}

// The tracker finds the extension enabled, asks it for reports over the bus, and the extension's
// reports reach the listener once per change, sent only while the program is on the bus.
TEST(FocusBusTest, GnomeExtensionReportsReachTheTracker) {
    PrivateBus bus;
    std::string missing;
    if (!Prerequisites(bus, &missing))
        GTEST_SKIP() << missing;
    const int ownPid = static_cast<int>(QCoreApplication::applicationPid());
    const std::string ownExe = QFileInfo(QCoreApplication::applicationFilePath()).fileName().toStdString();
    Buses b(bus.Address(), "gnome");
    ASSERT_TRUE(b.Connected());
    DesktopDouble& shell = OfferShell(b, 1.0);
    BusWindowTracker tracker(TrackerKind::Gnome, kUuid, b.Program());
    b.Focus().SetTracker(&tracker);
    EXPECT_EQ(tracker.Name(), "GNOME Shell");

    BusMonitor monitor(bus.Address(), DesktopBus::kService);
    ASSERT_TRUE(monitor.Started());
    // Subscribed once it has found the program's name and hears what the program sends: a probe
    // signal goes out until the monitor prints it, so the signal the start sends cannot be missed.
    ASSERT_TRUE(monitor.WaitFor("is owned by", 5000).contains("is owned by"));
    bool listening = false;
    for (int i = 0; i < 50 && !listening; ++i) {
        b.Program().send(QDBusMessage::createSignal(QStringLiteral("/com/NorlaKeys/NK7X"),
                                                    QStringLiteral("com.NorlaKeys.NK7X.Probe"),
                                                    QStringLiteral("Ready")));
        listening = monitor.WaitFor("com.NorlaKeys.NK7X.Probe.Ready", 100).contains("Probe.Ready");
    }
    ASSERT_TRUE(listening) << "the monitor hears the program";
    std::string step = "before";
    std::vector<Heard> heard;
    std::string why;
    ASSERT_TRUE(tracker.Start(
        [&](const ActiveApp& a) {
            heard.push_back({step, WithoutForeignExecutable(a)});
        },
        &why))
        << why;
    EXPECT_EQ(shell.Calls(), QStringList({"GetExtensionInfo(nk7x-focus@norlakeys)"}));
    const QByteArray asked = monitor.WaitFor("com.NorlaKeys.NK7X.Focus1.ReportsWanted", 5000);
    EXPECT_TRUE(asked.contains("/com/NorlaKeys/NK7X: com.NorlaKeys.NK7X.Focus1.ReportsWanted"))
        << "the extension is asked for reports: " << asked.toStdString();

    std::map<std::string, std::vector<std::string>> openAt;
    std::vector<ActiveApp> openAtEnd;
    Replay(b, RunDesktopSide("gnome", kExtension), [&](const std::string& next) {
        openAt[step] = Ids(tracker.OpenApps());
        step = next;
        if (next == "end")
            openAtEnd = tracker.OpenApps();
    });
    EXPECT_EQ(heard, (std::vector<Heard>{
                         {"the program appears", App("firefox", "News", 202)},
                         {"the console in front", App("org.gnome.Console", "~", 101)},
                         {"gimp opens", App("org.gimp.GIMP", "GIMP", ownPid, ownExe)},
                     }));
    EXPECT_TRUE(openAt["enabled, the program not on the bus"].empty());
    EXPECT_EQ(openAt["the program appears"],
              (std::vector<std::string>{"org.gnome.Console", "firefox", "XTerm"}));
    EXPECT_EQ(openAt["the console closes"], (std::vector<std::string>{"firefox", "XTerm", "org.gimp.GIMP"}));
    ASSERT_EQ(openAtEnd.size(), 3u);
    EXPECT_EQ(WithoutForeignExecutable(openAtEnd[0]), App("firefox", "News", 202));
    EXPECT_EQ(openAtEnd[1], App("XTerm", "", 0));
    EXPECT_EQ(openAtEnd[2], App("org.gimp.GIMP", "GIMP", ownPid, ownExe));
    tracker.Stop();
    b.Focus().SetTracker(nullptr);
}

// Start fails, in words the user can act on and within the time limit, when the desktop lacks what
// the tracker needs or does not answer.
TEST(FocusBusTest, StartFailuresSayWhy) {
    PrivateBus bus;
    if (bus.Address().isEmpty())
        GTEST_SKIP() << "dbus-daemon is not installed";
    Buses b(bus.Address(), "failures");
    ASSERT_TRUE(b.Connected());
    const auto startFails = [&](TrackerKind kind, const QString& target) {
        BusWindowTracker tracker(kind, target, b.Program());
        std::string why;
        QElapsedTimer t;
        t.start();
        EXPECT_FALSE(tracker.Start([](const ActiveApp&) {}, &why));
        EXPECT_LT(t.elapsed(), BusWindowTracker::kAnswerMs + 700) << why;
        return why;
    };

    EXPECT_EQ(startFails(TrackerKind::KWin, kKWinScript), "KWin is not running on this session bus");
    EXPECT_EQ(startFails(TrackerKind::Gnome, kUuid), "GNOME Shell is not running on this session bus");
    EXPECT_NE(startFails(TrackerKind::KWin, "/nonexistent/main.js").find("KWin script is missing"),
              std::string::npos);

    OfferShell(b, 2.0);
    EXPECT_EQ(startFails(TrackerKind::Gnome, kUuid),
              "the desktop extension nk7x-focus@norlakeys is installed but not enabled: enable it with "
              "`gnome-extensions enable nk7x-focus@norlakeys` and log in again");
    b.Withdraw("org.gnome.Shell.Extensions", "/org/gnome/Shell/Extensions");
    OfferShell(b, std::nullopt);
    const std::string notInstalled = startFails(TrackerKind::Gnome, kUuid);
    EXPECT_EQ(notInstalled.find("the desktop extension nk7x-focus@norlakeys is not installed"), 0u)
        << notInstalled;
    b.Withdraw("org.gnome.Shell.Extensions", "/org/gnome/Shell/Extensions");
    OfferShell(b, 3.0, "SyntaxError: missing ; before statement");
    EXPECT_NE(startFails(TrackerKind::Gnome, kUuid).find("failed in GNOME Shell: SyntaxError"),
              std::string::npos);
    b.Withdraw("org.gnome.Shell.Extensions", "/org/gnome/Shell/Extensions");

    // Desktops that take the call and never answer.
    const auto silent = [](const QDBusMessage&) -> std::optional<QDBusMessage> { return std::nullopt; };
    b.Offer("org.gnome.Shell.Extensions", "/org/gnome/Shell/Extensions", silent);
    b.Offer("org.kde.KWin", "/Scripting", silent);
    EXPECT_EQ(startFails(TrackerKind::Gnome, kUuid), "GNOME Shell did not answer within 2 s");
    EXPECT_EQ(startFails(TrackerKind::KWin, kKWinScript), "KWin did not answer within 2 s");
}

// The shipped JavaScript parses, calls the program where it listens, and names only members the
// adaptor has; the documented interface is the exported one.
TEST(FocusBusTest, ShippedScriptsMatchTheAdaptor) {
    if (QStandardPaths::findExecutable("node").isEmpty())
        GTEST_SKIP() << "node is not installed";
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const QString module = tmp.filePath("extension.mjs");
    ASSERT_TRUE(QFile::copy(kExtension, module));
    for (const QString& file : {kKWinScript, module}) {
        QProcess node;
        node.start("node", {"--check", file});
        ASSERT_TRUE(node.waitForFinished(30000));
        EXPECT_EQ(node.exitCode(), 0)
            << file.toStdString() << ": " << node.readAllStandardError().toStdString();
    }

    QStringList adaptorMembers;
    const QMetaObject& meta = FocusBus::staticMetaObject;
    for (int i = meta.methodOffset(); i < meta.methodCount(); ++i)
        adaptorMembers << QString::fromLatin1(meta.method(i).name());
    for (const QString& file : {kKWinScript, kExtension}) {
        SCOPED_TRACE(file.toStdString());
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(f.readAll());
        for (const char* name : {DesktopBus::kService, DesktopBus::kPath, FocusBus::kInterface})
            EXPECT_TRUE(text.contains(QString("'%1'").arg(name)) ||
                        text.contains(QString("\"%1\"").arg(name)))
                << name;
        // Every quoted member name the script uses is the adaptor's, and it reports through all.
        QStringList used;
        static const QRegularExpression quoted(R"(['"]([A-Z][A-Za-z]+)['"])");
        for (auto it = quoted.globalMatch(text); it.hasNext();)
            used << it.next().captured(1);
        for (const QString& name : used)
            EXPECT_TRUE(adaptorMembers.contains(name))
                << name.toStdString() << " is not a member of the adaptor";
        for (const char* name : {"WindowActivated", "WindowClosed", "OpenApps"})
            EXPECT_TRUE(used.contains(name)) << name;
    }

    // The documented interface against the exported one.
    PrivateBus bus;
    if (bus.Address().isEmpty())
        GTEST_SKIP() << "dbus-daemon is not installed";
    Buses b(bus.Address(), "introspect");
    ASSERT_TRUE(b.Connected());
    QDBusMessage call = QDBusMessage::createMethodCall(DesktopBus::kService, DesktopBus::kPath,
                                                       "org.freedesktop.DBus.Introspectable", "Introspect");
    QDBusPendingCall pending = b.Desktop().asyncCall(call, 5000);
    ASSERT_TRUE(QTest::qWaitFor([&] { return pending.isFinished(); }, 6000));
    ASSERT_FALSE(pending.isError()) << pending.error().message().toStdString();
    const QStringList exported =
        Members(pending.reply().arguments().value(0).toString(), FocusBus::kInterface);
    QFile doc(QStringLiteral(NK7X_SOURCE_DIR "/docs/dbus/com.NorlaKeys.NK7X.xml"));
    ASSERT_TRUE(doc.open(QIODevice::ReadOnly));
    EXPECT_EQ(Members(QString::fromUtf8(doc.readAll()), FocusBus::kInterface), exported);
    EXPECT_EQ(exported, QStringList({"OpenApps(av)", "WindowActivated(ssi)", "WindowClosed(s)",
                                     "signal ReportsWanted()"}));
}
