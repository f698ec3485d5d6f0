// IMouseView: what the mouse's device operations hand to its toolkit page (the DPI ranges, the
// settings controls, the light names, failed writes, the status record); the page implements it.
#pragma once

#include <vector>

#include "devices/DeviceBase.h"
#include "devices/mouse/MouseRecords.h"
#include "profiles/LightNames.h"

namespace nk7x {

// The mouse's settings controls as the profile shows them.
struct MouseSettingsControls {
    std::vector<DpiStage> stages; // at most five
    int activeStage = 0;
    int reportStage = 0; // 0..4
    MouseSystemStages system;
};

enum class MouseWrite { Settings, KeyAssignments, Macros, ShootPatterns };

class IMouseView : public IDeviceView {
  public:
    // The device information arrived: the stage controls' ranges.
    virtual void DpiRangesChanged(const MouseDeviceInfo& info) = 0;
    // Fill the settings controls and the lighting panel without raising notifications.
    virtual void MouseSettingsChanged(const MouseSettingsControls& controls, const LightState& light) = 0;
    virtual void LightNamesChanged(const LightNameLists& names) { (void)names; }
    // A transfer to the mouse failed with `result`.
    virtual void MouseWriteFailed(MouseWrite what, LinkResult result) = 0;
    // The status record of the last poll (battery, power, wireless, phone type).
    virtual void StatusChanged(const std::array<uint8_t, DeviceStatusRecord::kSize>& status) { (void)status; }
};

} // namespace nk7x
