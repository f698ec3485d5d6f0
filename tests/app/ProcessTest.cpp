// Runs the real program: one instance per user, and its service on a private session bus.
#include "platform/qt/DesktopBus.h"

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
#include <signal.h>

using namespace nk7x;

namespace {

QString Program() {
    return QStringLiteral(NK7X_BINARY_DIR "/bin/nk7x");
}

// A user of its own: runtime, config and data folders in a temporary directory.
class ProgramRun {
  public:
    explicit ProgramRun(const QString& bus = QStringLiteral("unix:path=/nonexistent/bus")) {
        QFile::setPermissions(m_home.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        m_env = QProcessEnvironment::systemEnvironment();
        m_env.insert("QT_QPA_PLATFORM", "offscreen");
        m_env.insert("XDG_RUNTIME_DIR", m_home.path());
        m_env.insert("XDG_CONFIG_HOME", m_home.filePath("config"));
        m_env.insert("XDG_DATA_HOME", m_home.filePath("data"));
        m_env.insert("NK7X_PROGRAM_DIR", NK7X_SOURCE_DIR);
        m_env.insert("NK7X_DEBUG", "1");
        m_env.insert("DBUS_SESSION_BUS_ADDRESS", bus);
        m_env.insert("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/system_bus");
    }
    ~ProgramRun() {
        for (QProcess* p : m_procs) {
            if (p->state() != QProcess::NotRunning) {
                p->terminate();
                if (!p->waitForFinished(3000))
                    p->kill();
                p->waitForFinished(1000);
            }
            delete p;
        }
    }
    QProcess* Start() {
        auto* p = new QProcess;
        p->setProcessEnvironment(m_env);
        p->start(Program(), {});
        m_procs.append(p);
        return p;
    }
    // Collects the process's debug output until `needle` shows up or the time runs out.
    bool WaitForLine(QProcess* p, const QByteArray& needle, int ms, int occurrences = 1) {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms) {
            m_err[p] += p->readAllStandardError();
            if (m_err[p].count(needle) >= occurrences)
                return true;
            p->waitForReadyRead(50);
        }
        m_err[p] += p->readAllStandardError();
        return m_err[p].count(needle) >= occurrences;
    }
    QByteArray Output(QProcess* p) {
        m_err[p] += p->readAllStandardError();
        return m_err[p];
    }

  private:
    QTemporaryDir m_home;
    QProcessEnvironment m_env;
    QList<QProcess*> m_procs;
    QHash<QProcess*, QByteArray> m_err;
};

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
