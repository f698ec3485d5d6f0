// nk7x-cli check-updates: the update check for the connected devices and the application, without a
// window; prints one line (or JSON object) per product and the overall result.
#pragma once

#include "tools/cli/CliSupport.h"

namespace nk7x::cli {

// True when the command word of the command line is "check-updates" (it has options of its own).
bool IsUpdateCommand(int argc, char** argv);
Exit RunCheckUpdates(int argc, char** argv);

inline constexpr const char* kUpdateUsage =
    "  check-updates [--server BASE] [--json]\n"
    "                            ask the update server (API base address BASE, e.g.\n"
    "                            http://host/api/, to which \"updates\" is appended) about the\n"
    "                            connected devices' firmware and this program; exit code 0 whether\n"
    "                            updates are available, all is up to date or nothing could be\n"
    "                            learnt, 1 without a server\n";

} // namespace nk7x::cli
