#include "tools/sim/SimDeviceRows.h"

#include <cstdio>

#include "link/DeviceKind.h"
#include "tools/sim/SimDescriptorParts.h"
#include "tools/sim/SimDevice.h"

namespace nk7x {

namespace {
DeviceKind TableKind(SimKind kind) {
    switch (kind) {
    case SimKind::Mouse:
        return DeviceKind::Mouse;
    case SimKind::Receiver:
        return DeviceKind::MouseReceiver; // the program then waits long for the mouse behind it
    case SimKind::Pad:
        return DeviceKind::MousePad;
    case SimKind::Headset:
        return DeviceKind::Headset;
    case SimKind::Keyboard:
        break;
    }
    return DeviceKind::Keyboard;
}

// The family name of the option row, as the rows file reader takes it.
const char* FamilyName(SimKind kind) {
    switch (kind) {
    case SimKind::Mouse:
    case SimKind::Receiver:
        return "mouse";
    case SimKind::Pad:
        return "mousepad";
    case SimKind::Headset:
        return "headset";
    case SimKind::Keyboard:
        break;
    }
    return "keyboard";
}

std::string InterfaceRow(const SimOptions& o, int collection, const char* role, uint16_t usagePage,
                         uint16_t usage) {
    char row[256];
    std::snprintf(
        row, sizeof row,
        "    {\"vendor\": \"0x%04x\", \"product\": \"0x%04x\", \"interface\": 1, \"collection\": %d,\n"
        "     \"kind\": %d, \"role\": \"%s\", \"usagePage\": \"0x%04x\", \"usage\": \"0x%04x\"}",
        o.vendorId, o.productId, collection, o.rowsKind.value_or(KindNumber(TableKind(o.kind))), role,
        usagePage, usage);
    return row;
}
} // namespace

std::string SimDeviceRowsJson(const SimOptions& o) {
    const int kind = o.rowsKind.value_or(KindNumber(TableKind(o.kind)));
    const std::string family = o.rowsFamily.empty() ? FamilyName(o.kind) : o.rowsFamily;
    char option[320];
    std::snprintf(option, sizeof option,
                  "    {\"family\": \"%s\", \"vendor\": \"0x%04x\", \"product\": \"0x%04x\", \"kind\": %d, "
                  "\"role\": \"command\"}",
                  family.c_str(), o.vendorId, o.productId, kind);
    return "{\n  \"interfaces\": [\n" +
           InterfaceRow(o, kSimCommandCollection, "command", kSimVendorUsagePage, kSimVendorUsage) + ",\n" +
           InterfaceRow(o, kSimNotificationCollection, "notification", kSimConsumerUsagePage,
                        kSimConsumerUsage) +
           "\n  ],\n  \"options\": [\n" + option + "\n  ]\n}\n";
}

} // namespace nk7x
