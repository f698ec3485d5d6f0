// CBrindovaMouseDevice: the mouse's device page. It owns the mouse device object, draws the mouse
// with its LEDs in their live colours, and holds the lighting, DPI, report-rate and pointer, and
// shoot-pattern views; edits go into the profile and, where the mouse keeps them, to the mouse.
#pragma once

#include "devices/mouse/MouseDevice.h"
#include "panels/keys/KeySetControlUI.h"
#include "panels/macros/MacroSetControlUI.h"
#include "panels/pages/PageWithView.h"
#include "panels/shoot/ShootControlUI.h"

#include <QPointer>
#include <QScreen>
#include <QWindow>

#include <array>

class QCheckBox;
class QLineEdit;
class QSlider;

namespace nk7x {

class CBrindovaMouseDevice : public CPageWithView<IMouseView> {
    Q_OBJECT
  public:
    // LEDs drawn on the mouse and streamed to it.
    static constexpr int kLedCount = 6;

    explicit CBrindovaMouseDevice(QWidget* parent = nullptr);
    ~CBrindovaMouseDevice() override;

    static QString ClassName() { return QStringLiteral("BrindovaMouseDevice"); }

    CMouseDevice& Mouse() { return *m_mouse; }
    // The shoot-pattern editor of the page; null when the layout has none.
    CShootControlUI* ShootPanel() const { return m_shootPanel; }
    // The button assignment and macro editors; null when the layout has none.
    CKeySetControlUI* KeySetPanel() const { return m_keySetPanel; }
    CMacroSetControlUI* MacroPanel() const { return m_macroPanel; }
    PageParts Parts() override;

    void LoadContent() override;
    void BuildPage();
    void Shutdown() override;
    void OnDeviceRemoved() override;
    int ConnectsDone() const { return m_connectsDone; }

    // The settings tab shown ("mouse_device_seting_option_" + t); one beyond the tabs shows tab 0.
    void ShowSettingTab(int tab);
    // A stage's check: the profile's flag and the write; at least one stage always stays on.
    void SetStageEnabled(int stage, bool on);
    // A DPI typed into a stage's edit: raised to the smallest DPI, turned into steps, shown again.
    void OnDpiTyped(int stage);
    // The stage's edit shows the DPI of `steps`.
    void ShowStageDpi(int stage, int steps);
    // The pointer sliders and checks into the profile.
    void StoreSystemSettings();
    // True while the page fills its controls: what they raise then is not the user's.
    bool Filling() const { return m_filling; }

    // IMouseView
    void DpiRangesChanged(const MouseDeviceInfo& info) override;
    void MouseSettingsChanged(const MouseSettingsControls& controls, const LightState& light) override;
    void LightNamesChanged(const LightNameLists& names) override;
    void MouseWriteFailed(MouseWrite what, LinkResult result) override;
    void ButtonAssignmentsChanged(const std::vector<KeyAssignment>& list) override;
    void ButtonSelected(int index, const KeyAssignment& entry) override;
    void MacroNamesChanged(const std::vector<std::string>& names) override;
    void StatusChanged(const std::array<uint8_t, DeviceStatusRecord::kSize>& status) override;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    class PageMouse;
    // The size of the screen the window is on, for the settings record; sent again when it changes
    // while the mouse is connected.
    void UpdateScreenSize();
    void FollowScreen();
    void BuildPicture();
    void WireControls();
    void ShowStages(const MouseSettingsControls& controls);

    CMouseDevice* m_mouse = nullptr; // owned by the base as its device
    MouseDeviceInfo m_info;
    std::array<QPointer<QCheckBox>, kMouseDpiStageCount> m_stageChecks{};
    std::array<QPointer<QSlider>, kMouseDpiStageCount> m_stageSliders{};
    std::array<QPointer<QLineEdit>, kMouseDpiStageCount> m_stageEdits{};
    QPointer<CShootControlUI> m_shootPanel;
    QPointer<CKeySetControlUI> m_keySetPanel;
    QPointer<CMacroSetControlUI> m_macroPanel;
    std::vector<std::string> m_macroNames;
    bool m_filling = false;
    int m_connectsDone = 0;
    QPointer<QWindow> m_followedWindow;
    QPointer<QScreen> m_followedScreen;
};

} // namespace nk7x
