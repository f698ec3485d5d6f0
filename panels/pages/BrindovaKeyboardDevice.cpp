#include "panels/pages/BrindovaKeyboardDevice.h"

#include "devices/keyboard/KeyAssignmentCodes.h"
#include "devices/keyboard/KeyboardRecords.h"
#include "link/DeviceKind.h"
#include "profiles/ProfileList.h"
#include "windows/MessageBox.h"

#include <QLabel>

#include "panels/keys/KeySetControlUI.h"
#include "panels/keys/KeySetRoutes.h"
#include "panels/light/LightControlUI.h"
#include "panels/macros/MacroSetControlUI.h"
#include "panels/pages/keyboard/KeyboardKeyLayout.h"
#include "panels/pages/keyboard/KeyboardSettingsView.h"
#include "panels/profile/DeviceProfileUI.h"
#include "platform/DebugLog.h"
#include "ui/ControlFactory.h"
#include "ui/LanguageTexts.h"
#include "ui/UiWindow.h"
#include "ui/controls/DeviceKeyButtonUI.h"

namespace nk7x {
namespace {

constexpr int kFnKey = 110;
constexpr const char* kAssignedMark = "file='images/keyboard/key_assigned.svg' dest='3,3,10,10'";
constexpr int kOkOnly = 0; // message box with the confirm button alone

} // namespace

// The keyboard object of the page: the page learns when a connection's work is done.
class CBrindovaKeyboardDevice::PageKeyboard final : public CKeyboardDevice {
  public:
    explicit PageKeyboard(CBrindovaKeyboardDevice& page) : m_page(page) {}
    ~PageKeyboard() override { StopKeyEventThread(); }

    void OnConnect() override {
        m_connectStart = std::chrono::steady_clock::now();
        CKeyboardDevice::OnConnect();
    }

  protected:
    void ConnectFinished() override {
        m_page.OnConnectDone(std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - m_connectStart));
    }

  private:
    CBrindovaKeyboardDevice& m_page;
    std::chrono::steady_clock::time_point m_connectStart{};
};

CBrindovaKeyboardDevice::CBrindovaKeyboardDevice(QWidget* parent)
    : CPageWithView(std::make_unique<PageKeyboard>(*this), parent) {
    setObjectName(ClassName());
    m_keyboard = static_cast<CKeyboardDevice*>(&Device());
    m_keyboard->SetView(this);
    m_keyboard->SetPreviewWatched(false); // not on screen until shown
    // Key captions name what a key does now: a key, a mouse button, a media function or a macro.
    m_keyboard->SetKeyNameLookup([keyboard = m_keyboard](const KeyCode& code) {
        std::string key = AssignmentNameKey(code, keyboard->MacroNames());
        return key.empty() ? FactoryKeyName(code) : key;
    });
    // The editor in the layout is built by the control factory.
    RegisterKeySetControl(ControlFactory::Instance());
    RegisterMacroSetControl(ControlFactory::Instance());
}

void CBrindovaKeyboardDevice::showEvent(QShowEvent* event) {
    m_keyboard->SetPreviewWatched(true);
    CBrindovaUSBDevice::showEvent(event);
}

void CBrindovaKeyboardDevice::hideEvent(QHideEvent* event) {
    m_keyboard->SetPreviewWatched(false);
    CBrindovaUSBDevice::hideEvent(event);
}

CBrindovaKeyboardDevice::~CBrindovaKeyboardDevice() {
    m_keyboard->SetView(nullptr);
    StopDevice();
}

void CBrindovaKeyboardDevice::Shutdown() {
    m_keyboard->StopLightThread();
    CBrindovaUSBDevice::Shutdown();
}

void CBrindovaKeyboardDevice::OnDeviceRemoved() {
    m_keyboard->StopLightThread();
}

void CBrindovaKeyboardDevice::LoadContent() {
    BuildPage();
}

void CBrindovaKeyboardDevice::BuildPage() {
    ResetTables();
    QWidget* container = UiWindow::FindSubControlByName(this, QStringLiteral("keyboard_device_key_light"));
    m_keyPanel = container;
    if (container) {
        PopulateKeyboardKeys(container, Texts());
        for (QObject* child : container->children()) {
            auto* button = qobject_cast<CDeviceKeyButtonUI*>(child);
            if (!button)
                continue;
            const PageNumberedName name = SplitPageName(button->objectName());
            if (name.prefix.compare(QLatin1String("key_"), Qt::CaseInsensitive) == 0)
                SetButton(name.number, button);
            const PageNumberedName user = SplitPageName(button->property("userdata").toString());
            if (user.prefix.compare(QLatin1String("light_"), Qt::CaseInsensitive) == 0)
                SetKeyButton(user.number, button);
        }
    }

    SetUpProfilePanel(DeviceKind::Keyboard, false);
    SetUpLightPanel(DeviceKind::Keyboard);
    m_keySetPanel = findChild<CKeySetControlUI*>();
    if (m_keySetPanel) {
        m_keySetPanel->Init();
        m_keySetPanel->SetDeviceType(KindNumber(DeviceKind::Keyboard));
        m_keySetPanel->SetLanguageTexts(Texts());
        connect(m_keySetPanel, &CKeySetControlUI::keyPicked, this, &CBrindovaKeyboardDevice::OnKeyPicked,
                Qt::UniqueConnection);
    }
    m_macroPanel = findChild<CMacroSetControlUI*>();
    if (m_macroPanel) {
        m_macroPanel->Init();
        m_macroPanel->SetLanguageTexts(Texts());
        m_macroPanel->SetDataFolder(m_keyboard->DataFolder());
        m_macroPanel->LoadMacroList();
    }
    // Fills the lighting panel's mode list (NameListsChanged) before the keyboard is first seen.
    m_keyboard->RefreshNameLists();
}

void CBrindovaKeyboardDevice::KeyCaptionsChanged(const std::vector<KeyCaption>& captions) {
    const QString keySet = Text(QStringLiteral("Key_Set"));
    for (const KeyCaption& c : captions) {
        CDeviceKeyButtonUI* button = Button(c.keyIndex);
        if (!button)
            continue;
        if (c.nameKey.empty()) {
            button->setToolTip(QString());
        } else {
            const QString name = Text(QString::fromStdString(c.nameKey));
            button->setToolTip(name + QLatin1Char('\n') + keySet + name);
        }
        // A key that no longer does its own function carries a mark, unless the skin draws its own.
        if (button->KeySetImage().isEmpty())
            button->SetKeySetImage(QString::fromLatin1(kAssignedMark));
        button->SetKeySetImageHidden(c.factoryName);
    }
    // A key list read again (profile switch, sync) is what the editor shows from now on.
    const int key = m_keyboard->SelectedKey();
    const std::vector<KeyAssignment>& list = m_keyboard->KeyList();
    if (m_keySetPanel && m_keySetPanel->HasKey() && key >= 0 && static_cast<size_t>(key) < list.size() &&
        !(list[static_cast<size_t>(key)] == m_keySetPanel->Current()))
        m_keySetPanel->SetKey(list[static_cast<size_t>(key)]);
}

void CBrindovaKeyboardDevice::SettingsChanged(const KeyboardSettingsControls& controls,
                                              const LightState& light) {
    ShowKeyboardSettings(this, controls, Texts());
    if (m_lightPanel)
        m_lightPanel->ShowLightSettings(light);
    LightModeChanged(light.mode);
}

void CBrindovaKeyboardDevice::LightModeChanged(int mode) {
    auto* hint = findChild<QLabel*>(QStringLiteral("keyboard_hint_light"));
    if (!hint)
        return;
    // The key is what a language change translates again; without one the line stays empty.
    const QString key = mode == kCustomLightMode ? QStringLiteral("keyboard_hint_light_text") : QString();
    // A new text lays the whole page out again; every light edit lands here with the same mode.
    if (hint->property("textKey").toString() == key && !hint->property("textKey").isNull())
        return;
    hint->setProperty("textKey", key);
    hint->setText(key.isEmpty() ? QString() : Text(key));
}

void CBrindovaKeyboardDevice::NameListsChanged(const std::vector<std::string>& macroNames,
                                               const LightNameLists& lightNames) {
    m_macroNames = macroNames;
    if (m_keySetPanel) {
        m_keySetPanel->SetLanguageTexts(Texts());
        m_keySetPanel->FillMacroNames(macroNames);
        if (m_keySetPanel->HasKey())
            m_keySetPanel->ShowCurrent();
    }
    FillLightModes(lightNames.modes);
}

void CBrindovaKeyboardDevice::CustomGroupSelected(int group) {
    if (m_lightPanel)
        m_lightPanel->SelectCustomGroupItem(group);
}

void CBrindovaKeyboardDevice::KeyAssignmentSelected(int keyIndex, const KeyAssignment& entry) {
    DebugLogf("key %d selected", keyIndex);
    if (!m_keySetPanel)
        return;
    const std::string name = keyIndex >= 0 && static_cast<size_t>(keyIndex) < DefaultKeyCodeTable.size()
                                 ? FactoryKeyName(DefaultKeyCodeTable[static_cast<size_t>(keyIndex)].code)
                                 : std::string();
    m_keySetPanel->SetKeyTitle(name.empty() ? QString() : Text(QString::fromStdString(name)));
    m_keySetPanel->SetKey(entry);
}

CKeySetControlUI* CBrindovaKeyboardDevice::KeySetPanel() const {
    return m_keySetPanel;
}

CMacroSetControlUI* CBrindovaKeyboardDevice::MacroPanel() const {
    return m_macroPanel;
}

PageParts CBrindovaKeyboardDevice::Parts() {
    PageParts parts;
    parts.keySet = KeySetPanel();
    parts.macros = MacroPanel();
    parts.keyboard = &Keyboard();
    return parts;
}

void CBrindovaKeyboardDevice::OnKeyPicked() {
    if (m_keySetPanel)
        KeySetRoutes::StoreOn(*m_keyboard, *m_keySetPanel);
}

void CBrindovaKeyboardDevice::FnKeyEnabled(bool enabled) {
    if (CDeviceKeyButtonUI* fn = Button(kFnKey))
        fn->setEnabled(enabled);
}

void CBrindovaKeyboardDevice::WriteFailed(KeyboardWrite what, LinkResult result) {
    ShowWriteFailedNotice(this, what, ResultCode(result), Texts());
}

void CBrindovaKeyboardDevice::ProfileSaveFailed() {
    // Told after the current event: a save fails inside a route or a slider's change, and a modal
    // box there would run the event loop in the middle of it.
    RunOnPage([this] {
        ShowMessage(window(), QString(), QString::fromLatin1(kMsgSaveFailed), CMsgWnd::kDefaultDpi, true,
                    kOkOnly);
    });
}

void CBrindovaKeyboardDevice::OnConnectDone(std::chrono::milliseconds took) {
    ++m_connectsDone;
    DebugLogf("keyboard page filled in %lld ms", static_cast<long long>(took.count()));
    emit connectDone();
}

} // namespace nk7x
