// The keyboard's layout read: its device information, key table and LED table in one configuration
// session. The transfer touches the command link alone, so the connection's first job runs it on
// the worker; the page's thread then takes what it brought into the device and the key map.
#pragma once

#include <array>
#include <cstdint>

#include "link/DeviceCommandLink.h"

namespace nk7x {

struct KeyboardLayoutRead {
    LinkResult result = kResultFailed;
    bool infoRead = false;
    DeviceInfoRecord info{};
    bool tablesRead = false;
    int keys = 0;
    std::array<uint8_t, CDeviceCommandLink::kMaxDataSize> keyTable{};
    std::array<uint8_t, CDeviceCommandLink::kMaxDataSize> ledTable{};
};

// BeginConfig, device information, key table, LED table, EndConfig. The result is 1, 0 when the
// link is not open or the key count does not fit a table, or the first failed command's code;
// `infoRead` and `tablesRead` say which parts can be trusted.
KeyboardLayoutRead FetchKeyboardLayout(CDeviceCommandLink& link);

} // namespace nk7x
