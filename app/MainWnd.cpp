#include "app/MainWnd.h"

#include "profiles/UnreadableFiles.h"
#include "ui/DataFileProblems.h"

#include "app/AppProfiles.h"
#include "app/ControlBus.h"
#include "app/FocusBus.h"
#include "app/LightingServer.h"
#include "app/PageRoutes.h"
#include "app/ScalePolicy.h"
#include "app/SdkControllers.h"
#include "app/ServiceAnswer.h"
#include "app/WindowTrackers.h"
#include "devices/discovery/DeviceTables.h"
#include "link/KindDescriptors.h"
#include "panels/DeviceOptionUI.h"
#include "panels/MpDevicePowerUI.h"
#include "panels/light/LightControlUI.h"
#include "panels/macros/MacroRoutes.h"
#include "panels/pages/BrindovaUSBDevice.h"
#include "panels/pages/DevicePages.h"
#include "panels/profile/DeviceProfileUI.h"
#include "panels/profile/ProfileRoutes.h"
#include "panels/sound/Voice6533ControlUI.h"
#include "platform/Autostart.h"
#include "platform/DebugLog.h"
#include "platform/Folders.h"
#include "platform/qt/BusWindowTracker.h"
#include "platform/qt/DesktopBus.h"
#include "platform/qt/SleepWatcher.h"
#include "profiles/ProfileFolders.h"
#include "ui/ControlFactory.h"
#include "ui/FocusMark.h"
#include "ui/MenuLayout.h"
#include "ui/PanelContent.h"
#include "ui/Theme.h"
#include "windows/AppBindingsWnd.h"
#include "windows/MessageBox.h"
#include "windows/SetWnd.h"
#include "windows/SkinSettings.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QLayout>

#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPointer>
#include <QScreen>
#include <QStackedWidget>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWindow>
#include <algorithm>

namespace nk7x {
namespace {

constexpr int kTimerScale = 1011;
constexpr int kTimerIdle = 1031;
constexpr int kDiscoverySlot = 0;
constexpr int kLightSyncSlot = 8;

// Layout classes whose content is a panel layout of the skin, built with this window as creator.
struct ContentClass {
    const char* layoutClass;
    const char* layout;
};
const ContentClass kContentClasses[] = {
    {"Voice6533SetControlUI", "XML\\CustomControlXML\\Voice6533Control.xml"},
    {"MagicSetControlUI", "XML\\CustomControlXML\\MagicControl.xml"},
    {"KeySetControlUI", "XML\\CustomControlXML\\KeySetControl.xml"},
    {"MacroSetControlUI", "XML\\CustomControlXML\\MacroControl.xml"},
    {"ShootKeySetControlUI", "XML\\CustomControlXML\\ShootControl.xml"},
    {"VirtualSetControlUI", "XML\\CustomControlXML\\VirtualSet.xml"},
};

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
    devices.frontAndRefresh = [this] { FrontAndRefresh(); };
    devices.firstScanFinished = [this] { OnInstanceMessage(0, 0); };
    // A recording ends with the device it was made for; the macro is saved.
    devices.stopRecording = [this] {
        if (MacroRoutes* macros = Macros())
            macros->StopRecording();
    };
    devices.devicesChanged = [this] {
        if (m_control)
            m_control->DevicesMayHaveChanged();
        if (m_sdkServer)
            m_sdkServer->DevicesChanged();
    };
    // The device rows files as they are now (the emulator's folder may have changed since the
    // tables were first read).
    ReloadDeviceRows();
    m_host = std::make_unique<DeviceHost>(std::move(devices));
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
    // The tray icon refers to the menu; it goes first.
    delete m_tray;
    m_tray = nullptr;
    m_trayMenu.reset();
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
    CentreOnScreen();
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
    m_tray = new QSystemTrayIcon(icon, this);
    m_tray->setToolTip(QString::fromUtf8(kProductName));
    m_trayMenu = BuildMenu(m_resources.Resolve(QStringLiteral("menu.xml")),
                           [this](const QString& item) { OnMenuChoice(item); });
    if (m_trayMenu) {
        m_trayMenu->setStyleSheet(styleSheet());
        m_tray->setContextMenu(m_trayMenu.get());
    }
    connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason why) {
        if (why == QSystemTrayIcon::Trigger)
            OnTrayLeftClick();
    });
    if (TrayAvailable())
        m_tray->show();
    for (const char* name : {"maxbtn", "restorebtn"}) {
        if (QWidget* w = FindControl(QString::fromLatin1(name)))
            w->hide();
    }
}

bool MainWnd::TrayAvailable() const {
    switch (m_options.tray) {
    case ShellOptions::Tray::Absent:
        return false;
    case ShellOptions::Tray::Present:
        return true;
    case ShellOptions::Tray::Auto:
        break;
    }
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void MainWnd::BuildRoutes() {
    using M = NotifyRouter::Match;
    auto& r = m_router;
    r.Add(QStringLiteral("windowinit"), M::NameCase, QStringLiteral("MainWnd"),
          [this](const UiNotify&, int) { StartRoutine(); });
    r.Add(QStringLiteral("windowsize"), M::Name, QStringLiteral("root"), [this](const UiNotify&, int) {
        if (!m_rootSized) {
            m_rootSized = true;
            ApplyScalePolicy();
        }
    });
    auto click = [&r](const char* name, std::function<void()> fn) {
        r.Add(QStringLiteral("click"), M::Name, QString::fromLatin1(name),
              [fn](const UiNotify&, int) { fn(); });
    };
    click("closebtn", [this] { HideToTray(); });
    click("nodevice_ok_btn", [this] { HideToTray(); });
    click("minbtn", [this] { showMinimized(); });
    click("maxbtn", [this] { showMaximized(); });
    click("restorebtn", [this] { showNormal(); });
    click("skinbtn", [this] { m_windows->OpenSkinPicker(FindControl(QStringLiteral("skinbtn"))); });
    click("setbtn", [this] { m_windows->OpenSettings(SecondaryWindows::Placement::BesideButton); });
    click("control_light_status", [this] { SetLightingControl(!m_lightingControl, true); });
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

QWidget* MainWnd::BuildPanelControl(const QString& className, const char* layout) {
    auto is = [&className](const QString& name) { return className.compare(name, Qt::CaseInsensitive) == 0; };
    QWidget* panel = nullptr;
    if (is(CDeviceProfileUI::ClassName()))
        panel = new CDeviceProfileUI;
    else if (is(QString::fromLatin1(kLightControlClass)))
        panel = new CLightControlUI;
    else if (is(CDeviceOptionUI::ClassName()))
        panel = new CDeviceOptionUI;
    else if (is(CMpDevicePowerUI::ClassName()))
        panel = new CMpDevicePowerUI;
    if (!panel)
        return nullptr;
    // A layout whose root names the panel's own class gets a bare panel there, not a second copy
    // of the layout inside it.
    const QString key = className.toLower();
    if (m_filling.count(key))
        return panel;
    m_filling.insert(key);
    const bool filled = FillPanel(*this, panel, m_resources.Resolve(QString::fromLatin1(layout)));
    m_filling.erase(key);
    if (!filled)
        panel->setProperty("layoutClass", className);
    return panel;
}

QWidget* MainWnd::CreateControl(const QString& className) {
    struct PanelClass {
        const char* layoutClass;
        const char* layout;
    };
    static const PanelClass kPanels[] = {
        {"DeviceProfileUI", "XML\\CustomControlXML\\DeviceProfile.xml"},
        {kLightControlClass, kLightControlLayout},
        {"DeviceOption", "XML\\CustomControlXML\\DeviceOption.xml"},
        {"MpDevicePower", "XML\\CustomControlXML\\MpDevicePower.xml"},
    };
    for (const PanelClass& p : kPanels) {
        if (className.compare(QLatin1String(p.layoutClass), Qt::CaseInsensitive) == 0)
            return BuildPanelControl(className, p.layout);
    }
    // Panels without content of their own.
    if (className.compare(QLatin1String("DeviceProfile"), Qt::CaseInsensitive) == 0)
        return new CDeviceProfileUI;
    if (className.compare(QLatin1String("LightControl"), Qt::CaseInsensitive) == 0)
        return new CLightControlUI;
    if (QWidget* page = CreateDevicePage(className))
        return page;
    for (const ContentClass& c : kContentClasses) {
        if (className.compare(QLatin1String(c.layoutClass), Qt::CaseInsensitive) != 0)
            continue;
        QString path = m_resources.Resolve(QString::fromLatin1(c.layout));
        QWidget* content = path.isEmpty() ? nullptr : BuildLayout(path, nullptr);
        if (!content) {
            // The panel's layout is not in the skin yet: keep an empty, named place for it.
            content = new QWidget;
            content->setProperty("layoutClass", className);
        }
        return content;
    }
    return ControlFactory::Instance().Create(className, nullptr);
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
        control.apps = [this] { return m_appProfiles.get(); };
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
        CDeviceBase& device = page->Device();
        if (device.IsLiveLighting() != (m_running && m_lightingControl))
            device.SetLiveLighting(m_running && m_lightingControl);
        device.SetPreview(m_hovered);
    });
    m_host->CreatePages();
    StartSdkServer();
    AppProfilesContext follow;
    follow.pages = [this] { return m_host->PagesInPanelOrder(); };
    follow.switchTo = [this](CDeviceProfileUI& panel, CDeviceBase* device, int index) {
        ProfileRoutes* routes = m_pageRoutes ? m_pageRoutes->Profiles() : nullptr;
        return routes && routes->SwitchTo(panel, device, index);
    };
    follow.kindFolder = [](DeviceFamily family) { return KindFolder(family) + "/"; };
    m_appProfiles = std::make_unique<AppProfiles>(std::move(follow));
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
    winId();
    if (QWindow* handle = windowHandle()) {
        auto follow = [this](QScreen* s) {
            disconnect(m_screenArea);
            if (s)
                m_screenArea =
                    connect(s, &QScreen::availableGeometryChanged, this, [this] { ApplyScalePolicy(); });
        };
        connect(handle, &QWindow::screenChanged, this, [this, follow](QScreen* s) {
            DebugLog("界面 DPI 发生变化");
            follow(s);
            ApplyScalePolicy();
        });
        follow(handle->screen());
    }
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

void MainWnd::ApplyScalePolicy() {
    QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    QRect area = s ? s->availableGeometry() : QRect(0, 0, 1024, 768);
    ApplyScaleForWorkArea(area.width(), area.height());
}

void MainWnd::ApplyScaleForWorkArea(int width, int height) {
    bool wasVisible = isVisible();
    if (isMinimized())
        showNormal();
    // The policy's scale, or a smaller one when what the pages need (the pages of every connected
    // device side by side) does not fit the work area. What they need grows with the scale, so the
    // need at the scale in use tells the largest scale that fits, and the window is scaled once:
    // scaling draws every picture of the window again.
    const int policyScale = CheckedScale(ScaleForWorkArea(width, height));
    if (layout())
        layout()->activate();
    QSize need = minimumSizeHint().expandedTo(minimumSize());
    const int current = Scale() > 0 ? Scale() : 96;
    auto fits = [&](int scale) {
        return static_cast<qint64>(need.width()) * scale <= static_cast<qint64>(width) * current &&
               static_cast<qint64>(need.height()) * scale <= static_cast<qint64>(height) * current;
    };
    int scale = policyScale;
    while (!fits(scale) && SmallerScale(scale) != scale)
        scale = SmallerScale(scale);
    for (;;) {
        if (scale != Scale() || !m_scaledOnce) {
            SetScale(scale);
            m_scaledOnce = true;
        }
        if (layout())
            layout()->activate();
        need = minimumSizeHint().expandedTo(minimumSize());
        // Rounding may leave it a little short: one step more then.
        const int smaller = SmallerScale(scale);
        if ((need.width() <= width && need.height() <= height) || smaller == scale)
            break;
        scale = smaller;
    }
    if (need.width() > width || need.height() > height)
        DebugLogf("window needs %dx%d at scale %d, more than the work area of %dx%d", need.width(),
                  need.height(), scale, width, height);
    const QSize policy(kPolicyWidth * scale / 96, kPolicyHeight * scale / 96);
    resize(policy.expandedTo(need).boundedTo(
        QSize(std::max(width, need.width()), std::max(height, need.height()))));
    m_workArea = QSize(width, height);
    CentreOnScreen();
    if (!wasVisible)
        hide();
}

void MainWnd::FitWorkArea() {
    // A device that came or went changes what the pages need; the scale follows when the window
    // would no longer fit, unless it is at its smallest already.
    if (m_workArea.isEmpty() || !layout() || SmallerScale(Scale()) == Scale())
        return;
    layout()->activate();
    const QSize need = minimumSizeHint();
    if (need.width() > m_workArea.width() || need.height() > m_workArea.height() ||
        width() > m_workArea.width() || height() > m_workArea.height())
        ApplyScaleForWorkArea(m_workArea.width(), m_workArea.height());
}

void MainWnd::CentreOnScreen() {
    QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    if (!s)
        return;
    QRect area = s->availableGeometry();
    move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
}

void MainWnd::OnInstanceMessage(qint64 wParam, qint64 lParam) {
    if (!m_running || m_destroyed)
        return;
    DebugLogf("软件标示 %d，%xd%xd", InstanceMessageId(), static_cast<unsigned>(wParam),
              static_cast<unsigned>(lParam));
    // (0, 0) is the end of the start-up scan, which ends a start in the tray; a second start asks
    // with (0, 1) and is always answered.
    const bool startScanInTray = lParam == 0 && m_options.startHidden && TrayAvailable();
    m_options.startHidden = false;
    if (startScanInTray) {
        RefreshNoDeviceLink();
        return;
    }
    FrontAndRefresh();
}

void MainWnd::FrontAndRefresh() {
    RefreshNoDeviceLink();
    if (m_options.startHidden && TrayAvailable())
        return;
    showNormal();
    // Brought to the front without staying on top.
    raise();
    activateWindow();
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
    ctx.sdkServerEnabled = [this] { return m_sdkServer && m_sdkServer->Listening(); };
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

namespace {
constexpr const char* kSdkServerValue = "SDK_SERVER";
constexpr const char* kSdkPortValue = "SDK_PORT";
} // namespace

void MainWnd::StartSdkServer() {
    SdkControllersContext ctx;
    ctx.pages = [this] { return m_host->PagesInPanelOrder(); };
    ctx.englishTextsPath = m_resources.Resolve(QStringLiteral("lang/lan_en.json"));
    m_sdkControllers = std::make_unique<SdkControllers>(std::move(ctx));
    m_sdkServer = std::make_unique<LightingServer>(*m_sdkControllers);
    connect(m_sdkServer.get(), &LightingServer::clientsChanged, this, [this] {
        if (m_windows && m_windows->Settings())
            m_windows->Settings()->SdkServerChanged();
    });
    if (m_options.sdkServer)
        m_sdkServerAddress = *m_options.sdkServer;
    else if (m_store.ReadDword(SettingsStore::ProductKey(), kSdkServerValue).value_or(0) == 0)
        return;
    else if (const std::optional<uint32_t> port =
                 m_store.ReadDword(SettingsStore::ProductKey(), kSdkPortValue);
             port && *port > 0 && *port <= 65535)
        m_sdkServerAddress = QString::number(*port);
    QHostAddress address;
    quint16 port = 0;
    if (ParseServerAddress(m_sdkServerAddress, address, port))
        (void)m_sdkServer->Listen(address, port);
}

bool MainWnd::SetSdkServer(bool on) {
    if (!m_sdkServer)
        return false;
    if (!m_store.WriteDword(SettingsStore::ProductKey(), kSdkServerValue, on ? 1 : 0))
        DebugLog("lighting server: the choice could not be stored");
    if (!on) {
        m_sdkServer->Close();
        return true;
    }
    if (m_sdkServer->Listening())
        return true;
    QHostAddress address;
    quint16 port = 0;
    if (!ParseServerAddress(m_sdkServerAddress, address, port))
        (void)ParseServerAddress(QString(), address, port);
    return m_sdkServer->Listen(address, port);
}

QString MainWnd::SdkServerState() const {
    if (!m_sdkServer)
        return {};
    if (m_sdkServer->Listening()) {
        const QHostAddress a = m_sdkServer->Address();
        const QString where = (a.protocol() == QAbstractSocket::IPv6Protocol ? QStringLiteral("[%1]:%2")
                                                                             : QStringLiteral("%1:%2"))
                                  .arg(a.toString())
                                  .arg(m_sdkServer->Port());
        return m_texts.Text(QStringLiteral("sdkserver_listening_text"))
            .arg(where)
            .arg(m_sdkServer->ClientCount());
    }
    if (!m_sdkServer->Error().isEmpty())
        return m_texts.Text(QStringLiteral("sdkserver_failed_text")).arg(m_sdkServer->Error());
    return {};
}

void MainWnd::EnsureAppTracking() {
    if (!m_appProfiles || m_trackingTried || !m_options.followApps || !m_appProfiles->TrackerName().isEmpty())
        return;
    bool wanted = false;
    for (const KindDescriptor& d : kKindDescriptors) {
        const AppBindings& b = m_appProfiles->Bindings(d.family);
        wanted = wanted || !b.List().empty() || !b.DefaultProfile().empty();
    }
    if (!wanted)
        return; // nothing would follow: the desktop is not asked
    m_trackingTried = true;
    const SessionFacts facts = SessionFacts::FromEnvironment();
    const TrackerKind kind = TrackerKindFor(facts);
    // The program's data folder holds the KWin script.
    std::unique_ptr<IWindowTracker> tracker =
        MakeWindowTracker(kind, QDir(m_options.programFolder).absolutePath());
    if (m_focus)
        m_focus->SetTracker(dynamic_cast<BusWindowTracker*>(tracker.get())); // the desktop's reports go there
    m_appProfiles->Start(std::move(tracker),
                         kind == TrackerKind::None ? NoTrackerReason(facts) : std::string());
}

CAppBindingsWnd* MainWnd::OpenAppBindings() {
    CBrindovaUSBDevice* page = m_host ? m_host->CurrentPage() : nullptr;
    CDeviceProfileUI* panel = page ? page->ProfilePanel() : nullptr;
    const std::optional<DeviceKind> kind = page ? page->Device().Kind() : std::nullopt;
    if (!panel || !kind || !m_appProfiles || panel->GetSelectedIndex() < 0)
        return nullptr;
    if (m_appBindingsWnd)
        m_appBindingsWnd->close();
    const DeviceFamily family = FamilyOf(*kind);
    const std::string uuid = panel->List().UuidAt(panel->GetSelectedIndex());
    AppProfiles* apps = m_appProfiles.get();
    AppBindingsWndContext ctx;
    ctx.profileName =
        QString::fromStdString(panel->List().Names()[static_cast<size_t>(panel->GetSelectedIndex())]);
    ctx.boundApps = [apps, family, uuid] {
        QStringList out;
        const AppBindings& bindings = apps->Bindings(family);
        for (const AppBinding& b : bindings.List())
            if (b.profile == uuid)
                out << QString::fromStdString(b.app);
        return out;
    };
    ctx.runningApps = [apps] {
        QStringList out;
        for (const ActiveApp& a : apps->OpenApps())
            out << QString::fromStdString(a.appId);
        out.sort(Qt::CaseInsensitive);
        return out;
    };
    ctx.bind = [this, apps, family, uuid](const QString& app) {
        const bool done = apps->Bind(family, app.toStdString(), uuid);
        EnsureAppTracking();
        return done;
    };
    ctx.unbind = [apps, family](const QString& app) { return apps->Unbind(family, app.toStdString()); };
    ctx.isDefault = [apps, family, uuid] { return apps->Bindings(family).DefaultProfile() == uuid; };
    ctx.setDefault = [this, apps, family, uuid](bool on) {
        const bool done = apps->SetDefault(family, on ? uuid : std::string());
        EnsureAppTracking();
        return done;
    };
    ctx.trackingState = [this] { return AppTrackingState(); };
    auto* wnd = new CAppBindingsWnd(this, std::move(ctx));
    if (!wnd->Build()) {
        DebugLog("application bindings window not built");
        delete wnd;
        return nullptr;
    }
    wnd->ApplyDpi(Scale(), "APPBINDINGS_WND DPI SET ERROR");
    // At least its own size at this scale, and whatever the texts of the language need.
    wnd->resize(wnd->minimumSizeHint().expandedTo(
        QSize(CAppBindingsWnd::kWidth * wnd->Dpi() / 96, CAppBindingsWnd::kHeight * wnd->Dpi() / 96)));
    m_appBindingsWnd = wnd;
    wnd->CentreOnOwner();
    wnd->show();
    wnd->raise();
    wnd->activateWindow();
    return wnd;
}

QString MainWnd::AppTrackingState() const {
    if (!m_appProfiles)
        return {};
    const QString name = m_appProfiles->TrackerName();
    if (!name.isEmpty())
        return m_texts.Text(QStringLiteral("apptracking_on_text")).arg(name);
    if (!m_trackingTried)
        return m_texts.Text(QStringLiteral("apptracking_idle_text"));
    return m_texts.Text(QStringLiteral("apptracking_off_text")).arg(m_appProfiles->NoTrackerReason());
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

void MainWnd::HideToTray() {
    CloseSecondaryWindows();
    // Without a tray the window could not be found again once hidden: minimise instead.
    if (TrayAvailable())
        hide();
    else
        showMinimized();
}

void MainWnd::OnTrayLeftClick() {
    if (!m_running)
        return;
    RefreshNoDeviceLink();
    CloseSecondaryWindows();
    if (isVisible() && !isMinimized()) {
        hide();
        return;
    }
    ApplyScalePolicy();
    FrontAndRefresh();
    update();
}

void MainWnd::OnMenuChoice(const QString& item) {
    if (!m_running)
        return;
    DebugLogf("menu %s", item.toUtf8().constData());
    if (item == QLatin1String("exit")) {
        CloseSecondaryWindows();
        close();
    } else if (item == QLatin1String("about_menu")) {
        m_windows->OpenAbout();
    } else if (item == QLatin1String("setwnd_menu")) {
        m_windows->OpenSettings(SecondaryWindows::Placement::Centred);
    }
}

void MainWnd::SetLightingControl(bool on, bool announce) {
    m_lightingControl = on;
    if (announce && m_bus)
        m_bus->Announce(1, on ? 1 : 0);
    if (auto* b = qobject_cast<QAbstractButton*>(FindControl(QStringLiteral("control_light_status")))) {
        b->setText(LightingControlText());
        b->setProperty("lightingOff", !on);
        b->style()->unpolish(b);
        b->style()->polish(b);
    }
    DebugLog(on ? "控制灯光" : "不控制灯光");
    for (ShellPage* p : m_pages)
        p->SetLiveLighting(m_lightingControl);
    ForEachDevice([this](CDeviceBase& d) { d.SetLiveLighting(m_lightingControl); });
}

void MainWnd::ForEachDevice(const std::function<void(CDeviceBase&)>& fn) {
    for (CBrindovaUSBDevice* page : m_host->PagesInPanelOrder())
        fn(page->Device());
}

void MainWnd::OnLightingRequest(qint64 wParam, qint64 lParam) {
    if (!m_running || wParam != 1 || (lParam != 0 && lParam != 1))
        return;
    SetLightingControl(lParam == 1, false);
}

void MainWnd::OnSuspend() {
    m_running = false;
    for (ShellPage* p : m_pages)
        p->SetLiveLighting(false);
    ForEachDevice([](CDeviceBase& d) { d.SetLiveLighting(false); });
}

void MainWnd::OnResume() {
    m_running = true;
    for (ShellPage* p : m_pages)
        p->SetLiveLighting(m_lightingControl);
    ForEachDevice([this](CDeviceBase& d) { d.SetLiveLighting(m_lightingControl); });
}

void MainWnd::AddPage(ShellPage* page) {
    if (page)
        m_pages.push_back(page);
}

void MainWnd::UpdatePreview() {
    for (ShellPage* p : m_pages)
        p->SetPreview(m_hovered);
    ForEachDevice([this](CDeviceBase& d) { d.SetPreview(m_hovered); });
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
    if (m_trayMenu) {
        for (QAction* a : m_trayMenu->actions()) {
            QString key = a->property("textKey").toString();
            if (!key.isEmpty())
                a->setText(m_texts.Text(key));
        }
    }
    // The lighting button shows its state in the language chosen.
    if (auto* b = qobject_cast<QAbstractButton*>(FindControl(QStringLiteral("control_light_status"))))
        b->setText(LightingControlText());
}

QString MainWnd::LightingControlText() const {
    return m_texts.Text(m_lightingControl ? QStringLiteral("control_light_on_text")
                                          : QStringLiteral("control_light_off_text"));
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
    if (m_tray)
        m_tray->hide();
    DebugLog("退出测试");
    hide();
    // Discovery may be waiting for this thread; it must stop waiting before it is joined.
    if (MacroRoutes* macros = Macros())
        macros->StopRecording();
    if (m_sdkServer)
        m_sdkServer->Close(); // no client reaches a device that is stopping
    if (m_appProfiles)
        m_appProfiles->Stop();
    m_host->BeginShutdown();
    m_workers.StopAll(std::chrono::milliseconds(1000));
    m_host->StopPages();
    emit shutDown();
}

void MainWnd::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange) {
        m_active = isActiveWindow();
        m_hovered = m_active;
        UpdatePreview();
    }
    UiWindow::changeEvent(event);
}

void MainWnd::enterEvent(QEnterEvent* event) {
    if (!m_active) {
        m_hovered = true;
        DebugLog("鼠标移入");
        UpdatePreview();
    }
    UiWindow::enterEvent(event);
}

void MainWnd::leaveEvent(QEvent* event) {
    if (!m_active) {
        m_hovered = false;
        DebugLog("鼠标移出");
        UpdatePreview();
    }
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
    QWidget* caption = FindControl(QStringLiteral("caption"));
    if (event->button() == Qt::LeftButton && caption &&
        caption->rect().contains(caption->mapFrom(this, event->position().toPoint()))) {
        m_dragging = true;
        m_dragOffset = event->globalPosition().toPoint() - frameGeometry().topLeft();
    }
    UiWindow::mousePressEvent(event);
}

void MainWnd::mouseMoveEvent(QMouseEvent* event) {
    if (m_dragging && (event->buttons() & Qt::LeftButton))
        move(event->globalPosition().toPoint() - m_dragOffset);
    else
        m_dragging = false;
    UiWindow::mouseMoveEvent(event);
}

} // namespace nk7x
