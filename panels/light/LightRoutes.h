// The main window's handling of the lighting panel: each edit goes to the light settings of the
// device shown, its profile and the device; the keyboard's custom colour actions; and the copy of
// the current effect to every open device.
#pragma once

#include "devices/light/CommonEffect.h"
#include "profiles/ProfileRecords.h"
#include "ui/NotifyRouter.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

namespace nk7x {

class CDeviceBase;
class CLightControlUI;
class UiWindow;

struct LightTarget {
    CDeviceBase* device = nullptr;
    CLightControlUI* panel = nullptr; // may be null
};

struct LightRoutesContext {
    std::function<CDeviceBase*()> currentDevice;         // device of the page shown; null when none
    std::function<CLightControlUI*()> currentLightPanel; // its lighting panel; null when none
    UiWindow* window = nullptr;
    // Every device page: keyboards, then mice, mouse pads, headsets.
    std::function<std::vector<LightTarget>()> allDevices;
    // Hands the copied effect to the synchronisation worker.
    std::function<void(const light::CommonEffectSettings&)> storeCommonEffect;
    // Devices have just been flagged to follow the common effect: wakes its worker.
    std::function<void()> commonEffectFlagged;
};

class LightRoutes {
  public:
    explicit LightRoutes(LightRoutesContext context);

    void Install(NotifyRouter& router);

    // The handlers, also reachable without a router; values as the notifications carry them.
    void OnModeSelect(int mode);
    void OnBrightness(int value);
    void OnSpeed(int value);
    void OnMultiColor(bool on);
    void OnDirection(bool left);
    void OnPaletteColor(uint32_t argb);
    // An edit box was left: 0 red, 1 green, 2 blue.
    void OnEditLeft(int component);
    void OnPreset(int n);
    void OnSecondaryMode(int index);
    void OnCustomGroup(int index);
    void OnFillCustom(bool on);
    void OnSameMode();

    // The number an edit box's text stands for (0-255) and whether the box must show it instead.
    static int EditValue(const QString& text, bool& rewrite);
    // New light settings for a device as every edit stores them: into the device and its profile
    // (saved), then written to the device. Direct colours another program holds are given up.
    static void Store(CDeviceBase& device, const LightState& state);
    // The same for a change from outside the window (a script, a lighting program): a running
    // synchronisation ends for the device, and its panel, when it has one, shows the result.
    static void StoreFromOutside(CDeviceBase& device, CLightControlUI* panel, const LightState& state);

  private:
    CDeviceBase* Device() const;
    CLightControlUI* Panel() const;
    // A notification of a panel other than the one shown (a page filling its own) edits nothing.
    bool FromShownPanel(const UiNotify& msg) const;
    // Leaves a running synchronisation (when asked), edits the light settings and writes them.
    // Null when there is no device.
    CDeviceBase* Apply(bool leaveSync, const std::function<void(LightState&)>& change);
    // The panel shows a colour picked elsewhere: edit boxes, check and palette.
    void ShowColour(CLightControlUI* panel, const LightState& state, bool edits);

    LightRoutesContext m_ctx;
    // Set while the routes themselves update panels: the check they clear raises a notification
    // that must not come back as a second edit.
    bool m_updating = false;
};

} // namespace nk7x
