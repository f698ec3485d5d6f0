#include "app/AppFollowing.h"

#include "app/AppProfiles.h"
#include "app/DeviceHost.h"
#include "app/FocusBus.h"
#include "app/WindowTrackers.h"
#include "link/KindDescriptors.h"
#include "panels/pages/BrindovaUSBDevice.h"
#include "panels/profile/DeviceProfileUI.h"
#include "platform/DebugLog.h"
#include "platform/qt/BusWindowTracker.h"
#include "profiles/ProfileFolders.h"
#include "ui/LanguageTexts.h"
#include "ui/UiWindow.h"
#include "windows/AppBindingsWnd.h"

#include <QDir>

namespace nk7x {

AppFollowing::AppFollowing(AppFollowingContext context) : m_ctx(std::move(context)) {
    AppProfilesContext follow;
    DeviceHost* host = m_ctx.host;
    follow.pages = [host] { return host->PagesInPanelOrder(); };
    follow.switchTo = m_ctx.switchTo;
    follow.kindFolder = [](DeviceFamily family) { return KindFolder(family) + "/"; };
    m_profiles = std::make_unique<AppProfiles>(std::move(follow));
}

AppFollowing::~AppFollowing() = default;

void AppFollowing::EnsureTracking() {
    if (m_trackingTried || !m_ctx.followApps || !m_profiles->TrackerName().isEmpty())
        return;
    bool wanted = false;
    for (const KindDescriptor& d : Kinds()) {
        const AppBindings& b = m_profiles->Bindings(d.family);
        wanted = wanted || !b.List().empty() || !b.DefaultProfile().empty();
    }
    if (!wanted)
        return; // nothing would follow: the desktop is not asked
    m_trackingTried = true;
    const SessionFacts facts = SessionFacts::FromEnvironment();
    const TrackerKind kind = TrackerKindFor(facts);
    // The program's data folder holds the KWin script.
    std::unique_ptr<IWindowTracker> tracker =
        MakeWindowTracker(kind, QDir(m_ctx.programFolder).absolutePath());
    if (m_ctx.focus)
        m_ctx.focus->SetTracker(
            dynamic_cast<BusWindowTracker*>(tracker.get())); // the desktop's reports go there
    m_profiles->Start(std::move(tracker), kind == TrackerKind::None ? NoTrackerReason(facts) : std::string());
}

QString AppFollowing::TrackingState() const {
    const LanguageTexts& texts = *m_ctx.texts;
    const QString name = m_profiles->TrackerName();
    if (!name.isEmpty())
        return texts.Text(QStringLiteral("apptracking_on_text")).arg(name);
    if (!m_trackingTried)
        return texts.Text(QStringLiteral("apptracking_idle_text"));
    return texts.Text(QStringLiteral("apptracking_off_text")).arg(m_profiles->NoTrackerReason());
}

CAppBindingsWnd* AppFollowing::OpenBindings() {
    CBrindovaUSBDevice* page = m_ctx.host ? m_ctx.host->CurrentPage() : nullptr;
    CDeviceProfileUI* panel = page ? page->ProfilePanel() : nullptr;
    const std::optional<DeviceKind> kind = page ? page->Device().Kind() : std::nullopt;
    if (!panel || !kind || panel->GetSelectedIndex() < 0)
        return nullptr;
    if (m_bindingsWnd)
        m_bindingsWnd->close();
    const DeviceFamily family = FamilyOf(*kind);
    const std::string uuid = panel->List().UuidAt(panel->GetSelectedIndex());
    AppProfiles* apps = m_profiles.get();
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
        EnsureTracking();
        return done;
    };
    ctx.unbind = [apps, family](const QString& app) { return apps->Unbind(family, app.toStdString()); };
    ctx.isDefault = [apps, family, uuid] { return apps->Bindings(family).DefaultProfile() == uuid; };
    ctx.setDefault = [this, apps, family, uuid](bool on) {
        const bool done = apps->SetDefault(family, on ? uuid : std::string());
        EnsureTracking();
        return done;
    };
    ctx.trackingState = [this] { return TrackingState(); };
    UiWindow* owner = m_ctx.window;
    auto* wnd = new CAppBindingsWnd(owner, std::move(ctx));
    if (!wnd->Build()) {
        DebugLog("application bindings window not built");
        delete wnd;
        return nullptr;
    }
    wnd->ApplyDpi(owner->Scale(), "APPBINDINGS_WND DPI SET ERROR");
    // At least its own size at this scale, and whatever the texts of the language need.
    wnd->resize(wnd->minimumSizeHint().expandedTo(
        QSize(CAppBindingsWnd::kWidth * wnd->Dpi() / 96, CAppBindingsWnd::kHeight * wnd->Dpi() / 96)));
    m_bindingsWnd = wnd;
    wnd->CentreOnOwner();
    wnd->show();
    wnd->raise();
    wnd->activateWindow();
    return wnd;
}

void AppFollowing::Stop() {
    m_profiles->Stop();
}

} // namespace nk7x
