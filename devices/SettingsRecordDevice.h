// What a device that keeps a settings record can do: write the record the profile gives. The
// keyboard, the mouse, the pad and the headset have it; a page's device offers it through
// CDeviceBase::SettingsRecord().
#pragma once

#include <cstdint>

#include "link/DeviceCommandLink.h"

namespace nk7x {

class ISettingsRecordDevice {
  public:
    virtual ~ISettingsRecordDevice() = default;

    // Record `n` with first byte `byte0`, as the profile gives it; 1 when the device took it.
    virtual LinkResult WriteSettings(int n, uint8_t byte0) = 0;
    // The page's form: through the worker, failures reported to the view.
    virtual void QueueSettingsWrite(int n, uint8_t byte0) = 0;
};

} // namespace nk7x
