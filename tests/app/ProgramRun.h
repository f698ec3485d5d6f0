// The real program run as a user of its own would run it, for the tests that start it.
#pragma once

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QTemporaryDir>

namespace nk7x::test {

inline QString Program() {
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
    QProcess* Start(const QStringList& args = {}) {
        auto* p = new QProcess;
        p->setProcessEnvironment(m_env);
        p->start(Program(), args);
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

    QString Home() const { return m_home.path(); }
    // A folder of the emulated devices (mode 0700) that the program looks in; empty on failure.
    QString SimFolder() {
        const QString folder = m_home.filePath("sim");
        if (!QDir().mkpath(folder))
            return {};
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        SetEnv("NK7X_SIM_DIR", folder);
        return folder;
    }
    void SetEnv(const QString& name, const QString& value) { m_env.insert(name, value); }

  private:
    QTemporaryDir m_home;
    QProcessEnvironment m_env;
    QList<QProcess*> m_procs;
    QHash<QProcess*, QByteArray> m_err;
};

// Runs nk7x-cli against the program on `busAddress` and the emulated devices of `simFolder`: what
// it printed (output and errors), and its exit code in `code`.
inline QString Cli(const QString& busAddress, const QString& simFolder, const QStringList& args, int* code) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DBUS_SESSION_BUS_ADDRESS", busAddress);
    env.insert("NK7X_SIM_DIR", simFolder);
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(NK7X_BINARY_DIR "/bin/nk7x-cli"), args);
    if (!p.waitForFinished(15000))
        p.kill();
    *code = p.exitCode();
    return QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
}

} // namespace nk7x::test
