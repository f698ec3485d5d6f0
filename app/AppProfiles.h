// Profiles that follow the application in front: the window tracker the desktop offers, each
// family's bindings (profiles/AppBindings), and the switch each device makes when another
// application comes to the front, done as the profile panel does it. A switch the user makes by
// hand holds until the application in front changes again.
#pragma once

#include "platform/WindowTracker.h"
#include "profiles/AppBindings.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <array>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "link/DeviceKind.h"

namespace nk7x {

class CBrindovaUSBDevice;
class CDeviceBase;
class CDeviceProfileUI;

struct AppProfilesContext {
    // Every page, in the window's order.
    std::function<std::vector<CBrindovaUSBDevice*>()> pages;
    // The panel's switch to profile `index` (ProfileRoutes::SwitchTo).
    std::function<bool(CDeviceProfileUI& panel, CDeviceBase* device, int index)> switchTo;
    // The folder of a family's profiles, with a trailing '/' (where its bindings file lives).
    std::function<std::string(DeviceFamily)> kindFolder;
};

class AppProfiles : public QObject {
    Q_OBJECT
  public:
    explicit AppProfiles(AppProfilesContext context, QObject* parent = nullptr);
    ~AppProfiles() override;

    // Starts following with `tracker` (null: none is available, `why` says why). Takes it over.
    void Start(std::unique_ptr<IWindowTracker> tracker, const std::string& why);
    void Stop();
    // The method in use ("X11", ...) or empty, and why none is.
    QString TrackerName() const;
    QString NoTrackerReason() const { return m_why; }
    std::vector<ActiveApp> OpenApps();
    const ActiveApp& Current() const { return m_current; }

    // A family's bindings: read from its file on first use, then kept, so a focus change reads no
    // file; the changes below write the file and the copy kept together.
    const AppBindings& Bindings(DeviceFamily family) const;
    // Changes, written at once; false when the file could not be written (nothing changed then)
    // or the argument is refused.
    bool Bind(DeviceFamily family, const std::string& app, const std::string& profileUuid);
    bool Unbind(DeviceFamily family, const std::string& app);
    bool SetDefault(DeviceFamily family, const std::string& profileUuid);

    // The application in front changed (on the toolkit's thread): each device takes its profile.
    void Follow(const ActiveApp& app);

  signals:
    // A device was switched because of the application in front (measurement, tests).
    void followed(const QString& family, const QString& profileUuid);

  private:
    std::string BindingsPath(DeviceFamily family) const;

    AppProfilesContext m_ctx;
    std::unique_ptr<IWindowTracker> m_tracker;
    QString m_why;
    ActiveApp m_current;
    // Per family: the profile in use before a binding switched it, to return to when no binding
    // matches and no default is set.
    std::map<DeviceFamily, std::string> m_returnTo;
    mutable std::map<DeviceFamily, AppBindings> m_bindings;
};

} // namespace nk7x
