// CBrindovaUSBDevice: the toolkit side of one device page. It owns the device object, keeps the
// page's key buttons, list entry, power indicator and panels, and shows what the device object
// reports (function tabs, live colours), handing calls from worker threads to the UI thread.
#pragma once

#include "devices/DeviceBase.h"
#include "profiles/LightNames.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

namespace nk7x {

class CBrindovaMouseDevice;
class CDeviceKeyButtonUI;
class CDeviceOptionUI;
class CDeviceProfileUI;
class CKeyboardDevice;
class CKeySetControlUI;
class CLightControlUI;
class CMacroSetControlUI;
class CMagicControlUI;
class CMouseDevice;
class CMpDevicePowerUI;
class CShootControlUI;
class CVoice6533ControlUI;
class IHeadsetSoundActions;
class LanguageTexts;
class UiWindow;

// What a page offers the window's routes beyond its lighting and profile panels, each null where
// the kind has none: the routes ask the page shown for these instead of knowing the kinds.
struct PageParts {
    // The key assignment and macro editors; with them the page's device takes key tables.
    CKeySetControlUI* keySet = nullptr;
    CMacroSetControlUI* macros = nullptr;
    CKeyboardDevice* keyboard = nullptr;       // the keyboard's settings record and options
    CMouseDevice* mouse = nullptr;             // the mouse's shoot patterns
    CBrindovaMouseDevice* mousePage = nullptr; // the mouse's DPI, report-rate and pointer controls
    CShootControlUI* shoot = nullptr;
    IHeadsetSoundActions* sound = nullptr; // the headset's equaliser and voice actions
    CMagicControlUI* magic = nullptr;
    CVoice6533ControlUI* voice = nullptr;
};

// A name or user data split at its last underscore: "key_12" gives "key_" and 12. `number` is the
// value of the leading decimal digits after the underscore (0 without any); no underscore, no prefix.
struct PageNumberedName {
    QString prefix;
    int number = 0;
};
PageNumberedName SplitPageName(const QString& text);

class CBrindovaUSBDevice : public QWidget {
    Q_OBJECT
  public:
    explicit CBrindovaUSBDevice(QWidget* parent = nullptr);
    ~CBrindovaUSBDevice() override;

    static QString ClassName() { return QStringLiteral("BrindovaUSBDevice"); }

    CDeviceBase& Device() { return *m_device; }
    const CDeviceBase& Device() const { return *m_device; }

    CLightControlUI* LightPanel() const;
    CDeviceProfileUI* ProfilePanel() const;
    CDeviceOptionUI* ListEntry() const;
    CMpDevicePowerUI* PowerIndicator() const;
    QWidget* KeyPanel() const { return m_keyPanel; }
    // The kind's editors and typed devices for the window's routes; the base has none.
    virtual PageParts Parts() { return {}; }

    // The page's companions and settings, given by the window that creates the page.
    void SetListEntry(CDeviceOptionUI* entry);
    // Stores the indicator and tells it whether the power mode shows the power layout.
    void SetPowerIndicator(CMpDevicePowerUI* indicator);
    // Stores the mode in the device (a non-zero mode enables the status poll) and the indicator.
    void SetPowerMode(int mode);
    void SetMainWindow(UiWindow* window) { m_window = window; }
    UiWindow* MainWindow() const { return m_window; }
    // Texts of the window's language; borrowed, may be null (keys are shown as they are).
    void SetLanguageTexts(const LanguageTexts* texts) { m_texts = texts; }
    const LanguageTexts* Texts() const { return m_texts; }

    // Builds the page's tables from its controls. The base finds the key panel (the first direct
    // child of class "SelectPanel") and takes its key buttons by name ("key_" n: button n) and by
    // user data ("light_" n: the live-colour button of key n, shown white). Kinds replace it.
    virtual void LoadContent();

    // Shutting down: the device's worker threads end and its links close; the page stays usable.
    virtual void Shutdown();
    // The device's command interface has gone (its link is closed already): workers that only
    // serve a connected device end. The base has none.
    virtual void OnDeviceRemoved() {}

    // The button table ("key_" n) and the live-colour table ("light_" n); null outside.
    CDeviceKeyButtonUI* Button(int n) const;
    CDeviceKeyButtonUI* KeyButton(int n) const;
    int ButtonTableSize() const { return static_cast<int>(m_buttons.size()); }
    int KeyButtonTableSize() const { return static_cast<int>(m_keyButtons.size()); }

    // What the device object asks of the page (IDeviceView of the kinds).
    // Arms a timer of the list entry; callable from any thread, it runs on the UI thread.
    void ArmTimer(int timerId, int ms);
    // "device_function_switch" and "device_key_function_switch" show the mode's tabs; nothing
    // happens unless both exist.
    void SelectFunctionTabs(const FunctionTabs& tabs);
    // Live colour of the key's button when it exists and is visible.
    void ShowKeyColour(int keyIndex, uint32_t packedColour, uint8_t brightness);
    // Runs `work` on the UI thread after the current event; dropped with the page.
    void RunOnPage(std::function<void()> work);

  signals:
    // The page has been filled after its device connected (the connection work is done).
    void connectDone();

  protected:
    // For a kind: the page owns `device`; the kind sets the device's view itself.
    CBrindovaUSBDevice(std::unique_ptr<CDeviceBase> device, QWidget* parent);
    // Ends the device's worker threads and detaches its view. A kind calls it first in its own
    // destructor, so that no thread reaches the kind's part of the view while it is destroyed.
    void StopDevice();
    // Finds the layout's profile panel ("DeviceProfileItem"), gives it the kind and the folders,
    // loads the profile list, selects the first profile and hands its name to the device. With
    // `ownTabs` the page has its own view tabs and the panel's tab bar is hidden.
    void SetUpProfilePanel(DeviceKind kind, bool ownTabs);
    // Finds the layout's lighting panel ("LightControlItem") and gives it the kind and the texts.
    void SetUpLightPanel(DeviceKind kind);
    // Empties and resizes the two tables to the device's button and key counts.
    void ResetTables();
    // The buttons of a picture's `container`: "key_" n by name into the button table, user data
    // "light_" n into the live-colour table, each LED with the tooltip `ledTextKey` ("%1": n + 1).
    void CollectPictureButtons(const QString& container, const QString& ledTextKey);
    // The text of a language key (the key itself without texts).
    QString Text(const QString& key) const;
    // The lighting panel's mode list from the device's lighting names (levels 0..4).
    void FillLightModes(const std::vector<LightModeName>& modes);
    // The status record in the power indicator.
    void ShowPowerStatus(const uint8_t* status, size_t size);
    // The notice label `name` shows the text of `textKey` with the result's code as "%1".
    void ShowResultNotice(const QString& name, const QString& textKey, LinkResult result);
    void SetButton(int n, CDeviceKeyButtonUI* button);
    void SetKeyButton(int n, CDeviceKeyButtonUI* button);

    QPointer<CLightControlUI> m_lightPanel;
    QPointer<CDeviceProfileUI> m_profilePanel;
    QPointer<QWidget> m_keyPanel;

  private:
    class BaseView;
    QWidget* FindSwitch(QPointer<QWidget>& cache, const char* name);

    std::unique_ptr<CDeviceBase> m_device;
    std::unique_ptr<BaseView> m_baseView;
    QPointer<CDeviceOptionUI> m_entry;
    QPointer<CMpDevicePowerUI> m_power;
    UiWindow* m_window = nullptr;
    const LanguageTexts* m_texts = nullptr;
    std::vector<QPointer<CDeviceKeyButtonUI>> m_buttons;
    std::vector<QPointer<CDeviceKeyButtonUI>> m_keyButtons;
    QPointer<QWidget> m_functionSwitch;
    QPointer<QWidget> m_keyFunctionSwitch;
};

} // namespace nk7x
