// Finding and opening a supported device's command interface for nk7x-cli, with the failure turned
// into an exit code and a message the user can act on.
#pragma once

#include <string>

#include "link/DeviceCommandLink.h"
#include "tools/cli/CliSupport.h"

namespace nk7x::cli {

// The path of the first present command interface that the interface table names. Empty when there
// is none; `permissionDenied` tells whether a candidate could not be opened for lack of rights.
std::string FindCommandInterface(bool& permissionDenied);

// Opens `link` on `--path` or on the first command interface found. Exit::Ok on success; otherwise
// the message is printed already.
Exit OpenCommandLink(const Options& options, CDeviceCommandLink& link);

} // namespace nk7x::cli
