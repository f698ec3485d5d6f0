// The desktop's reports of the application in front, from the KWin script or the shell extension
// the program ships: an adaptor on the program's bus object ("com.NorlaKeys.NK7X.Focus1",
// docs/dbus/) that hands each to the bus-based window tracker.
#pragma once

#include <QDBusAbstractAdaptor>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariantList>

namespace nk7x {

class BusWindowTracker;

class FocusBus : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.NorlaKeys.NK7X.Focus1")
  public:
    static constexpr const char* kInterface = "com.NorlaKeys.NK7X.Focus1";

    // `busObject`: the object the program exports; the adaptor must exist before it is registered.
    explicit FocusBus(QObject* busObject);

    // Where the reports go (null: they are dropped); its starts go out as ReportsWanted.
    void SetTracker(BusWindowTracker* tracker);

  public slots:
    void WindowActivated(const QString& appId, const QString& title, int pid);
    // The app's last window closed.
    void WindowClosed(const QString& appId);
    // Every app with a window now, as strings ("av": what a KWin script's array becomes).
    void OpenApps(const QVariantList& appIds);

  signals:
    // The program wants the desktop side to report what is open and in front now.
    void ReportsWanted();

  private:
    QPointer<BusWindowTracker> m_tracker;
    QMetaObject::Connection m_wanted;
};

} // namespace nk7x
