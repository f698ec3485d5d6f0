#include "app/MainWnd.h"

#include "profiles/UnreadableFiles.h"
#include "ui/DataFileProblems.h"

#include "app/AppFollowing.h"
#include "app/ControlBus.h"
#include "app/FocusBus.h"
#include "app/LayoutClasses.h"
#include "app/LightingServer.h"
#include "app/PageRoutes.h"
#include "app/SdkServerHost.h"
#include "app/ServiceAnswer.h"
#include "devices/discovery/DeviceTables.h"
#include "panels/light/LightControlUI.h"
#include "panels/macros/MacroRoutes.h"
#include "panels/pages/BrindovaUSBDevice.h"
#include "panels/profile/ProfileRoutes.h"
#include "panels/sound/Voice6533ControlUI.h"
#include "platform/Autostart.h"
#include "platform/DebugLog.h"
#include "platform/Folders.h"
#include "platform/qt/DesktopBus.h"
#include "platform/qt/SleepWatcher.h"
#include "ui/FocusMark.h"
#include "ui/Theme.h"
#include "windows/MessageBox.h"
#include "windows/SetWnd.h"
#include "windows/SkinSettings.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QIcon>
#include <QLayout>
#include <QPointer>
#include <QStyle>

namespace nk7x {
namespace {

constexpr int kTimerScale = 1011;
constexpr int kTimerIdle = 1031;
constexpr int kDiscoverySlot = 0;
constexpr int kLightSyncSlot = 8;

} // namespace

int InstanceMessageId() {
    // Registered messages live in 0xC000-0xFFFF; a fixed hash of the product name keeps the number
    // the same in every process.
    uint32_t h = 2166136261u;
    for (const char* p = kProductName; *p; ++p)
        h = (h ^ static_cast<unsigned char>(*p)) * 16777619u;
    return static_cast<int>(0xC000 + (h % 0x4000));
}

ShellOptions ShellOptions::FromEnvironment() {
    ShellOptions o;
    o.programFolder = QString::fromStdString(ProgramFolder());
    o.settingsPath = QString::fromStdString(SettingsStore::DefaultPath());
    return o;
}

MainWnd::MainWnd(const ShellOptions& options, QWidget* parent)
    : UiWindow(parent), m_options(options), m_store(options.settingsPath.toStdString()) {
    setObjectName(QStringLiteral("MainWnd"));
    m_classes = std::make_unique<LayoutClasses>(*this, m_resources);
    setWindowTitle(QString::fromUtf8(kProductName));
    // The caption is part of the layout; no maximise box.
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowSystemMenuHint);
    resize(kBaseWidth, kBaseHeight);
    QString dataFolder = QDir(m_options.programFolder).filePath(QStringLiteral("DefaultData"));
    m_languages = std::make_unique<Languages>(
        m_store, QDir(dataFolder).filePath(QStringLiteral("Language.config")).toStdString(),
        static_cast<LanguageTarget&>(*this));
    DeviceHostContext devices;
    devices.window = this;
    devices.resources = &m_resources;
    devices.texts = &m_texts;
    devices.closeSecondaryWindows = [this] { CloseSecondaryWindows(); };
    devices.frontAndRefresh = [this] { m_tray->FrontAndRefresh(); };
    devices.firstScanFinished = [this] { OnInstanceMessage(0, 0); };
    // A recording ends with the device it was made for; the macro is saved.
    devices.stopRecording = [this] {
        if (MacroRoutes* macros = Macros())
            macros->StopRecording();
    };
    devices.devicesChanged = [this] {
        if (m_control)
            m_control->DevicesMayHaveChanged();
        if (LightingServer* server = SdkServer())
            server->DevicesChanged();
    };
    // The device rows files as they are now (the emulator's folder may have changed since the
    // tables were first read).
    ReloadDeviceRows();
    m_host = std::make_unique<DeviceHost>(std::move(devices));
    DeviceHost* host = m_host.get();
    TrayIconContext tray;
    tray.window = this;
    tray.presence = m_options.tray;
    tray.startHidden = m_options.startHidden;
    tray.running = [this] { return m_running; };
    tray.closeSecondaryWindows = [this] { CloseSecondaryWindows(); };
    tray.refreshDeviceList = [this] { RefreshNoDeviceLink(); };
    tray.applyScalePolicy = [this] { ApplyScalePolicy(); };
    tray.openAbout = [this] { m_windows->OpenAbout(); };
    tray.openSettings = [this] { m_windows->OpenSettings(SecondaryWindows::Placement::Centred); };
    m_tray = std::make_unique<TrayIcon>(std::move(tray));
    m_chrome = std::make_unique<WindowChrome>(
        WindowChromeContext{this, QSize(kPolicyWidth, kPolicyHeight), [this] { m_tray->HideWindow(); }});
    LiveLightingContext lighting;
    lighting.window = this;
    lighting.texts = &m_texts;
    lighting.pages = [host] { return host->PagesInPanelOrder(); };
    lighting.running = [this] { return m_running; };
    lighting.announce = [this](bool on) {
        if (m_bus)
            m_bus->Announce(1, on ? 1 : 0);
    };
    m_lighting = std::make_unique<LiveLighting>(std::move(lighting));
    connect(m_host.get(), &DeviceHost::deviceListChanged, this, [this] {
        QMetaObject::invokeMethod(
            this, [this] { FitWorkArea(); }, Qt::QueuedConnection);
    });
    BuildRoutes();
}

MainWnd::~MainWnd() {
    SetUnreadableFileListener({});
    SetDataFileProblemListener({});
    if (!m_destroyed)
        OnDestroy();
    m_tray.reset();
}

void MainWnd::Create() {
    QString skin = QDir(m_options.programFolder).filePath(QStringLiteral("skin"));
    m_resources.Load(skin);
    LoadLayout(m_resources, QStringLiteral("XML_MAIN"));
    SetBaseStyleSheet(LoadStyleSheet(skin, QStringLiteral("theme.qss")));
    InitWindow();
    // Keyboard users see where the focus is, in this window and the secondary ones.
    FocusMark::Install();
    // Every message box speaks the window's language and uses its fonts.
    SetMsgWndLanguage(&m_texts, &m_fonts, skin);
    m_background = std::make_unique<WindowBackground>(FindControl(QStringLiteral("root")), skin);
    m_background->SetRefusedHandler([this](const QString&) {
        ShowMessage(this, QString(), QStringLiteral("skin_picture_unreadable_text"), Scale(), true, 0);
    });
    m_background->ListenToSkinChanges();
    m_background->ApplyStored(SkinSettingsPath());
    BuildSecondaryWindows();
    m_chrome->CentreOnScreen();
    // A file moved aside on any thread is told on this one, after what is under way.
    QPointer<MainWnd> self(this);
    auto tell = [self] {
        QMetaObject::invokeMethod(
            qApp,
            [self] {
                if (self)
                    self->ShowUnreadableFiles();
            },
            Qt::QueuedConnection);
    };
    SetUnreadableFileListener(tell);
    SetDataFileProblemListener(tell);
    QMetaObject::invokeMethod(
        this, [this] { ShowUnreadableFiles(); }, Qt::QueuedConnection);
    RaiseNotify(this, QStringLiteral("windowinit"));
}

void MainWnd::ShowUnreadableFiles() {
    const std::vector<UnreadableFileNotice> notices = TakeUnreadableFileNotices();
    const QStringList missing = TakeDataFileProblems();
    if (notices.empty() && missing.empty())
        return;
    QStringList lines;
    if (!missing.isEmpty()) {
        // The words come from the language files, which may be what is missing: then English.
        const QString key = QStringLiteral("message_data_files_missing");
        QString text = m_texts.Text(key);
        if (text == key || !text.contains(QLatin1String("%1")))
            text = QStringLiteral(
                "These files of the program are missing or damaged, so parts of the window may "
                "be empty or untranslated:\n%1\nInstalling the program again puts them back.");
        lines << text.arg(missing.join(QLatin1Char('\n')));
    }
    for (const UnreadableFileNotice& n : notices) {
        const QString path = QString::fromStdString(n.path);
        lines << (n.keptAs.empty() ? m_texts.Text(QStringLiteral("message_file_unreadable_left")).arg(path)
                                   : m_texts.Text(QStringLiteral("message_file_unreadable"))
                                         .arg(path, QString::fromStdString(n.keptAs)));
    }
    ShowNotice(this, QString(), lines.join(QStringLiteral("\n\n")), Scale());
}

void MainWnd::InitWindow() {
    DebugLog("InitWindow");
    m_texts.LoadFile(m_resources.Resolve(QStringLiteral("lang/lan_en.json")));
    ReloadText(m_texts);
    QIcon icon(m_resources.Resolve(QStringLiteral("images/app_icon.svg")));
    setWindowIcon(icon);
    m_tray->Create(icon, m_resources.Resolve(QStringLiteral("menu.xml")));
    m_chrome->HideMaximiseButtons();
}

void MainWnd::BuildRoutes() {
    using M = NotifyRouter::Match;
    auto& r = m_router;
    r.Add(QStringLiteral("windowinit"), M::NameCase, QStringLiteral("MainWnd"),
          [this](const UiNotify&, int) { StartRoutine(); });
    m_chrome->Install(r);
    auto click = [&r](const char* name, std::function<void()> fn) {
        r.Add(QStringLiteral("click"), M::Name, QString::fromLatin1(name),
              [fn](const UiNotify&, int) { fn(); });
    };
    click("nodevice_ok_btn", [this] { m_tray->HideWindow(); });
    click("skinbtn", [this] { m_windows->OpenSkinPicker(FindControl(QStringLiteral("skinbtn"))); });
    click("setbtn", [this] { m_windows->OpenSettings(SecondaryWindows::Placement::BesideButton); });
    click("control_light_status", [this] { m_lighting->SetControl(!m_lighting->Control(), true); });
    click("device_apps_btn", [this] { OpenAppBindings(); });
    click("device_select_prev", [this] { m_host->SelectPrev(); });
    click("device_select_next", [this] { m_host->SelectNext(); });
    r.Add(QStringLiteral("selectchanged"), M::Name, QStringLiteral("device_select"),
          [this](const UiNotify& msg, int) { m_host->OnEntrySelectChanged(msg.sender, msg.wParam != 0); });

    PageRoutesContext pages;
    pages.window = this;
    pages.host = m_host.get();
    pages.resources = &m_resources;
    pages.texts = &m_texts;
    pages.storeCommonEffect = [this](const light::CommonEffectSettings& effect) { m_syncHub.Store(effect); };
    pages.commonEffectFlagged = [this] { m_workers.Wake(kLightSyncSlot); };
    pages.profileSwitched = [this](CDeviceProfileUI& panel) {
        if (m_control)
            m_control->ProfileSwitched(panel);
    };
    m_pageRoutes = std::make_unique<PageRoutes>(std::move(pages));
    m_pageRoutes->Install(r);
}

MacroRoutes* MainWnd::Macros() const {
    return m_pageRoutes ? m_pageRoutes->Macros() : nullptr;
}

void MainWnd::Notify(const UiNotify& msg) {
    // While the system sleeps nothing is acted on; what arrives is dropped, not queued. Nothing
    // is acted on either once the window has been destroyed.
    if (!m_running || m_destroyed)
        return;
    if (msg.type == QLatin1String("timer") && msg.sender == this) {
        OnTimer(static_cast<int>(msg.wParam));
        return;
    }
    m_router.Dispatch(msg);
}

QWidget* MainWnd::CreateControl(const QString& className) {
    return m_classes->Create(className);
}

void MainWnd::StartRoutine() {
    if (m_options.useBuses) {
        m_bus = new DesktopBus(this);
        m_bus->SetQueryHandler([this] { return ServiceAnswer(); });
        ControlBusContext control;
        control.pages = [this] { return m_host->PagesInPanelOrder(); };
        control.switchTo = [this](CDeviceProfileUI& panel, CDeviceBase* device, int index) {
            ProfileRoutes* routes = m_pageRoutes ? m_pageRoutes->Profiles() : nullptr;
            return routes && routes->SwitchTo(panel, device, index);
        };
        control.apps = [this] { return FollowedApps(); };
        control.bindingsChanged = [this] { EnsureAppTracking(); };
        m_control = new ControlBus(m_bus, std::move(control));
        m_focus = new FocusBus(m_bus);
        connect(m_bus, &DesktopBus::lightingRequested, this,
                [this](int w, int l) { OnLightingRequest(w, l); });
        m_bus->Register();
        m_sleep = new SleepWatcher(this);
        connect(m_sleep, &SleepWatcher::suspending, this, &MainWnd::OnSuspend);
        connect(m_sleep, &SleepWatcher::resumed, this, &MainWnd::OnResume);
        m_sleep->Start();
    }
    // This program takes the lighting.
    if (m_bus)
        m_bus->Announce(1, 1);
    // A page built when its device first comes takes the window's present state.
    connect(m_host.get(), &DeviceHost::pageCreated, this, [this](CBrindovaUSBDevice* page) {
        connect(page, &CBrindovaUSBDevice::connectDone, this, &MainWnd::devicePageReady);
        m_syncHub.SetDevices(m_host->DevicesInSyncOrder());
        m_lighting->Adopt(page->Device());
    });
    m_host->CreatePages();
    SdkServerHostContext sdk;
    sdk.pages = [this] { return m_host->PagesInPanelOrder(); };
    sdk.englishTextsPath = m_resources.Resolve(QStringLiteral("lang/lan_en.json"));
    sdk.store = &m_store;
    sdk.texts = &m_texts;
    sdk.commandLine = m_options.sdkServer;
    sdk.clientsChanged = [this] {
        if (m_windows && m_windows->Settings())
            m_windows->Settings()->SdkServerChanged();
    };
    m_sdk = std::make_unique<SdkServerHost>(std::move(sdk));
    AppFollowingContext follow;
    follow.window = this;
    follow.texts = &m_texts;
    follow.host = m_host.get();
    follow.switchTo = [this](CDeviceProfileUI& panel, CDeviceBase* device, int index) {
        ProfileRoutes* routes = m_pageRoutes ? m_pageRoutes->Profiles() : nullptr;
        return routes && routes->SwitchTo(panel, device, index);
    };
    follow.focus = m_focus;
    follow.programFolder = m_options.programFolder;
    follow.followApps = m_options.followApps;
    m_apps = std::make_unique<AppFollowing>(std::move(follow));
    EnsureAppTracking();
    m_languages->ApplyLanguage(m_languages->ReadStoredLanguage());
    hide();
    const bool discovery = m_options.startWorkers && m_options.discovery;
    if (discovery)
        m_host->StartDiscovery(m_workers, kDiscoverySlot,
                               m_options.makeProbe ? m_options.makeProbe() : nullptr);
    if (m_options.startWorkers)
        m_workers.Start(kLightSyncSlot, [this](const StopEvent& stop) { RunLightSync(stop, *this); });
    SetTimer(this, kTimerScale, 100);
    // A display change re-runs the scale policy; moving to another screen also says so.
    m_chrome->FollowScreen();
    m_started = true;
    // Discovery shows the window once its first scan is done; without it nothing is waited for.
    if (!discovery)
        QMetaObject::invokeMethod(
            this, [this] { OnInstanceMessage(0, 0); }, Qt::QueuedConnection);
}

void MainWnd::OnTimer(int id) {
    KillTimer(this, id);
    if (m_pageRoutes && m_pageRoutes->Profiles() && m_pageRoutes->Profiles()->OnTimer(id))
        return;
    switch (id) {
    case kTimerScale:
        ApplyScalePolicy();
        update();
        break;
    case kTimerIdle:
        SetTimer(this, kTimerIdle, 5000);
        break;
    default:
        break;
    }
}

void MainWnd::OnInstanceMessage(qint64 wParam, qint64 lParam) {
    if (!m_running || m_destroyed)
        return;
    DebugLogf("软件标示 %d，%xd%xd", InstanceMessageId(), static_cast<unsigned>(wParam),
              static_cast<unsigned>(lParam));
    m_tray->OnInstanceRequest(lParam);
}

void MainWnd::RefreshNoDeviceLink() {
    m_host->UpdateDeviceList();
}

void MainWnd::CloseSecondaryWindows() {
    if (m_windows)
        m_windows->CloseAll();
}

void MainWnd::BuildSecondaryWindows() {
    SecondaryWindowsContext ctx;
    ctx.owner = this;
    ctx.store = &m_store;
    ctx.deviceVersions = [this] {
        // One version per device list entry, in its order; 0 where the device's link is not open.
        std::vector<uint16_t> versions;
        for (int i = 0; i < m_host->PageCount(); ++i) {
            CBrindovaUSBDevice* page = m_host->Page(i);
            const bool open = page && page->Device().Link().IsOpen();
            versions.push_back(open ? page->Device().Link().Transport().Attributes().versionNumber : 0);
        }
        return versions;
    };
    ctx.languageKeys = [this] {
        QStringList keys;
        for (const LanguageEntry& entry : m_languages->List())
            keys << QString::fromStdString(entry.text);
        return keys;
    };
    ctx.languageIndex = [this] { return m_languages->Current(); };
    ctx.chooseLanguage = [this](int index) { RequestLanguage(index); };
    ctx.upToDate = [this] { OnUpToDate(); };
    ctx.autostartEnabled = [] { return AutostartEnabled(); };
    ctx.sdkServerEnabled = [this] { return m_sdk && m_sdk->Listening(); };
    ctx.setSdkServer = [this](bool on) { return SetSdkServer(on); };
    ctx.sdkServerState = [this] { return SdkServerState(); };
    ctx.trackingState = [this] { return AppTrackingState(); };
    ctx.setAutostart = [](bool on) {
        std::string error;
        const bool done = SetAutostart(on, ExecutableFolder() + "/nk7x", &error);
        if (!done)
            DebugLogf("autostart not changed: %s", error.c_str());
        return done;
    };
    m_windows = std::make_unique<SecondaryWindows>(std::move(ctx));
}

LightingServer* MainWnd::SdkServer() const {
    return m_sdk ? m_sdk->Server() : nullptr;
}

bool MainWnd::SetSdkServer(bool on) {
    return m_sdk && m_sdk->Set(on);
}

QString MainWnd::SdkServerState() const {
    return m_sdk ? m_sdk->State() : QString();
}

AppProfiles* MainWnd::FollowedApps() const {
    return m_apps ? m_apps->Profiles() : nullptr;
}

void MainWnd::EnsureAppTracking() {
    if (m_apps)
        m_apps->EnsureTracking();
}

CAppBindingsWnd* MainWnd::OpenAppBindings() {
    return m_apps ? m_apps->OpenBindings() : nullptr;
}

QString MainWnd::AppTrackingState() const {
    return m_apps ? m_apps->TrackingState() : QString();
}

void MainWnd::OpenSettingsCentred() {
    if (m_running && m_windows)
        m_windows->OpenSettings(SecondaryWindows::Placement::Centred);
}

void MainWnd::OnUpToDate() {
    if (QWidget* button = FindControl(QStringLiteral("setbtn"))) {
        button->setProperty("updateAvailable", false);
        button->style()->unpolish(button);
        button->style()->polish(button);
    }
}

void MainWnd::OnTrayLeftClick() {
    m_tray->OnLeftClick();
}

void MainWnd::OnMenuChoice(const QString& item) {
    m_tray->OnMenuChoice(item);
}

void MainWnd::OnLightingRequest(qint64 wParam, qint64 lParam) {
    m_lighting->OnRequest(wParam, lParam);
}

void MainWnd::OnSuspend() {
    m_running = false;
    m_lighting->Suspend();
}

void MainWnd::OnResume() {
    m_running = true;
    m_lighting->Resume();
}

QList<int> MainWnd::ServiceAnswer() const {
    std::vector<int32_t> block = BuildServiceAnswer(OptionTableDevices());
    return QList<int>(block.begin(), block.end());
}

void MainWnd::RequestLanguage(int index) {
    QMetaObject::invokeMethod(
        this,
        [this, index] {
            if (!m_running)
                return;
            m_languages->ApplyLanguage(index);
        },
        Qt::QueuedConnection);
}

void MainWnd::SetLanguage(const LanguageEntry& entry) {
    m_texts.SetLanguageName(QString::fromStdString(entry.name));
    // Japanese and Korean draw the characters they share with Chinese in their own forms.
    if (m_fonts.PreferCjkFor(QString::fromStdString(entry.name)))
        RebuildFonts();
    QString file = m_resources.Resolve(QString::fromStdString(entry.file));
    if (file.isEmpty() || !m_texts.LoadFile(file))
        DebugLogf("language file %s unreadable, texts kept", entry.file.c_str());
    ReloadText(m_texts);
    m_tray->Retranslate(m_texts);
    // The lighting button shows its state in the language chosen.
    m_lighting->Retranslate();
}

void MainWnd::RebuildFonts() {
    m_fonts.Rebuild();
    ApplyFonts(m_fonts);
}

void MainWnd::LanguageChanged() {
    update();
    // Mode names the lighting panels translate themselves; key captions and the settings texts
    // are translated when a page is refreshed (which sends nothing to the device).
    for (CBrindovaUSBDevice* page : m_host->PagesInPanelOrder()) {
        if (CLightControlUI* light = page->LightPanel())
            light->SetLanguageTexts(&m_texts);
        if (CVoice6533ControlUI* voice = page->Parts().voice)
            voice->SetLanguageTexts(&m_texts);
        page->Device().RefreshPage();
    }
    if (m_windows)
        m_windows->LanguageChanged();
    if (layout())
        layout()->activate();
}

void MainWnd::closeEvent(QCloseEvent* event) {
    OnDestroy();
    event->accept();
}

void MainWnd::OnDestroy() {
    if (m_destroyed)
        return;
    m_destroyed = true;
    m_tray->Hide();
    DebugLog("退出测试");
    hide();
    // Discovery may be waiting for this thread; it must stop waiting before it is joined.
    if (MacroRoutes* macros = Macros())
        macros->StopRecording();
    if (LightingServer* server = SdkServer())
        server->Close(); // no client reaches a device that is stopping
    if (m_apps)
        m_apps->Stop();
    m_host->BeginShutdown();
    m_workers.StopAll(std::chrono::milliseconds(1000));
    m_host->StopPages();
    emit shutDown();
}

void MainWnd::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange)
        m_lighting->OnActivation(isActiveWindow());
    UiWindow::changeEvent(event);
}

void MainWnd::enterEvent(QEnterEvent* event) {
    m_lighting->OnPointer(true);
    UiWindow::enterEvent(event);
}

void MainWnd::leaveEvent(QEvent* event) {
    m_lighting->OnPointer(false);
    UiWindow::leaveEvent(event);
}

void MainWnd::showEvent(QShowEvent* event) {
    UiWindow::showEvent(event);
    if (!m_shownOnce) {
        m_shownOnce = true;
        emit firstShown();
    }
}

void MainWnd::mousePressEvent(QMouseEvent* event) {
    m_chrome->MousePressed(event);
    UiWindow::mousePressEvent(event);
}

void MainWnd::mouseMoveEvent(QMouseEvent* event) {
    m_chrome->MouseMoved(event);
    UiWindow::mouseMoveEvent(event);
}

} // namespace nk7x
