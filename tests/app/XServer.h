// An X server of the test's own (Xvfb) on a display nobody uses, for the tests that run the real
// program or a client on X11; Display() is empty when none could be started.
#pragma once

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QTest>

namespace nk7x::test {

class XServer {
  public:
    explicit XServer(const QString& screen = QStringLiteral("640x480x24")) {
        for (int n = 90; n < 140 && m_display.isEmpty(); ++n) {
            if (QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n)) ||
                QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(n)))
                continue;
            m_proc.start("Xvfb", {QStringLiteral(":%1").arg(n), "-screen", "0", screen, "-nolisten", "tcp"});
            if (!m_proc.waitForStarted(3000))
                return;
            QElapsedTimer t;
            t.start();
            while (t.elapsed() < 5000 && m_proc.state() == QProcess::Running &&
                   !QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n)))
                QTest::qWait(20);
            if (m_proc.state() == QProcess::Running &&
                QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n)))
                m_display = QStringLiteral(":%1").arg(n);
            else if (m_proc.state() != QProcess::NotRunning) {
                // Another server took the display meanwhile: the next one.
                m_proc.kill();
                m_proc.waitForFinished(3000);
            }
        }
    }
    ~XServer() {
        m_proc.terminate();
        m_proc.waitForFinished(3000);
    }
    QString Display() const { return m_display; }

  private:
    QProcess m_proc;
    QString m_display;
};

} // namespace nk7x::test
