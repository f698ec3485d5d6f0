// nk7x-cli devices, profile list/use and light: the settings commands for scripts. While the program
// runs they go through its desktop-bus interface, so the window shows the change; when it does not,
// they read and write the profile files and the device themselves with the program's own code.
#pragma once

#include "tools/cli/CliSupport.h"

namespace nk7x::cli {

// True when the command word is "devices", "profile", "light", "rate" or "dpi" (they have options
// of their own).
bool IsScriptCommand(int argc, char** argv);
Exit RunScriptCommand(int argc, char** argv);

inline constexpr const char* kScriptUsage =
    "  devices                   the connected device families (keyboard, mouse, pad, headset)\n"
    "  profile list              the family's profiles, the active one marked *\n"
    "  profile use NAME          switch the family to profile NAME\n"
    "  profile add NAME [--copy FROM]\n"
    "                            add profile NAME (the default settings, or a copy of FROM)\n"
    "  light MODE [--color RRGGBB] [--brightness N] [--speed N]\n"
    "                            set the family's lighting (MODE: a mode name such as static,\n"
    "                            wave, off; `-` keeps the mode)\n"
    "  rate HZ                   set the report rate (keyboard: 125, 250, 500, 1000; mouse: also 2000)\n"
    "  dpi [STAGE=DPI ...] [--active N]\n"
    "                            set mouse DPI stages (1-5) and the one in use, and print them\n"
    "                            (the one in use marked *, a stage that is off in ())\n"
    "  keys KEY=RRGGBB ...       paint keyboard keys (names as esc, f1, w, lshift) in the custom mode\n"
    "  bind PROFILE APP          use PROFILE while APP (app id, window class or program file) is in front\n"
    "  unbind APP                undo that\n"
    "  bindings                  the family's bindings, the default profile and the tracking method\n"
    "      --kind KIND           the family these act on (default: the one connected, else keyboard)\n"
    "      through the running program when there is one (the window shows the change);\n"
    "      without it, the profile files and the device are written directly\n";

} // namespace nk7x::cli
