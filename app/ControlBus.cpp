#include "app/ControlBus.h"

#include "app/AppProfiles.h"

#include "devices/LightModeTables.h"
#include "devices/ReportRates.h"
#include "devices/StreamedLightDevice.h"
#include "devices/discovery/DeviceTables.h"
#include "devices/keyboard/KeyboardDevice.h"
#include "devices/mouse/MouseDevice.h"
#include "devices/mouse/MouseTables.h"
#include "link/KindDescriptors.h"
#include "panels/light/LightControlUI.h"
#include "panels/light/LightRoutes.h"
#include "panels/pages/BrindovaUSBDevice.h"
#include "panels/profile/DeviceProfileUI.h"
#include "profiles/ProfileList.h"

#include <QDBusConnection>
#include <QDBusMetaType>

namespace nk7x {
namespace {

std::optional<DeviceFamily> FamilyOfScriptName(const QString& kind) {
    for (const KindDescriptor& d : Kinds())
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

QStringList VisibleModeNames(DeviceFamily family) {
    QStringList names;
    for (const std::string& name : VisibleLightModeNames(family))
        names << QString::fromStdString(name);
    return names;
}

// A whole number from a bus value of any integer type (or a string of digits); nothing otherwise.
std::optional<int> WholeNumber(const QVariant& value) {
    bool ok = false;
    const qlonglong n = value.toLongLong(&ok);
    if (!ok || n < INT32_MIN || n > INT32_MAX || value.typeId() == QMetaType::Double ||
        value.typeId() == QMetaType::Bool)
        return std::nullopt;
    return static_cast<int>(n);
}

// "RRGGBB" (or "#RRGGBB") as its three bytes; false for anything else.
bool ParseColour(QString text, uint8_t& red, uint8_t& green, uint8_t& blue) {
    if (text.startsWith(QLatin1Char('#')))
        text.remove(0, 1);
    bool ok = false;
    const uint rgb = text.toUInt(&ok, 16);
    if (!ok || text.size() != 6)
        return false;
    red = static_cast<uint8_t>(rgb >> 16);
    green = static_cast<uint8_t>(rgb >> 8);
    blue = static_cast<uint8_t>(rgb);
    return true;
}

QString KnownKinds() {
    QStringList names;
    for (const KindDescriptor& d : Kinds())
        names << QString::fromLatin1(d.scriptName);
    return names.join(QStringLiteral(", "));
}

} // namespace

ControlBus::ControlBus(QObject* busObject, ControlBusContext context)
    : QDBusAbstractAdaptor(busObject), m_ctx(std::move(context)) {
    setAutoRelaySignals(false);
    qDBusRegisterMetaType<QList<bool>>();
    qDBusRegisterMetaType<QMap<QString, QString>>();
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

QVariantMap ControlBus::DeviceInfo(const QString& kind, const QDBusMessage& message) {
    QVariantMap out;
    CBrindovaUSBDevice* page = PageOf(kind, message);
    const std::optional<DeviceFamily> family = page ? FamilyOfPage(*page) : std::nullopt;
    if (!family)
        return out;
    CDeviceBase& device = page->Device();
    const DeviceSlot& slot = device.GetIdentity();
    out.insert(QStringLiteral("name"), QString::fromLatin1(Describe(*family).productName));
    out.insert(QStringLiteral("vendor-id"), int{slot.vendorId});
    out.insert(QStringLiteral("product-id"), int{slot.productId});
    out.insert(QStringLiteral("connection"),
               device.Link().LongTimeouts() || device.Kind() == DeviceKind::MouseReceiver
                   ? QStringLiteral("wireless")
                   : QStringLiteral("cable"));
    // The status record is polled only where the page shows the power state.
    const auto* streamed = dynamic_cast<const CStreamedLightDevice*>(&device);
    if (streamed && device.PowerMode() != 0 && device.Link().IsOpen()) {
        const DeviceStatusBytes& status = streamed->LastStatus();
        static const char* const kPower[] = {"powered", "charging", "battery"};
        out.insert(QStringLiteral("battery"), int{status[DeviceStatusRecord::kBattery]});
        if (status[DeviceStatusRecord::kPower] < 3)
            out.insert(QStringLiteral("power"),
                       QString::fromLatin1(kPower[status[DeviceStatusRecord::kPower]]));
    }
    return out;
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
    const int index = panel.List().IndexOfName(name.toStdString());
    if (index < 0) {
        ReplyError(message, kErrorUnknownProfile,
                   QStringLiteral("the %1 has no profile \"%2\"").arg(kind, name));
        return;
    }
    if (!m_ctx.switchTo(panel, &page->Device(), index))
        ReplyError(message, kErrorUnknownProfile,
                   QStringLiteral("the %1 has no profile \"%2\"").arg(kind, name));
}

QStringList ControlBus::LightModes(const QString& kind, const QDBusMessage& message) {
    CBrindovaUSBDevice* page = PageOf(kind, message);
    const std::optional<DeviceFamily> family = page ? FamilyOfPage(*page) : std::nullopt;
    return family ? VisibleModeNames(*family) : QStringList();
}

QVariantMap ControlBus::Lighting(const QString& kind, const QDBusMessage& message) {
    CBrindovaUSBDevice* page = PageOf(kind, message);
    const std::optional<DeviceFamily> family = page ? FamilyOfPage(*page) : std::nullopt;
    if (!family)
        return {};
    const LightState s = page->Device().GetLightSettings();
    const std::span<const BuiltInLightMode> modes = BuiltInLightModes(*family);
    QVariantMap out;
    out.insert(QStringLiteral("mode"), s.mode < modes.size()
                                           ? QString::fromStdString(LightModeScriptName(modes[s.mode]))
                                           : QString::number(s.mode));
    out.insert(QStringLiteral("color"), QStringLiteral("%1%2%3")
                                            .arg(s.red, 2, 16, QLatin1Char('0'))
                                            .arg(s.green, 2, 16, QLatin1Char('0'))
                                            .arg(s.blue, 2, 16, QLatin1Char('0'))
                                            .toUpper());
    out.insert(QStringLiteral("brightness"), int{s.brightness});
    out.insert(QStringLiteral("speed"), int{s.speed});
    out.insert(QStringLiteral("direction"),
               s.direction != 0 ? QStringLiteral("left") : QStringLiteral("right"));
    return out;
}

void ControlBus::SetLighting(const QString& kind, const QVariantMap& settings, const QDBusMessage& message) {
    CBrindovaUSBDevice* page = PageOf(kind, message);
    const std::optional<DeviceFamily> family = page ? FamilyOfPage(*page) : std::nullopt;
    if (!family)
        return;
    CLightControlUI* panel = page->LightPanel();
    const auto refuse = [&message](const QString& why) { ReplyError(message, kErrorInvalidArgument, why); };
    // Everything is checked before anything changes.
    LightState state = page->Device().GetLightSettings();
    for (auto it = settings.cbegin(); it != settings.cend(); ++it) {
        const QString& key = it.key();
        const QVariant& value = it.value();
        if (key == QLatin1String("mode")) {
            const int mode = FindLightMode(*family, value.toString().toStdString());
            if (value.typeId() != QMetaType::QString || mode < 0)
                return refuse(
                    QStringLiteral("the %1 has no lighting mode \"%2\"; its modes are %3")
                        .arg(kind, value.toString(), VisibleModeNames(*family).join(QStringLiteral(", "))));
            state.mode = static_cast<uint8_t>(mode);
        } else if (key == QLatin1String("color")) {
            if (value.typeId() != QMetaType::QString ||
                !ParseColour(value.toString(), state.red, state.green, state.blue))
                return refuse(QStringLiteral("a colour is six hexadecimal digits, RRGGBB; \"%1\" is not one")
                                  .arg(value.toString()));
            state.multiColor = 0;
        } else if (key == QLatin1String("brightness") || key == QLatin1String("speed")) {
            const bool brightness = key == QLatin1String("brightness");
            const int max = panel ? (brightness ? panel->MaxBrightness() : panel->MaxSpeed()) : 0xFF;
            const std::optional<int> n = WholeNumber(value);
            if (!n || *n < 0 || *n > max)
                return refuse(QStringLiteral("%1 is a whole number from 0 to %2; %3 is not")
                                  .arg(key)
                                  .arg(max)
                                  .arg(value.toString()));
            (brightness ? state.brightness : state.speed) = static_cast<uint8_t>(*n);
        } else if (key == QLatin1String("direction")) {
            const QString d = value.toString();
            if (d != QLatin1String("left") && d != QLatin1String("right"))
                return refuse(QStringLiteral("direction is \"left\" or \"right\"; \"%1\" is not").arg(d));
            state.direction = d == QLatin1String("left") ? 1 : 0;
        } else {
            return refuse(
                QStringLiteral("no lighting setting \"%1\"; the settings are mode, color, brightness, "
                               "speed and direction")
                    .arg(key));
        }
    }
    LightRoutes::StoreFromOutside(page->Device(), panel, state);
}

namespace {

// The keyboard's option flags by the names scripts use.
struct KeyboardOption {
    const char* name;
    uint16_t KeyboardSystemStages::*flag;
};
constexpr KeyboardOption kKeyboardOptions[] = {
    {"win-key-lock", &KeyboardSystemStages::winKeyFlag},
    {"six-key-rollover", &KeyboardSystemStages::key6Flag},
    {"w-key-mode", &KeyboardSystemStages::wKeyFlag},
};

} // namespace

namespace {

// A key's script name: its label lower-cased, blanks as '-' ("Print Scr" is "print-scr").
QString KeyScriptName(const char* label) {
    return QString::fromLatin1(label).toLower().replace(QLatin1Char(' '), QLatin1Char('-'));
}

// The key index a script names (a name or the index itself); -1 for none.
int KeyIndexOf(const QString& name) {
    bool isNumber = false;
    const int number = name.toInt(&isNumber);
    if (isNumber)
        return number >= 0 && number < kKeyboardKeyCount ? number : -1;
    for (size_t i = 0; i < DefaultKeyCodeTable.size(); ++i)
        if (DefaultKeyCodeTable[i].label && KeyScriptName(DefaultKeyCodeTable[i].label) == name.toLower())
            return static_cast<int>(i);
    return -1;
}

} // namespace

QStringList ControlBus::KeyNames(const QString& kind, const QDBusMessage& message) {
    CBrindovaUSBDevice* page = PageOf(kind, message);
    QStringList names;
    if (page && !page->Parts().keyboard) {
        ReplyError(message, kErrorInvalidArgument, QStringLiteral("the %1 has no keys to colour").arg(kind));
        return names;
    }
    if (page)
        for (const DefaultKeyEntry& key : DefaultKeyCodeTable)
            if (key.label)
                names << KeyScriptName(key.label);
    return names;
}

void ControlBus::SetKeyColours(const QString& kind, const QMap<QString, QString>& colours,
                               const QDBusMessage& message) {
    CBrindovaUSBDevice* page = nullptr;
    CKeyboardDevice* keyboard = KeyboardOf(kind, "keys to colour", message, page);
    if (!keyboard)
        return;
    std::vector<CKeyboardDevice::KeyPaint> paints;
    for (auto it = colours.cbegin(); it != colours.cend(); ++it) {
        CKeyboardDevice::KeyPaint paint{KeyIndexOf(it.key()), 0, 0, 0};
        if (paint.keyIndex < 0)
            return ReplyError(
                message, kErrorInvalidArgument,
                QStringLiteral("the keyboard has no key \"%1\"; KeyNames lists them").arg(it.key()));
        if (!ParseColour(it.value(), paint.red, paint.green, paint.blue))
            return ReplyError(message, kErrorInvalidArgument,
                              QStringLiteral("a colour is six hexadecimal digits, RRGGBB; \"%1\" is not one")
                                  .arg(it.value()));
        paints.push_back(paint);
    }
    if (keyboard->GetLightSettings().mode != kCustomLightMode) {
        // As the panel's choice of the custom mode: stored, written, shown.
        LightState state = keyboard->GetLightSettings();
        state.mode = static_cast<uint8_t>(kCustomLightMode);
        LightRoutes::StoreFromOutside(*keyboard, page->LightPanel(), state);
    }
    if (!keyboard->PaintCustomKeys(paints))
        ReplyError(message, kErrorInvalidArgument, QStringLiteral("the keyboard could not take the colours"));
}

QVariantMap ControlBus::KeyboardOptions(const QString& kind, const QDBusMessage& message) {
    CBrindovaUSBDevice* page = PageOf(kind, message);
    CKeyboardDevice* keyboard = page ? page->Parts().keyboard : nullptr;
    if (page && !keyboard)
        ReplyError(message, kErrorInvalidArgument,
                   QStringLiteral("the %1 has no keyboard options").arg(kind));
    QVariantMap out;
    if (!keyboard)
        return out;
    const KeyboardSystemStages stages = keyboard->Profile().GetSystemStages();
    for (const KeyboardOption& o : kKeyboardOptions)
        out.insert(QString::fromLatin1(o.name), stages.*o.flag != 0);
    return out;
}

void ControlBus::SetKeyboardOptions(const QString& kind, const QVariantMap& options,
                                    const QDBusMessage& message) {
    CBrindovaUSBDevice* page = nullptr;
    CKeyboardDevice* keyboard = KeyboardOf(kind, "keyboard options", message, page);
    if (!keyboard)
        return;
    KeyboardSystemStages stages = keyboard->Profile().GetSystemStages();
    for (auto it = options.cbegin(); it != options.cend(); ++it) {
        const KeyboardOption* option = nullptr;
        for (const KeyboardOption& o : kKeyboardOptions)
            if (it.key() == QLatin1String(o.name))
                option = &o;
        if (!option)
            return ReplyError(message, kErrorInvalidArgument,
                              QStringLiteral("no keyboard option \"%1\"; the options are win-key-lock, "
                                             "six-key-rollover and w-key-mode")
                                  .arg(it.key()));
        if (it.value().typeId() != QMetaType::Bool)
            return ReplyError(message, kErrorInvalidArgument,
                              QStringLiteral("%1 is true or false").arg(it.key()));
        stages.*option->flag = it.value().toBool() ? 1 : 0;
    }
    keyboard->StoreSystemStages(stages);
    page->Device().RefreshPage();
}

int ControlBus::ReportRate(const QString& kind, const QDBusMessage& message) {
    CBrindovaUSBDevice* page = PageOf(kind, message);
    if (!page)
        return 0;
    const PageParts parts = page->Parts();
    if (parts.keyboard)
        return RateOfOption(parts.keyboard->SystemStages().pollingRate %
                            ReportRateOptions(DeviceFamily::Keyboard));
    if (parts.mouse)
        return RateOfOption(parts.mouse->SettingsControls().reportStage);
    ReplyError(message, kErrorInvalidArgument, QStringLiteral("the %1 has no report rate").arg(kind));
    return 0;
}

void ControlBus::SetReportRate(const QString& kind, int hz, const QDBusMessage& message) {
    CBrindovaUSBDevice* page = PageOf(kind, message);
    if (!page)
        return;
    const PageParts parts = page->Parts();
    const DeviceFamily family = parts.keyboard ? DeviceFamily::Keyboard : DeviceFamily::Mouse;
    if (!parts.keyboard && !parts.mouse)
        return ReplyError(message, kErrorInvalidArgument,
                          QStringLiteral("the %1 has no report rate").arg(kind));
    const int option = ReportRateOption(family, hz);
    if (option < 0)
        return ReplyError(message, kErrorInvalidArgument,
                          QStringLiteral("the %1's report rates are %2 Hz; %3 is not one")
                              .arg(kind, QString::fromStdString(ReportRatesText(family)))
                              .arg(hz));
    if (parts.keyboard) {
        KeyboardSystemStages stages = parts.keyboard->Profile().GetSystemStages();
        stages.pollingRate = static_cast<uint16_t>(option);
        parts.keyboard->StoreSystemStages(stages);
    } else {
        parts.mouse->SetReportStage(option);
    }
    page->Device().RefreshPage();
}

QList<int> ControlBus::DpiStages(const QString& kind, const QDBusMessage& message, QList<bool>& enabled) {
    CBrindovaUSBDevice* page = PageOf(kind, message);
    if (!page)
        return {};
    CMouseDevice* mouse = page->Parts().mouse;
    if (!mouse) {
        ReplyError(message, kErrorInvalidArgument, QStringLiteral("the %1 has no DPI stages").arg(kind));
        return {};
    }
    QList<int> dpis;
    for (const DpiStage& stage : mouse->SettingsControls().stages) {
        dpis << mouse->Info().DpiForSteps(stage.dpiX);
        enabled << (stage.active != 0);
    }
    return dpis;
}

CKeyboardDevice* ControlBus::KeyboardOf(const QString& kind, const char* what, const QDBusMessage& message,
                                        CBrindovaUSBDevice*& page) const {
    page = PageOf(kind, message);
    if (!page)
        return nullptr;
    CKeyboardDevice* keyboard = page->Parts().keyboard;
    if (!keyboard)
        ReplyError(message, kErrorInvalidArgument,
                   QStringLiteral("the %1 has no %2").arg(kind, QString::fromLatin1(what)));
    return keyboard;
}

CMouseDevice* ControlBus::StageOf(const QString& kind, int stage, const QDBusMessage& message,
                                  CBrindovaUSBDevice*& page) const {
    page = PageOf(kind, message);
    if (!page)
        return nullptr;
    CMouseDevice* mouse = page->Parts().mouse;
    if (!mouse) {
        ReplyError(message, kErrorInvalidArgument, QStringLiteral("the %1 has no DPI stages").arg(kind));
        return nullptr;
    }
    const int stages = static_cast<int>(mouse->SettingsControls().stages.size());
    if (stage < 1 || stage > stages) {
        ReplyError(message, kErrorInvalidArgument,
                   QStringLiteral("the stages are 1 to %1; %2 is not one").arg(stages).arg(stage));
        return nullptr;
    }
    return mouse;
}

void ControlBus::SetDpiStage(const QString& kind, int stage, int dpi, const QDBusMessage& message) {
    CBrindovaUSBDevice* page = nullptr;
    CMouseDevice* mouse = StageOf(kind, stage, message, page);
    if (!mouse)
        return;
    if (const std::string refusal = mouse->StageDpiRefusal(dpi); !refusal.empty())
        return ReplyError(message, mouse->Info().dpiStep <= 0 ? kErrorNoDevice : kErrorInvalidArgument,
                          QStringLiteral("the %1 %2").arg(kind, QString::fromStdString(refusal)));
    (void)mouse->SetStageDpi(stage - 1, dpi);
    page->Device().RefreshPage();
}

void ControlBus::SetDpiStageEnabled(const QString& kind, int stage, bool on, const QDBusMessage& message) {
    CBrindovaUSBDevice* page = nullptr;
    CMouseDevice* mouse = StageOf(kind, stage, message, page);
    if (!mouse)
        return;
    const std::vector<DpiStage> stages = mouse->SettingsControls().stages;
    int others = 0;
    for (size_t i = 0; i < stages.size(); ++i)
        others += i != static_cast<size_t>(stage - 1) && stages[i].active != 0 ? 1 : 0;
    if (!on && others == 0)
        return ReplyError(message, kErrorInvalidArgument,
                          QStringLiteral("stage %1 is the only one on; a mouse keeps one").arg(stage));
    mouse->SetStageEnabled(stage - 1, on);
    page->Device().RefreshPage();
}

int ControlBus::ActiveDpiStage(const QString& kind, const QDBusMessage& message) {
    CBrindovaUSBDevice* page = nullptr;
    CMouseDevice* mouse = StageOf(kind, 1, message, page);
    return mouse ? mouse->SettingsControls().activeStage + 1 : 0;
}

void ControlBus::SetActiveDpiStage(const QString& kind, int stage, const QDBusMessage& message) {
    CBrindovaUSBDevice* page = nullptr;
    CMouseDevice* mouse = StageOf(kind, stage, message, page);
    if (!mouse)
        return;
    if (mouse->SettingsControls().stages[static_cast<size_t>(stage - 1)].active == 0)
        return ReplyError(message, kErrorInvalidArgument,
                          QStringLiteral("stage %1 is off; SetDpiStageEnabled turns it on").arg(stage));
    mouse->SetActiveStage(stage - 1);
    page->Device().RefreshPage();
}

namespace {

QString ProfileNameOf(const ProfileList& list, const std::string& uuid) {
    for (int i = 0; i < list.Count(); ++i)
        if (list.UuidAt(i) == uuid)
            return QString::fromStdString(list.Names()[static_cast<size_t>(i)]);
    return QString::fromStdString(uuid); // a profile that is gone: its file name
}

} // namespace

QMap<QString, QString> ControlBus::Bindings(const QString& kind, const QDBusMessage& message) {
    QMap<QString, QString> out;
    CBrindovaUSBDevice* page = PageOf(kind, message);
    AppProfiles* apps = m_ctx.apps ? m_ctx.apps() : nullptr;
    if (!page || !apps)
        return out;
    const ProfileList& list = page->ProfilePanel()->List();
    const AppBindings& bindings = apps->Bindings(*FamilyOfScriptName(kind));
    for (const AppBinding& b : bindings.List())
        out.insert(QString::fromStdString(b.app), ProfileNameOf(list, b.profile));
    return out;
}

void ControlBus::Bind(const QString& kind, const QString& profile, const QString& app,
                      const QDBusMessage& message) {
    CBrindovaUSBDevice* page = PageOf(kind, message);
    AppProfiles* apps = m_ctx.apps ? m_ctx.apps() : nullptr;
    if (!page || !apps)
        return;
    const ProfileList& list = page->ProfilePanel()->List();
    const int index = list.IndexOfName(profile.toStdString());
    if (index < 0)
        return ReplyError(message, kErrorUnknownProfile,
                          QStringLiteral("the %1 has no profile \"%2\"").arg(kind, profile));
    if (app.trimmed().isEmpty())
        return ReplyError(message, kErrorInvalidArgument,
                          QStringLiteral("an application is named by its app id or window class"));
    if (!apps->Bind(*FamilyOfScriptName(kind), app.toStdString(), list.UuidAt(index)))
        return ReplyError(message, kErrorInvalidArgument,
                          QStringLiteral("the bindings could not be written to the disk"));
    if (m_ctx.bindingsChanged)
        m_ctx.bindingsChanged();
}

void ControlBus::Unbind(const QString& kind, const QString& app, const QDBusMessage& message) {
    CBrindovaUSBDevice* page = PageOf(kind, message);
    AppProfiles* apps = m_ctx.apps ? m_ctx.apps() : nullptr;
    if (!page || !apps)
        return;
    const DeviceFamily family = *FamilyOfScriptName(kind);
    if (!apps->Bindings(family).Has(app.toStdString()))
        return ReplyError(message, kErrorInvalidArgument,
                          QStringLiteral("no profile of the %1 is bound to \"%2\"").arg(kind, app));
    if (!apps->Unbind(family, app.toStdString()))
        return ReplyError(message, kErrorInvalidArgument,
                          QStringLiteral("the bindings could not be written to the disk"));
}

QString ControlBus::DefaultProfile(const QString& kind, const QDBusMessage& message) {
    CBrindovaUSBDevice* page = PageOf(kind, message);
    AppProfiles* apps = m_ctx.apps ? m_ctx.apps() : nullptr;
    if (!page || !apps)
        return {};
    const std::string uuid = apps->Bindings(*FamilyOfScriptName(kind)).DefaultProfile();
    return uuid.empty() ? QString() : ProfileNameOf(page->ProfilePanel()->List(), uuid);
}

void ControlBus::SetDefaultProfile(const QString& kind, const QString& profile, const QDBusMessage& message) {
    CBrindovaUSBDevice* page = PageOf(kind, message);
    AppProfiles* apps = m_ctx.apps ? m_ctx.apps() : nullptr;
    if (!page || !apps)
        return;
    std::string uuid;
    if (!profile.isEmpty()) {
        const ProfileList& list = page->ProfilePanel()->List();
        const int index = list.IndexOfName(profile.toStdString());
        if (index < 0)
            return ReplyError(message, kErrorUnknownProfile,
                              QStringLiteral("the %1 has no profile \"%2\"").arg(kind, profile));
        uuid = list.UuidAt(index);
    }
    if (!apps->SetDefault(*FamilyOfScriptName(kind), uuid))
        return ReplyError(message, kErrorInvalidArgument,
                          QStringLiteral("the bindings could not be written to the disk"));
    if (m_ctx.bindingsChanged)
        m_ctx.bindingsChanged();
}

QStringList ControlBus::Tracking() {
    AppProfiles* apps = m_ctx.apps ? m_ctx.apps() : nullptr;
    if (!apps)
        return {QString(), QStringLiteral("the program has not started yet")};
    return {apps->TrackerName(), apps->TrackerName().isEmpty() ? apps->NoTrackerReason() : QString()};
}

void ControlBus::DevicesMayHaveChanged() {
    const QStringList now = Devices();
    if (now == m_toldDevices)
        return;
    m_toldDevices = now;
    emit DevicesChanged(now);
}

void ControlBus::AddProfile(const QString& kind, const QString& name, const QString& from,
                            const QDBusMessage& message) {
    CBrindovaUSBDevice* page = PageOf(kind, message);
    if (!page)
        return;
    CDeviceProfileUI& panel = *page->ProfilePanel();
    const ProfileList& list = panel.List();
    int copyFrom = -1;
    if (!from.isEmpty()) {
        copyFrom = list.IndexOfName(from.toStdString());
        if (copyFrom < 0)
            return ReplyError(message, kErrorUnknownProfile,
                              QStringLiteral("the %1 has no profile \"%2\"").arg(kind, from));
    }
    if (list.IndexOfName(name.toStdString()) >= 0)
        return ReplyError(message, kErrorInvalidArgument,
                          QStringLiteral("the %1 has a profile \"%2\" already").arg(kind, name));
    switch (panel.AddNamedProfile(name, copyFrom)) {
    case ProfileResult::Done:
        return;
    case ProfileResult::BlankName:
        return ReplyError(message, kErrorInvalidArgument, QStringLiteral("a profile needs a name"));
    case ProfileResult::WriteFailed:
        return ReplyError(message, "org.freedesktop.DBus.Error.IOError",
                          QStringLiteral("the profile could not be written in the %1's folder").arg(kind));
    case ProfileResult::Refused:
        break;
    }
    ReplyError(message, kErrorInvalidArgument,
               QStringLiteral("the %1 has %2 profiles, as many as it can keep").arg(kind).arg(list.Count()));
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
