// The per-user kind folders ("keyboard", "mouse", "MousePad", "HD" under the user data root) and
// the names of the files the profiles keep in them and in the default data folder.
#pragma once

#include <string>

#include "link/DeviceKind.h"

namespace nk7x {

// UserDataRoot() + "/" + the family's folder name; the root and the folder are created when missing.
std::string KindFolder(DeviceFamily family);
// The same for a folder name kept by a page (its option row's name). Empty when the name is empty
// or is not a single plain folder name.
std::string KindFolder(const std::string& kindName);

// The user's files of a family (its folder is created when missing).
std::string ProfileFilePath(DeviceFamily family, const std::string& profileUuid); // UUID.Json
std::string ProfileListPath(DeviceFamily family);                                 // ProfileList.ini
std::string LightConfigPath(DeviceFamily family);                                 // tavro_light.config
// The same, by folder name.
std::string ProfileFilePath(const std::string& kindName, const std::string& profileUuid);
std::string ProfileListPath(const std::string& kindName);
std::string LightConfigPath(const std::string& kindName);

// The read-only files beside the executable.
std::string DefaultProfilePath(DeviceFamily family);         // DefaultData/<folder name>.Json
std::string DefaultProfilePath(const std::string& kindName); // the same, by folder name
std::string DefaultLightNamesPath();                         // DefaultData/default_light.json

// True for a single path component that is safe to use as a file's base name: not empty, not
// "." or "..", no '/', no NUL. Names read from files (profile UUIDs, effect names) are checked
// with it before a path is built from them.
bool IsPlainFileName(const std::string& name);

} // namespace nk7x
