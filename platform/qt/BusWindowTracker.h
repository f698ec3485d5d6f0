// The application in front as KDE Plasma (a KWin script the program loads) or GNOME Shell (the
// program's shell extension) tells it: both call the program's Focus1 interface on the session bus
// (app/FocusBus), which hands each report to the tracker here. Nothing polls.
#pragma once

#include "platform/WindowTracker.h"

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <string>
#include <vector>

namespace nk7x {

class BusWindowTracker : public QObject, public IWindowTracker {
    Q_OBJECT
  public:
    // The name under which KWin knows the program's script, and the extension's uuid.
    static constexpr const char* kKWinPluginName = "nk7x-focus";
    static constexpr const char* kGnomeExtensionUuid = "nk7x-focus@norlakeys";
    // The longest Start waits for the desktop, all calls together.
    static constexpr int kAnswerMs = 2000;

    // `target`: the KWin script's main.js (KWin) or the extension's uuid (Gnome). `bus`: where the
    // desktop is asked; the reports come through whichever connection exports FocusBus.
    BusWindowTracker(TrackerKind kind, QString target, QDBusConnection bus = QDBusConnection::sessionBus(),
                     QObject* parent = nullptr);
    ~BusWindowTracker() override;

    TrackerKind Kind() const override { return m_kind; }
    std::string Name() const override;
    // Blocks for at most kAnswerMs while the desktop answers.
    bool Start(Listener listener, std::string* why) override;
    void Stop() override;
    std::vector<ActiveApp> OpenApps() override;

    // The desktop's reports, on the Qt thread; ignored while stopped. An app with a window came to
    // the front (an empty app id, the desktop itself, is no application).
    void Report(const ActiveApp& app);
    // The app's last window is gone.
    void Closed(const std::string& appId);
    // Every app with a window now: what OpenApps gives from here on (with the details known).
    void ReportOpen(const std::vector<std::string>& appIds);

  signals:
    // A start: the desktop side should say what is open and in front now (a shell extension runs
    // on its own and only hears of the program through this).
    void reportsWanted();

  private:
    bool StartKWin(std::string* why);
    bool StartGnome(std::string* why);

    TrackerKind m_kind;
    QString m_target;
    QDBusConnection m_bus;
    Listener m_listener;
    bool m_running = false;
    bool m_haveLast = false;
    ActiveApp m_last;
    std::vector<ActiveApp> m_open; // in the order first seen
};

} // namespace nk7x
