// What scripts reach on the desktop bus beside the lighting hand-over: the devices connected and
// each family's profiles, the active one, and a switch to another, done as the profile panel does
// it. An adaptor on the program's bus object ("com.NorlaKeys.NK7X.Control1", docs/dbus/).
#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusMessage>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <functional>
#include <vector>

namespace nk7x {

class AppProfiles;
class CBrindovaUSBDevice;
class CDeviceBase;
class CDeviceProfileUI;
class CKeyboardDevice;
class CMouseDevice;

struct ControlBusContext {
    // Every page, in the window's order.
    std::function<std::vector<CBrindovaUSBDevice*>()> pages;
    // The panel's switch to profile `index` (ProfileRoutes::SwitchTo).
    std::function<bool(CDeviceProfileUI& panel, CDeviceBase* device, int index)> switchTo;
    // Profiles that follow the application in front (may give null), and what follows a change
    // of the bindings (the tracking starts with the first one).
    std::function<AppProfiles*()> apps;
    std::function<void()> bindingsChanged;
};

class ControlBus : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.NorlaKeys.NK7X.Control1")
  public:
    static constexpr const char* kInterface = "com.NorlaKeys.NK7X.Control1";
    static constexpr const char* kErrorUnknownKind = "com.NorlaKeys.NK7X.Error.UnknownKind";
    static constexpr const char* kErrorNoDevice = "com.NorlaKeys.NK7X.Error.NoDevice";
    static constexpr const char* kErrorUnknownProfile = "com.NorlaKeys.NK7X.Error.UnknownProfile";
    static constexpr const char* kErrorInvalidArgument = "com.NorlaKeys.NK7X.Error.InvalidArgument";

    // `busObject`: the object the program exports; the adaptor must exist before it is registered.
    ControlBus(QObject* busObject, ControlBusContext context);

    // A page's panel switched profiles (the window's choice or a script's): the signal goes out.
    void ProfileSwitched(const CDeviceProfileUI& panel);
    // A device came or went: DevicesChanged goes out when the families connected differ from those
    // last told.
    void DevicesMayHaveChanged();

  public slots:
    // The families with a connected device ("keyboard", "mouse", "pad", "headset").
    QStringList Devices();
    // The family's device: "name" (s), "vendor-id" and "product-id" (i), "connection" (s, "cable" or
    // "wireless"), and where the device tells them, "battery" (i, percent) and "power" (s,
    // "powered", "charging" or "battery").
    QVariantMap DeviceInfo(const QString& kind, const QDBusMessage& message);
    // The family's profiles in the panel's order; errors for an unknown family or one without a page.
    QStringList Profiles(const QString& kind, const QDBusMessage& message);
    QString ActiveProfile(const QString& kind, const QDBusMessage& message);
    // Switches the family to the named profile (exact name first, else the one equal ignoring case).
    void UseProfile(const QString& kind, const QString& name, const QDBusMessage& message);

    // Adds profile `name` (empty `from`: the default profile; else a copy of profile `from`); the
    // active profile stays. Errors for a blank or taken name, 50 profiles, or an unknown `from`.
    void AddProfile(const QString& kind, const QString& name, const QString& from,
                    const QDBusMessage& message);

    // The family's lighting modes by the names SetLighting takes ("wave", "static", "off", ...).
    QStringList LightModes(const QString& kind, const QDBusMessage& message);
    // The lighting in use: "mode" (s), "color" (s, RRGGBB), "brightness" (i), "speed" (i),
    // "direction" (s, "left" or "right").
    QVariantMap Lighting(const QString& kind, const QDBusMessage& message);
    // Changes what `settings` names, with the keys Lighting gives, as the lighting panel does:
    // stored in the active profile, written to the device, shown in the window. Every value is
    // checked first; one that is wrong changes nothing and gets an error saying why.
    void SetLighting(const QString& kind, const QVariantMap& settings, const QDBusMessage& message);

    // The names SetKeyColours takes for the keyboard's keys ("esc", "f1", "a", "lshift", ...).
    QStringList KeyNames(const QString& kind, const QDBusMessage& message);
    // Per-key colours, a key name (or index) to "RRGGBB": the keyboard goes to its custom mode (as
    // the lighting panel's choice does) and the keys are painted in its current colour group.
    void SetKeyColours(const QString& kind, const QMap<QString, QString>& colours,
                       const QDBusMessage& message);

    // The keyboard's options: "win-key-lock", "six-key-rollover", "w-key-mode" (each b).
    QVariantMap KeyboardOptions(const QString& kind, const QDBusMessage& message);
    // Changes the options `options` names, as the page's checks do; a wrong key or value refuses all.
    void SetKeyboardOptions(const QString& kind, const QVariantMap& options, const QDBusMessage& message);

    // The report rate in Hz: the keyboard's 125, 250, 500 or 1000, the mouse's up to 2000.
    int ReportRate(const QString& kind, const QDBusMessage& message);
    void SetReportRate(const QString& kind, int hz, const QDBusMessage& message);
    // The mouse's DPI stages (1-5, as the page numbers them): each stage's DPI, and in `enabled`
    // whether the stage is on.
    QList<int> DpiStages(const QString& kind, const QDBusMessage& message, QList<bool>& enabled);
    // A stage's DPI, within the range the mouse reports, in the mouse's steps (the nearest below).
    void SetDpiStage(const QString& kind, int stage, int dpi, const QDBusMessage& message);
    // A stage on or off; the last stage on stays on.
    void SetDpiStageEnabled(const QString& kind, int stage, bool on, const QDBusMessage& message);
    // The stage the mouse works at (1-5), and a switch to another stage that is on.
    int ActiveDpiStage(const QString& kind, const QDBusMessage& message);
    void SetActiveDpiStage(const QString& kind, int stage, const QDBusMessage& message);

    // Applications bound to profiles: the family's bindings (application → profile name), a
    // binding made or undone, the profile returned to when no binding matches ("" for the one in
    // use before), and the tracking method in use with why none is (["X11", ""] or ["", why]).
    QMap<QString, QString> Bindings(const QString& kind, const QDBusMessage& message);
    void Bind(const QString& kind, const QString& profile, const QString& app, const QDBusMessage& message);
    void Unbind(const QString& kind, const QString& app, const QDBusMessage& message);
    QString DefaultProfile(const QString& kind, const QDBusMessage& message);
    void SetDefaultProfile(const QString& kind, const QString& profile, const QDBusMessage& message);
    QStringList Tracking();

  signals:
    void ActiveProfileChanged(const QString& kind, const QString& name);
    // The families with a connected device, as Devices gives them, after one came or went.
    void DevicesChanged(const QStringList& kinds);

  private:
    // The family's page with its profile panel, or null with the error reply sent.
    CBrindovaUSBDevice* PageOf(const QString& kind, const QDBusMessage& message) const;
    // The keyboard of the family's page; null with the error reply sent ("the mouse has no `what`").
    CKeyboardDevice* KeyboardOf(const QString& kind, const char* what, const QDBusMessage& message,
                                CBrindovaUSBDevice*& page) const;
    // The mouse of the family's page when `stage` (1-based) is one of its DPI stages; else null with
    // the error reply sent.
    CMouseDevice* StageOf(const QString& kind, int stage, const QDBusMessage& message,
                          CBrindovaUSBDevice*& page) const;

    ControlBusContext m_ctx;
    QStringList m_toldDevices;
};

} // namespace nk7x
