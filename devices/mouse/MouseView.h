// IMouseView: what the mouse's device operations hand to its toolkit page (the DPI ranges, the
// settings controls, the light names, failed writes, the status record); the page implements it.
#pragma once

#include <vector>

#include "devices/StreamedLightDevice.h"
#include "devices/mouse/MouseRecords.h"

namespace nk7x {

// The mouse's settings controls as the profile shows them.
struct MouseSettingsControls {
    std::vector<DpiStage> stages; // at most five
    int activeStage = 0;
    int reportStage = 0; // 0..4
    MouseSystemStages system;
};

enum class MouseWrite { Settings, KeyAssignments, Macros, ShootPatterns };

class IMouseView : public IStreamedLightView {
  public:
    // The device information arrived: the stage controls' ranges.
    virtual void DpiRangesChanged(const MouseDeviceInfo& info) = 0;
    // Fill the settings controls and the lighting panel without raising notifications.
    virtual void MouseSettingsChanged(const MouseSettingsControls& controls, const LightState& light) = 0;
    // A transfer to the mouse failed with `result`.
    virtual void MouseWriteFailed(MouseWrite what, LinkResult result) = 0;
    // The button assignments as the profile has them now (after a load or an edit).
    virtual void ButtonAssignmentsChanged(const std::vector<KeyAssignment>& list) { (void)list; }
    // The button editor works on button `index` with this assignment.
    virtual void ButtonSelected(int index, const KeyAssignment& entry) {
        (void)index;
        (void)entry;
    }
    // The macro names the button editor offers.
    virtual void MacroNamesChanged(const std::vector<std::string>& names) { (void)names; }
};

} // namespace nk7x
