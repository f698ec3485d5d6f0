// Where the update check asks: the server's API base address kept in the settings store. The build
// ships no address, so nothing is contacted until the user (or the command line) names one.
#pragma once

#include <string>

namespace nk7x {

class SettingsStore;

// The value under the product key that holds the address.
inline constexpr const char* kUpdateServerValue = "UPDATESERVER";

// The stored address, trimmed; empty when none is stored.
std::string ReadUpdateServer(const SettingsStore& store);

// Stores the address (trimmed; empty removes the choice), creating the product key when missing.
// False when the text is not a usable address (see UsableUpdateServer) or the file cannot be
// written.
bool WriteUpdateServer(SettingsStore& store, const std::string& address);

// True for an empty text and for an "http://" or "https://" address with a host and no blanks.
bool UsableUpdateServer(const std::string& address);

} // namespace nk7x
