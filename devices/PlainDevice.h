// CPlainDevice: the device object of a page of no kind. It has no profile, keys, macros, settings
// record or status record, so there is nothing to load, save, refresh or read back; its writes
// fail as the base's do, there being nothing they could write.
#pragma once

#include "devices/DeviceBase.h"

namespace nk7x {

class CPlainDevice : public CDeviceBase {
  public:
    void ApplyProfile() override {}
    void OnSyncRequest() override {}
    void StatusPoll() override {}
    void LoadProfile() override {}
    void RefreshPage() override {}
    void RefreshNameLists() override {}
    void SaveProfile() override {}
};

} // namespace nk7x
