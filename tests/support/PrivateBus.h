// A session bus of the test's own: a dbus-daemon for the object's life, its address to hand to the
// program and the clients; empty when dbus-daemon cannot be started.
#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QString>

namespace nk7x::test {

class PrivateBus {
  public:
    PrivateBus() {
        const QString daemon = QStandardPaths::findExecutable("dbus-daemon");
        if (daemon.isEmpty())
            return;
        m_bus.start(daemon, {"--session", "--nofork", "--print-address=1"});
        if (!m_bus.waitForStarted(5000))
            return;
        for (int i = 0; i < 100 && !m_address.contains('\n'); ++i) {
            m_bus.waitForReadyRead(50);
            m_address += m_bus.readAllStandardOutput();
        }
        m_address = m_address.trimmed();
    }
    ~PrivateBus() {
        m_bus.terminate();
        m_bus.waitForFinished(3000);
    }
    QString Address() const { return QString::fromUtf8(m_address); }

  private:
    QProcess m_bus;
    QByteArray m_address;
};

// `gdbus monitor` on a bus, listening to one service's signals from its start until destruction.
class BusMonitor {
  public:
    BusMonitor(const QString& address, const QString& service) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DBUS_SESSION_BUS_ADDRESS", address);
        m_monitor.setProcessEnvironment(env);
        m_monitor.start("gdbus", {"monitor", "--session", "--dest", service});
        m_started = m_monitor.waitForStarted(5000);
    }
    ~BusMonitor() {
        m_monitor.kill();
        m_monitor.waitForFinished(1000);
    }
    bool Started() const { return m_started; }
    // Everything heard, once `text` is among it or `ms` have passed.
    QByteArray WaitFor(const QByteArray& text, int ms) {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms && !m_heard.contains(text)) {
            m_monitor.waitForReadyRead(100);
            m_heard += m_monitor.readAllStandardOutput();
        }
        return m_heard;
    }

  private:
    QProcess m_monitor;
    QByteArray m_heard;
    bool m_started = false;
};

} // namespace nk7x::test
