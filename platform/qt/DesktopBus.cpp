#include "platform/qt/DesktopBus.h"

#include "platform/DebugLog.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>

namespace nk7x {

DesktopBus::DesktopBus(QObject* parent) : QObject(parent) {
    qDBusRegisterMetaType<QList<int>>();
}

DesktopBus::~DesktopBus() {
    if (!m_registered)
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterObject(QString::fromLatin1(kPath));
    bus.unregisterService(QString::fromLatin1(kService));
}

bool DesktopBus::Register() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        DebugLog("no session bus: lighting announcement, lighting request and service query are off");
        return false;
    }
    if (!bus.registerObject(QString::fromLatin1(kPath), this,
                            QDBusConnection::ExportScriptableSlots |
                                QDBusConnection::ExportScriptableSignals | QDBusConnection::ExportAdaptors)) {
        DebugLog("session bus: cannot export the desktop service object");
        return false;
    }
    if (!bus.registerService(QString::fromLatin1(kService))) {
        bus.unregisterObject(QString::fromLatin1(kPath));
        DebugLog("session bus: service name taken, lighting sharing is off");
        return false;
    }
    m_registered = true;
    return true;
}

void DesktopBus::Announce(int wParam, int lParam) {
    if (m_registered)
        emit LightingAnnouncement(wParam, lParam);
}

void DesktopBus::LightingRequest(int wParam, int lParam) {
    emit lightingRequested(wParam, lParam);
}

QList<int> DesktopBus::ServiceQuery() {
    QList<int> block = m_query ? m_query() : QList<int>();
    // Always the full block, whatever the handler produced.
    block.resize(kAnswerInts, 0);
    return block;
}

} // namespace nk7x
