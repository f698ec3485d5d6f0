// Who drives the devices' lighting, as the main window decides it: this program or another
// lighting program (the hand-over asked for over the desktop bus, or the lighting button), nobody
// while the system sleeps; and the preview animation while the window is active or under the
// pointer. Every page the window steers and every device page's device follow.
#pragma once

#include <QString>

#include <functional>
#include <vector>

namespace nk7x {

class CBrindovaUSBDevice;
class CDeviceBase;
class LanguageTexts;
class ShellPage;
class UiWindow;

struct LiveLightingContext {
    UiWindow* window = nullptr; // holds the lighting button
    const LanguageTexts* texts = nullptr;
    // Every device page, in the window's order.
    std::function<std::vector<CBrindovaUSBDevice*>()> pages;
    // False while the system sleeps.
    std::function<bool()> running;
    // Tells the other lighting programs whether this one drives the lighting.
    std::function<void(bool on)> announce;
};

class LiveLighting {
  public:
    explicit LiveLighting(LiveLightingContext context);

    // Pages the window steers (borrowed).
    void AddPage(ShellPage* page);

    // Whether this program drives the lighting (it does from the start).
    bool Control() const { return m_control; }
    // Takes (on) or gives up the lighting; with `announce` the other lighting programs are told.
    void SetControl(bool on, bool announce);
    // Another program asks to take (lParam 1) or give up (lParam 0) the lighting; wParam must be 1.
    void OnRequest(qint64 wParam, qint64 lParam);
    // The system goes to sleep: no live lighting. Back from it: as the control says.
    void Suspend();
    void Resume();

    // The window became active or not; the pointer entered or left it.
    void OnActivation(bool active);
    void OnPointer(bool inside);

    // A device whose page was built after the start takes the present state.
    void Adopt(CDeviceBase& device);
    // The lighting button's caption for the current state, in the current language.
    void Retranslate();

  private:
    QString ButtonText() const;
    void SetLive(bool on);
    void UpdatePreview();
    void ForEachDevice(const std::function<void(CDeviceBase&)>& fn);

    LiveLightingContext m_ctx;
    std::vector<ShellPage*> m_pages;
    bool m_control = true;
    bool m_active = false;
    bool m_hovered = false;
};

} // namespace nk7x
