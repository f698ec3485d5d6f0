#include "app/AppProfiles.h"

#include "link/KindDescriptors.h"
#include "panels/pages/BrindovaUSBDevice.h"
#include "panels/profile/DeviceProfileUI.h"
#include "platform/DebugLog.h"

#include <QMetaObject>
#include <QPointer>

namespace nk7x {
namespace {

std::optional<DeviceFamily> FamilyOfPage(CBrindovaUSBDevice& page) {
    const std::optional<DeviceKind> kind = page.Device().Kind();
    return kind ? std::optional<DeviceFamily>(FamilyOf(*kind)) : std::nullopt;
}

int IndexOfUuid(const ProfileList& list, const std::string& uuid) {
    for (int i = 0; i < list.Count(); ++i)
        if (list.UuidAt(i) == uuid)
            return i;
    return -1;
}

} // namespace

AppProfiles::AppProfiles(AppProfilesContext context, QObject* parent)
    : QObject(parent), m_ctx(std::move(context)) {}

AppProfiles::~AppProfiles() {
    Stop();
}

void AppProfiles::Start(std::unique_ptr<IWindowTracker> tracker, const std::string& why) {
    Stop();
    m_why = QString::fromStdString(why);
    if (!tracker) {
        DebugLogf("profiles follow no application: %s", why.c_str());
        return;
    }
    QPointer<AppProfiles> self(this);
    std::string failed;
    // The tracker calls from its own thread; the switch happens on this one.
    const bool started = tracker->Start(
        [self](const ActiveApp& app) {
            QMetaObject::invokeMethod(
                self.data(),
                [self, app] {
                    if (self)
                        self->Follow(app);
                },
                Qt::QueuedConnection);
        },
        &failed);
    if (!started) {
        m_why = QString::fromStdString(failed);
        DebugLogf("profiles follow no application: %s: %s", tracker->Name().c_str(), failed.c_str());
        return;
    }
    DebugLogf("profiles follow the application in front (%s)", tracker->Name().c_str());
    m_tracker = std::move(tracker);
}

void AppProfiles::Stop() {
    if (m_tracker)
        m_tracker->Stop();
    m_tracker.reset();
}

QString AppProfiles::TrackerName() const {
    return m_tracker ? QString::fromStdString(m_tracker->Name()) : QString();
}

std::vector<ActiveApp> AppProfiles::OpenApps() {
    return m_tracker ? m_tracker->OpenApps() : std::vector<ActiveApp>{};
}

std::string AppProfiles::BindingsPath(DeviceFamily family) const {
    const std::string folder = m_ctx.kindFolder ? m_ctx.kindFolder(family) : std::string();
    return folder.empty() ? std::string() : folder + kAppBindingsFileName;
}

const AppBindings& AppProfiles::Bindings(DeviceFamily family) const {
    const auto kept = m_bindings.find(family);
    if (kept != m_bindings.end())
        return kept->second;
    AppBindings& bindings = m_bindings[family];
    const std::string path = BindingsPath(family);
    if (!path.empty())
        (void)bindings.Load(path); // a broken file is set aside and reported by the load
    return bindings;
}

namespace {

// A change of a family's bindings: on a copy, kept only once the file holds it.
bool Change(AppBindings& kept, const std::string& path, const std::function<bool(AppBindings&)>& change) {
    AppBindings changed = kept;
    if (!change(changed) || !changed.Save(path))
        return false;
    kept = std::move(changed);
    return true;
}

} // namespace

bool AppProfiles::Bind(DeviceFamily family, const std::string& app, const std::string& profileUuid) {
    (void)Bindings(family);
    return Change(m_bindings[family], BindingsPath(family),
                  [&](AppBindings& b) { return b.Bind(app, profileUuid); });
}

bool AppProfiles::Unbind(DeviceFamily family, const std::string& app) {
    (void)Bindings(family);
    return Change(m_bindings[family], BindingsPath(family), [&](AppBindings& b) { return b.Unbind(app); });
}

bool AppProfiles::SetDefault(DeviceFamily family, const std::string& profileUuid) {
    (void)Bindings(family);
    return Change(m_bindings[family], BindingsPath(family), [&](AppBindings& b) {
        b.SetDefaultProfile(profileUuid);
        return true;
    });
}

void AppProfiles::Follow(const ActiveApp& app) {
    m_current = app;
    if (!m_ctx.pages)
        return;
    for (CBrindovaUSBDevice* page : m_ctx.pages()) {
        const std::optional<DeviceFamily> family = page ? FamilyOfPage(*page) : std::nullopt;
        CDeviceProfileUI* panel = page ? page->ProfilePanel() : nullptr;
        if (!family || !panel || !page->Device().Link().IsOpen())
            continue;
        const AppBindings& bindings = Bindings(*family);
        const ProfileList& list = panel->List();
        const std::string current = list.UuidAt(panel->GetSelectedIndex());
        std::string target;
        if (const std::optional<std::string> bound = bindings.Match(app)) {
            target = *bound;
            if (!m_returnTo.contains(*family))
                m_returnTo[*family] = current;
        } else if (!bindings.DefaultProfile().empty()) {
            target = bindings.DefaultProfile();
            m_returnTo.erase(*family);
        } else if (const auto back = m_returnTo.find(*family); back != m_returnTo.end()) {
            target = back->second;
            m_returnTo.erase(back);
        }
        const int index = target.empty() ? -1 : IndexOfUuid(list, target);
        if (index < 0 || target == current)
            continue;
        const char* kind = Describe(*family).scriptName;
        DebugLogf("profiles: \"%s\" in front: the %s takes \"%s\"", app.appId.c_str(), kind,
                  list.Names()[static_cast<size_t>(index)].c_str());
        if (m_ctx.switchTo && m_ctx.switchTo(*panel, &page->Device(), index))
            emit followed(QString::fromLatin1(kind), QString::fromStdString(target));
    }
}

} // namespace nk7x
