// The main window's side of the profiles that follow the application in front: it makes the
// following (AppProfiles), asks the desktop for window tracking once some binding or default
// profile wants it, says which tracking is in use, and opens the bindings window of the profile
// shown.
#pragma once

#include <QPointer>
#include <QString>

#include <functional>
#include <memory>

namespace nk7x {

class AppProfiles;
class CAppBindingsWnd;
class CDeviceBase;
class CDeviceProfileUI;
class DeviceHost;
class FocusBus;
class LanguageTexts;
class UiWindow;

struct AppFollowingContext {
    UiWindow* window = nullptr; // owner of the bindings window, which takes its scale
    const LanguageTexts* texts = nullptr;
    DeviceHost* host = nullptr; // the pages, and the one shown
    // The panel's switch to profile `index` (ProfileRoutes::SwitchTo).
    std::function<bool(CDeviceProfileUI& panel, CDeviceBase* device, int index)> switchTo;
    FocusBus* focus = nullptr; // the desktop's focus reports; null without the session bus
    QString programFolder;     // holds the KWin script
    bool followApps = true;    // off: the desktop is never asked
};

class AppFollowing {
  public:
    explicit AppFollowing(AppFollowingContext context);
    ~AppFollowing();

    AppProfiles* Profiles() const { return m_profiles.get(); }
    // Starts the window tracking once some device kind has a binding or a default profile.
    void EnsureTracking();
    // Which tracking method is in use, or why none is (the settings window's line).
    QString TrackingState() const;
    // "Use for applications…" for the profile shown; null when no page with a profile is shown.
    CAppBindingsWnd* OpenBindings();
    // Follows no more (the window is shutting down).
    void Stop();

  private:
    AppFollowingContext m_ctx;
    std::unique_ptr<AppProfiles> m_profiles;
    bool m_trackingTried = false;
    QPointer<CAppBindingsWnd> m_bindingsWnd;
};

} // namespace nk7x
