// Extra rows for the supported-device tables, read from "devices.json" files: the program's data
// folder, the user's configuration folder, and every "*.devices.json" the emulator writes into its
// folder (NK7X_SIM_DIR). A user with a compatible device adds its interfaces and its device list
// entry there (docs/DEVICE-ROWS.md); a malformed row is reported and skipped.
#pragma once

#include <string>
#include <vector>

#include "devices/discovery/DeviceTables.h"

namespace nk7x {

// What one file adds. Options pair with a page row copied from their family's shipped page row.
struct DeviceRows {
    std::vector<DeviceSlot> interfaces;
    struct Option {
        DeviceFamily family = DeviceFamily::Keyboard;
        uint16_t vendorId = 0;
        uint16_t productId = 0;
        DeviceKind kind = DeviceKind::Keyboard;
        uint16_t role = kRoleCommand;
    };
    std::vector<Option> options;
    std::vector<std::string> problems; // one line per skipped row or unreadable file
};

// Parses the text of one file; `source` names it in the problem lines.
DeviceRows ParseDeviceRows(const std::string& text, const std::string& source);

// Reads a file; a missing file adds nothing and is no problem.
DeviceRows ReadDeviceRowsFile(const std::string& path);

// The files looked at, in order: <program folder>/DefaultData/devices.json,
// <user configuration folder>/devices.json, then NK7X_SIM_DIR's "*.devices.json" in name order.
std::vector<std::string> DeviceRowsFiles();

} // namespace nk7x
