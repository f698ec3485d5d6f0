// CBrindovaKeyboardDevice: the keyboard's device page. It owns the keyboard device object, builds
// the key picture and configures the profile and lighting panels of its layout, and shows what the
// keyboard reports (key captions, settings, name lists, failed writes).
#pragma once

#include "devices/keyboard/KeyboardDevice.h"
#include "panels/pages/PageWithView.h"

#include <chrono>
#include <string>
#include <vector>

namespace nk7x {

class CKeySetControlUI;
class CMacroSetControlUI;

class CBrindovaKeyboardDevice : public CPageWithView<IKeyboardView> {
    Q_OBJECT
  public:
    explicit CBrindovaKeyboardDevice(QWidget* parent = nullptr);
    ~CBrindovaKeyboardDevice() override;

    static QString ClassName() { return QStringLiteral("BrindovaKeyboardDevice"); }

    CKeyboardDevice& Keyboard() { return *m_keyboard; }

    // Builds the page: the key picture in "keyboard_device_key_light", its button tables and the
    // panels of the layout.
    void LoadContent() override;
    void BuildPage();
    void Shutdown() override;
    // The light preview thread ends with the connection; the next OnConnect starts it again.
    void OnDeviceRemoved() override;

    // The key assignment editor of the page; null when the layout has none.
    CKeySetControlUI* KeySetPanel() const;
    // The macro editor of the page; null when the layout has none.
    CMacroSetControlUI* MacroPanel() const;
    PageParts Parts() override;
    // Macro names for the key assignment panel, as last reported.
    const std::vector<std::string>& MacroNames() const { return m_macroNames; }
    // Connections whose page has been filled since the page was made.
    int ConnectsDone() const { return m_connectsDone; }

    void ProfileSaveFailed() override;
    // IKeyboardView
    void KeyCaptionsChanged(const std::vector<KeyCaption>& captions) override;
    void SettingsChanged(const KeyboardSettingsControls& controls, const LightState& light) override;
    void NameListsChanged(const std::vector<std::string>& macroNames,
                          const LightNameLists& lightNames) override;
    void CustomGroupSelected(int group) override;
    void KeyAssignmentSelected(int keyIndex, const KeyAssignment& entry) override;
    void FnKeyEnabled(bool enabled) override;
    void WriteFailed(KeyboardWrite what, LinkResult result) override;
    // The hint above the lighting panel speaks of painting keys: shown in the custom mode only.
    void LightModeChanged(int mode) override;

  protected:
    // The preview animates only while the page is on screen.
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    class PageKeyboard;
    void OnConnectDone(std::chrono::milliseconds took);
    // The editor's key picking stores at once, as its store button does.
    void OnKeyPicked();

    CKeyboardDevice* m_keyboard = nullptr; // owned by the base as its device
    std::vector<std::string> m_macroNames;
    QPointer<CKeySetControlUI> m_keySetPanel;
    QPointer<CMacroSetControlUI> m_macroPanel;
    int m_connectsDone = 0;
};

} // namespace nk7x
