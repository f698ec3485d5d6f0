#include "devices/ConnectionHandOver.h"

#include "devices/DeviceBase.h"
#include "devices/discovery/DeviceTables.h"
#include "platform/DebugLog.h"

namespace nk7x {
namespace {

// Through the receiver every exchange waits longer: the radio and a sleeping mouse.
bool OpenOn(CDeviceBase& device, DeviceFamily family, const DeviceSlot& slot) {
    // OpenPath holds the exchange lock while it opens, so no exchange sees a half-open link.
    if (device.Link().OpenPath(slot.path) != 1)
        return false;
    if (family == DeviceFamily::Mouse)
        device.Link().SetLongTimeouts(slot.kind == DeviceKind::MouseReceiver);
    device.SetIdentity(slot);
    return true;
}

} // namespace

std::optional<DeviceSlot> PartnerSlot(const CSlotList& slots, const DeviceSlot& slot) {
    const int row = FindInterfaceRow(slot);
    if (row < 0)
        return std::nullopt;
    const DeviceSlot& r = InterfaceTable()[static_cast<size_t>(row)];
    if (!r.hasPartner)
        return std::nullopt;
    return slots.Get(r.partner);
}

bool ConnectCommandInterface(CDeviceBase& device, DeviceFamily family, const DeviceSlot& slot) {
    // The cable arrives while the mouse is reached through its receiver: the cable takes over.
    if (device.Link().IsOpen() && family == DeviceFamily::Mouse && slot.kind == DeviceKind::Mouse &&
        device.Link().LongTimeouts()) {
        device.Link().ClosePath();
        DebugLog("mouse: the cable takes over from the receiver");
    }
    if (!device.Link().IsOpen() && !OpenOn(device, family, slot))
        DebugLogf("command interface %s not opened", slot.path.c_str());
    return device.Link().IsOpen();
}

bool RemoveCommandInterface(CDeviceBase& device, DeviceFamily family, const DeviceSlot& slot,
                            const std::optional<DeviceSlot>& partner) {
    if (family == DeviceFamily::Mouse) {
        // The connection that went is not the one in use: nothing changes for the device.
        if (!SameInterface(device.GetIdentity(), slot))
            return true;
        // The other connection of the same mouse is still there: the device goes on through it.
        if (partner && partner->connected && !partner->path.empty()) {
            device.Link().ClosePath();
            if (OpenOn(device, family, *partner)) {
                DebugLog("mouse: carried on through its other connection");
                return true;
            }
        }
    }
    device.Link().ClosePath();
    return false;
}

} // namespace nk7x
