// IMousePadView: what the mouse pad's device operations hand to its toolkit page (the lighting to
// show, a settings write the pad did not take) besides the shared light names and status record.
#pragma once

#include "devices/StreamedLightDevice.h"

namespace nk7x {

class IMousePadView : public IStreamedLightView {
  public:
    // Fill the lighting panel without raising notifications.
    virtual void PadLightChanged(const LightState& light) = 0;
    // Writing the settings record to the pad failed with `result`.
    virtual void PadWriteFailed(LinkResult result) = 0;
};

} // namespace nk7x
