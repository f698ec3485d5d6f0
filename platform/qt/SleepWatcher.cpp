#include "platform/qt/SleepWatcher.h"

#include "platform/DebugLog.h"

#include <QDBusConnection>

namespace nk7x {

SleepWatcher::SleepWatcher(QObject* parent) : QObject(parent) {}

bool SleepWatcher::Start() {
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        DebugLog("no system bus: suspend and resume are not followed");
        return false;
    }
    bool ok = bus.connect(QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
                          QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"),
                          this, SLOT(OnPrepareForSleep(bool)));
    if (!ok)
        DebugLog("logind not reachable: suspend and resume are not followed");
    return ok;
}

void SleepWatcher::OnPrepareForSleep(bool start) {
    if (start)
        emit suspending();
    else
        emit resumed();
}

} // namespace nk7x
