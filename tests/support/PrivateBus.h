// A session bus of the test's own: a dbus-daemon for the object's life, its address to hand to the
// program and the clients; empty when dbus-daemon cannot be started.
#pragma once

#include <QByteArray>
#include <QProcess>
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

} // namespace nk7x::test
