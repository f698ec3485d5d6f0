// The per-user kind folders ("keyboard", "mouse", "MousePad", "HD" under the user data root) and
// the names of the files the profiles keep in them and in the default data folder.
#pragma once

#include <string>

namespace nk7x {

// Kind names and numbers as the device-kind table gives them.
inline constexpr const char* kKindKeyboard = "keyboard";
inline constexpr const char* kKindMouse = "mouse";
inline constexpr const char* kKindMousePad = "MousePad";
inline constexpr const char* kKindHeadset = "HD";

// The kind name of kind number 0-3 (keyboard, mouse, mouse pad, headset); empty for any other.
std::string KindNameOf(int kindNumber);

// UserDataRoot() + "/" + kind name; the root and the kind folder are created when missing.
// Empty when the kind name is empty or is not a single plain folder name.
std::string KindFolder(const std::string& kindName);

// The user's files of a kind (the kind folder is created when missing).
std::string ProfileFilePath(const std::string& kindName, const std::string& profileUuid); // UUID.Json
std::string ProfileListPath(const std::string& kindName);                                 // ProfileList.ini
std::string LightConfigPath(const std::string& kindName);                                 // tavro_light.config

// The read-only files beside the executable.
std::string DefaultProfilePath(const std::string& kindName); // DefaultData/<kind>.Json
std::string DefaultLightNamesPath();                         // DefaultData/default_light.json

// True for a single path component that is safe to use as a file's base name: not empty, not
// "." or "..", no '/', no NUL. Names read from files (profile UUIDs, effect names) are checked
// with it before a path is built from them.
bool IsPlainFileName(const std::string& name);

} // namespace nk7x
