// Which connection a page's device uses when one mouse can be reached two ways, by cable and
// through its wireless receiver (partner rows of the interface table): the cable is preferred while
// it is plugged in, and when the connection in use goes, the device carries on through the other.
// Toolkit-free: the device host calls it on connect and removal of a command interface.
#pragma once

#include <optional>

#include "devices/discovery/SlotList.h"
#include "link/DeviceKind.h"

namespace nk7x {

class CDeviceBase;

// The slot of the other connection of the same mouse (the partner row's slot), if the table has one.
std::optional<DeviceSlot> PartnerSlot(const CSlotList& slots, const DeviceSlot& slot);

// A command interface of the device came: opens the device's link on it when the link is closed,
// and lets a cable take over from a receiver. True when the link is open afterwards.
bool ConnectCommandInterface(CDeviceBase& device, DeviceFamily family, const DeviceSlot& slot);

// A command interface of the device went. True when the device goes on (the connection that went
// was not the one in use, or the link moved to the connected partner); false when the device is
// gone and its link is closed.
bool RemoveCommandInterface(CDeviceBase& device, DeviceFamily family, const DeviceSlot& slot,
                            const std::optional<DeviceSlot>& partner);

} // namespace nk7x
