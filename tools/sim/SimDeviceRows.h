// NAME.devices.json: the rows an emulated device adds to the program's supported-device tables (its
// command and notification interfaces, and the device list option of its family), so that the
// program takes a mouse, receiver, mouse pad or headset it has no built-in row for.
#pragma once

#include <string>

namespace nk7x {

struct SimOptions;

// The file's text for a device with these options (as in use, kind defaults filled in).
std::string SimDeviceRowsJson(const SimOptions& options);

} // namespace nk7x
