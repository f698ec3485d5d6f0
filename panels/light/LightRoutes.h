// The main window's handling of the lighting panel: each edit goes to the light settings of the
// device shown, its profile and the device; the keyboard's custom colour actions; and the copy of
// the current effect to every open device.
#pragma once

#include "app/NotifyRouter.h"
#include "devices/light/CommonEffect.h"
#include "profiles/ProfileRecords.h"

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
    std::function<CDeviceBase*()> currentDevice;          // device of the page shown; null when none
    std::function<CLightControlUI*()> currentLightPanel;  // its lighting panel; null when none
    UiWindow* window = nullptr;
    // Every device page: keyboards, then mice, mouse pads, headsets.
    std::function<std::vector<LightTarget>()> allDevices;
    // Hands the copied effect to the synchronisation worker.
    std::function<void(const light::CommonEffectSettings&)> storeCommonEffect;
};

class LightRoutes {
  public:
    explicit LightRoutes(LightRoutesContext context);

    void Install(NotifyRouter& router);

    // The handlers, also reachable without a router.
    void OnModeSelect();
    void OnBrightness();
    void OnSpeed();
    void OnMultiColor();
    void OnDirection(bool left);
    void OnPaletteColor(uint32_t colour);
    // "R", "G" or "B" edit box left: 0, 1, 2.
    void OnEditLeft(int component);
    void OnPreset(int n);
    void OnSecondaryMode();
    void OnCustomGroup();
    void OnFillCustom(bool on);
    void OnSameMode();

  private:
    CDeviceBase* Device() const;
    CLightControlUI* Panel() const;
    // Leaves a running synchronisation (when asked), edits the light settings and writes them.
    void Apply(bool leaveSync, const std::function<void(LightState&)>& change);
    static void Store(CDeviceBase& device, const LightState& state);

    LightRoutesContext m_ctx;
};

} // namespace nk7x
