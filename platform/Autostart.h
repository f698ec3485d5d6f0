// Starting the program with the user's desktop session: its entry in the XDG autostart folder,
// which starts it in the tray (--hidden).
#pragma once

#include <string>

namespace nk7x {

// $XDG_CONFIG_HOME/autostart/nk7x.desktop; ~/.config when XDG_CONFIG_HOME is unset or relative.
std::string AutostartEntryPath();

// True when the entry exists and the desktop has not switched it off (Hidden=true, or
// X-GNOME-Autostart-enabled=false, which the desktops' own start-up settings write).
bool AutostartEnabled();

// on: writes the entry, starting `execPath --hidden`, replacing any earlier one in one step (a
// temporary file renamed over it), so the folder never holds a half-written entry. off: removes
// it; no entry at all is success. False with a message in *error (when given) on failure, and the
// earlier entry, if any, is left as it was.
bool SetAutostart(bool on, const std::string& execPath, std::string* error);

} // namespace nk7x
