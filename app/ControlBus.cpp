#include "app/ControlBus.h"

#include "link/KindDescriptors.h"
#include "panels/pages/BrindovaUSBDevice.h"
#include "panels/profile/DeviceProfileUI.h"
#include "profiles/ProfileList.h"

#include <QDBusConnection>

namespace nk7x {
namespace {

std::optional<DeviceFamily> FamilyOfScriptName(const QString& kind) {
    for (const KindDescriptor& d : kKindDescriptors)
        if (kind.compare(QLatin1String(d.scriptName), Qt::CaseInsensitive) == 0)
            return d.family;
    return std::nullopt;
}

std::optional<DeviceFamily> FamilyOfPage(CBrindovaUSBDevice& page) {
    const std::optional<DeviceKind> kind = page.Device().Kind();
    if (!kind)
        return std::nullopt;
    return FamilyOf(*kind);
}

void ReplyError(const QDBusMessage& message, const char* name, const QString& text) {
    message.setDelayedReply(true);
    QDBusConnection::sessionBus().send(message.createErrorReply(QString::fromLatin1(name), text));
}

QString KnownKinds() {
    QStringList names;
    for (const KindDescriptor& d : kKindDescriptors)
        names << QString::fromLatin1(d.scriptName);
    return names.join(QStringLiteral(", "));
}

} // namespace

ControlBus::ControlBus(QObject* busObject, ControlBusContext context)
    : QDBusAbstractAdaptor(busObject), m_ctx(std::move(context)) {
    setAutoRelaySignals(false);
}

QStringList ControlBus::Devices() {
    QStringList kinds;
    for (CBrindovaUSBDevice* page : m_ctx.pages()) {
        const std::optional<DeviceFamily> family = FamilyOfPage(*page);
        if (!family || !page->Device().Link().IsOpen())
            continue;
        const QString name = QString::fromLatin1(Describe(*family).scriptName);
        if (!kinds.contains(name))
            kinds << name;
    }
    return kinds;
}

CBrindovaUSBDevice* ControlBus::PageOf(const QString& kind, const QDBusMessage& message) const {
    const std::optional<DeviceFamily> family = FamilyOfScriptName(kind);
    if (!family) {
        ReplyError(message, kErrorUnknownKind,
                   QStringLiteral("no device kind \"%1\"; the kinds are %2").arg(kind, KnownKinds()));
        return nullptr;
    }
    // A connected device's page first: a mouse by cable and by receiver share the family.
    CBrindovaUSBDevice* found = nullptr;
    for (CBrindovaUSBDevice* page : m_ctx.pages()) {
        if (FamilyOfPage(*page) != family || !page->ProfilePanel())
            continue;
        if (page->Device().Link().IsOpen())
            return page;
        if (!found)
            found = page;
    }
    if (!found)
        ReplyError(message, kErrorNoDevice, QStringLiteral("no %1 has been connected").arg(kind));
    return found;
}

QStringList ControlBus::Profiles(const QString& kind, const QDBusMessage& message) {
    QStringList names;
    if (CBrindovaUSBDevice* page = PageOf(kind, message))
        for (const std::string& name : page->ProfilePanel()->List().Names())
            names << QString::fromStdString(name);
    return names;
}

QString ControlBus::ActiveProfile(const QString& kind, const QDBusMessage& message) {
    CBrindovaUSBDevice* page = PageOf(kind, message);
    if (!page)
        return {};
    const ProfileList& list = page->ProfilePanel()->List();
    const int index = list.GetSelectedIndex();
    return index >= 0 && index < list.Count()
               ? QString::fromStdString(list.Names()[static_cast<size_t>(index)])
               : QString();
}

void ControlBus::UseProfile(const QString& kind, const QString& name, const QDBusMessage& message) {
    CBrindovaUSBDevice* page = PageOf(kind, message);
    if (!page)
        return;
    CDeviceProfileUI& panel = *page->ProfilePanel();
    const std::vector<std::string>& names = panel.List().Names();
    const std::string wanted = name.toStdString();
    int index = -1;
    for (size_t i = 0; i < names.size() && index < 0; ++i)
        if (names[i] == wanted)
            index = static_cast<int>(i);
    for (size_t i = 0; i < names.size() && index < 0; ++i)
        if (ProfileList::SameName(names[i], wanted))
            index = static_cast<int>(i);
    if (index < 0) {
        ReplyError(message, kErrorUnknownProfile,
                   QStringLiteral("the %1 has no profile \"%2\"").arg(kind, name));
        return;
    }
    if (!m_ctx.switchTo(panel, &page->Device(), index))
        ReplyError(message, kErrorUnknownProfile,
                   QStringLiteral("the %1 has no profile \"%2\"").arg(kind, name));
}

void ControlBus::ProfileSwitched(const CDeviceProfileUI& panel) {
    const std::optional<DeviceKind> kind = KindFromNumber(panel.DeviceType());
    const ProfileList& list = panel.List();
    const int index = list.GetSelectedIndex();
    if (!kind || index < 0 || index >= list.Count())
        return;
    emit ActiveProfileChanged(QString::fromLatin1(Describe(FamilyOf(*kind)).scriptName),
                              QString::fromStdString(list.Names()[static_cast<size_t>(index)]));
}

} // namespace nk7x
