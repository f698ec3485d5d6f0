#include "app/FocusBus.h"

#include "platform/qt/BusWindowTracker.h"

#include <string>
#include <vector>

namespace nk7x {

FocusBus::FocusBus(QObject* busObject) : QDBusAbstractAdaptor(busObject) {
    setAutoRelaySignals(false);
}

void FocusBus::SetTracker(BusWindowTracker* tracker) {
    disconnect(m_wanted);
    m_tracker = tracker;
    if (tracker)
        m_wanted = connect(tracker, &BusWindowTracker::reportsWanted, this, &FocusBus::ReportsWanted);
}

void FocusBus::WindowActivated(const QString& appId, const QString& title, int pid) {
    if (!m_tracker)
        return;
    ActiveApp app;
    app.appId = appId.toStdString();
    app.title = title.toStdString();
    app.pid = pid > 0 ? pid : 0;
    m_tracker->Report(app);
}

void FocusBus::WindowClosed(const QString& appId) {
    if (m_tracker)
        m_tracker->Closed(appId.toStdString());
}

void FocusBus::OpenApps(const QVariantList& appIds) {
    if (!m_tracker)
        return;
    std::vector<std::string> ids;
    ids.reserve(static_cast<size_t>(appIds.size()));
    for (const QVariant& id : appIds)
        ids.push_back(id.toString().toStdString());
    m_tracker->ReportOpen(ids);
}

} // namespace nk7x
