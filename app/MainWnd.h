// The main window: hosts the device list and pages, the shell's workers and the desktop services,
// and wires together the tray (TrayIcon), the frame and scale (WindowChrome), who drives the
// devices' lighting (LiveLighting), the lighting server (SdkServerHost), the profiles that follow
// the application in front (AppFollowing) and the controls its layouts name (LayoutClasses).
#pragma once

#include "app/DeviceHost.h"
#include "app/Languages.h"
#include "app/LightSyncWorker.h"
#include "app/LiveLighting.h"
#include "app/SecondaryWindows.h"
#include "app/ShellPage.h"
#include "app/TrayIcon.h"
#include "app/WindowBackground.h"
#include "app/WindowChrome.h"
#include "devices/light/LightSyncHub.h"
#include "platform/SettingsStore.h"
#include "platform/WorkerSlots.h"
#include "ui/FontTable.h"
#include "ui/LanguageTexts.h"
#include "ui/NotifyRouter.h"
#include "ui/ResourceList.h"
#include "ui/UiWindow.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QMenu;
class QSystemTrayIcon;

namespace nk7x {

class ControlBus;
class FocusBus;
class DesktopBus;
class MacroRoutes;
class AppFollowing;
class AppProfiles;
class CAppBindingsWnd;
class LayoutClasses;
class LightingServer;
class PageRoutes;
class SdkServerHost;
class SleepWatcher;

struct ShellOptions {
    QString programFolder;    // holds "DefaultData" and "skin"
    QString settingsPath;     // the settings store file
    bool useBuses = true;     // session service and sleep watch
    bool startWorkers = true; // the shell's worker threads
    bool discovery = true;    // device discovery (with startWorkers); off: no device is looked for
    // What discovery lists and opens the interfaces with; empty: the HID layer.
    std::function<std::unique_ptr<IInterfaceProbe>()> makeProbe;
    using Tray = TrayPresence;
    Tray tray = Tray::Auto;
    // Start in the tray: the window is not shown by the start-up scan nor by devices found during
    // it; a second start still brings it up. Ignored without a tray.
    bool startHidden = false;
    // --sdk-server[=[ADDRESS:]PORT]: the lighting server runs for this start on that address
    // (empty: the default port on loopback), whatever the settings say.
    std::optional<QString> sdkServer;
    // Profiles follow the application in front when bindings ask for it (off: never tracked).
    bool followApps = true;

    // The running program's choice: ProgramFolder(), SettingsStore::DefaultPath().
    static ShellOptions FromEnvironment();
};

class MainWnd : public UiWindow, private LanguageTarget, private LightSyncSource {
    Q_OBJECT
  public:
    static constexpr int kBaseWidth = 800;
    static constexpr int kBaseHeight = 572;
    // The size the scale policy gives the window at scale 96.
    static constexpr int kPolicyWidth = 1000;
    static constexpr int kPolicyHeight = 640;

    explicit MainWnd(const ShellOptions& options, QWidget* parent = nullptr);
    ~MainWnd() override;

    // Builds the content, the tray and the services, then runs the start routine.
    void Create();

    void Notify(const UiNotify& msg) override;
    QWidget* CreateControl(const QString& className) override;

    // The instance request: a second start or the end of discovery's first scan.
    void OnInstanceMessage(qint64 wParam, qint64 lParam);
    // Another program asks to take (lParam 1) or give up (lParam 0) the lighting; wParam must be 1.
    void OnLightingRequest(qint64 wParam, qint64 lParam);
    // The settings window's request to switch language; runs as a queued call on the UI thread.
    void RequestLanguage(int index);
    void OnSuspend();
    void OnResume();
    // A choice in the tray menu ("exit", "about_menu", "setwnd_menu", ...).
    void OnMenuChoice(const QString& item);
    void OnTrayLeftClick();

    // Applies the scale policy for a work area (the screen's, or one given by a test).
    void ApplyScalePolicy() { m_chrome->ApplyScalePolicy(); }
    void ApplyScaleForWorkArea(int width, int height) { m_chrome->ApplyScaleForWorkArea(width, height); }
    // Applies the scale policy again when the window no longer fits the last work area.
    void FitWorkArea() { m_chrome->FitWorkArea(); }

    // Pages the window steers (borrowed).
    void AddPage(ShellPage* page) { m_lighting->AddPage(page); }

    // The device pages, their list entries and discovery.
    DeviceHost& Devices() { return *m_host; }
    // The macro editor's routes: recording and key picking.
    MacroRoutes* Macros() const;

    NotifyRouter& Router() { return m_router; }
    Languages& LanguageSwitch() { return *m_languages; }
    const LanguageTexts& Texts() const { return m_texts; }
    const FontTable& Fonts() const { return m_fonts; }
    SettingsStore& Store() { return m_store; }
    const ResourceList& Resources() const { return m_resources; }
    QMenu* TrayMenu() const { return m_tray->Menu(); }
    QSystemTrayIcon* Tray() const { return m_tray->Icon(); }
    bool TrayAvailable() const { return m_tray->Available(); }
    bool LightingControl() const { return m_lighting->Control(); }
    bool Running() const { return m_running; }
    bool Started() const { return m_started; }
    bool Destroyed() const { return m_destroyed; }
    QList<int> ServiceAnswer() const;
    // The settings, about and skin windows.
    SecondaryWindows& Windows() { return *m_windows; }
    const WindowBackground& Background() const { return *m_background; }
    // Opens the settings window centred (as a request from another part of the program does).
    void OpenSettingsCentred();
    // The settings window says everything is up to date: the settings button drops its mark.
    void OnUpToDate();

    // The lighting server for other lighting programs: on or off from now on and in the settings
    // (off by default); false when it could not start (SdkServerState says why).
    bool SetSdkServer(bool on);
    // Null while it has not been started.
    LightingServer* SdkServer() const;
    // Where it listens and how many programs are connected, or why it cannot; empty while off.
    QString SdkServerState() const;

    // Profiles that follow the application in front (null before the start routine).
    AppProfiles* FollowedApps() const;
    // Starts the window tracking once some device kind has a binding or a default profile.
    void EnsureAppTracking();
    // Which tracking method is in use, or why none is (the settings window's line).
    QString AppTrackingState() const;
    // "Use for applications…" for the profile shown; null when no page with a profile is shown.
    CAppBindingsWnd* OpenAppBindings();

  signals:
    // The window was first shown (start-up measurement, screenshots).
    void firstShown();
    // A device page has been filled after its device connected (measurement, screenshots).
    void devicePageReady();
    // Shut-down is complete; the application may quit.
    void shutDown();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

  private:
    void InitWindow();
    // The user's files that could not be read and were moved aside since the last time: one notice
    // that names each and says where it went (it waits for nothing).
    void ShowUnreadableFiles();
    void StartRoutine();
    void BuildRoutes();
    void OnTimer(int id);
    void OnDestroy();
    void CloseSecondaryWindows();
    void BuildSecondaryWindows();
    void RefreshNoDeviceLink();

    // LanguageTarget
    void SetLanguage(const LanguageEntry& entry) override;
    void RebuildFonts() override;
    void LanguageChanged() override;

    // LightSyncSource: the common effect copied to every device, painted on those flagged for it.
    bool AnyFlagged() override { return m_syncHub.AnyFlagged(); }
    int SpeedIndex() override { return m_syncHub.SpeedIndex(); }
    void Step() override { m_syncHub.Step(); }

    ShellOptions m_options;
    ResourceList m_resources;
    std::unique_ptr<LayoutClasses> m_classes;
    LanguageTexts m_texts;
    FontTable m_fonts;
    SettingsStore m_store;
    std::unique_ptr<Languages> m_languages;
    NotifyRouter m_router;
    WorkerSlots m_workers;

    std::unique_ptr<TrayIcon> m_tray;
    std::unique_ptr<WindowChrome> m_chrome;
    DesktopBus* m_bus = nullptr;
    ControlBus* m_control = nullptr; // scripts' interface on the bus object, owned by it
    FocusBus* m_focus = nullptr;     // the desktop's focus reports, owned by the bus object
    SleepWatcher* m_sleep = nullptr;
    std::unique_ptr<SecondaryWindows> m_windows;
    std::unique_ptr<WindowBackground> m_background;
    light::LightSyncHub m_syncHub;
    std::unique_ptr<DeviceHost> m_host;
    std::unique_ptr<LiveLighting> m_lighting;
    std::unique_ptr<PageRoutes> m_pageRoutes;
    // After the pages' host: the server goes first, while every device it reaches is there.
    std::unique_ptr<SdkServerHost> m_sdk;
    std::unique_ptr<AppFollowing> m_apps;

    bool m_running = true;
    bool m_started = false;
    bool m_shownOnce = false;
    bool m_destroyed = false;
};

// The number the instance request is known by in the debug output; the same in every process.
int InstanceMessageId();

} // namespace nk7x
