#include "profiles/ProfileFolders.h"

#include "platform/Folders.h"

namespace nk7x {

bool IsPlainFileName(const std::string& name) {
    if (name.empty() || name == "." || name == "..")
        return false;
    return name.find('/') == std::string::npos && name.find('\0') == std::string::npos;
}

std::string KindFolder(const std::string& kindName) {
    if (!IsPlainFileName(kindName))
        return {};
    std::string folder = JoinPath(UserDataRoot(), kindName);
    EnsureFolder(folder);
    return folder;
}

namespace {

std::string InKindFolder(const std::string& kindName, const std::string& fileName) {
    std::string folder = KindFolder(kindName);
    if (folder.empty())
        return {};
    return JoinPath(folder, fileName);
}

} // namespace

std::string ProfileFilePath(const std::string& kindName, const std::string& profileUuid) {
    if (!IsPlainFileName(profileUuid))
        return {};
    return InKindFolder(kindName, profileUuid + ".Json");
}

std::string ProfileListPath(const std::string& kindName) {
    return InKindFolder(kindName, "ProfileList.ini");
}

std::string LightConfigPath(const std::string& kindName) {
    return InKindFolder(kindName, "tavro_light.config");
}

std::string DefaultProfilePath(const std::string& kindName) {
    if (!IsPlainFileName(kindName))
        return {};
    return JoinPath(DefaultDataFolder(), kindName + ".Json");
}

std::string KindFolder(DeviceFamily family) {
    return KindFolder(std::string(FolderName(family)));
}

std::string ProfileFilePath(DeviceFamily family, const std::string& profileUuid) {
    return ProfileFilePath(std::string(FolderName(family)), profileUuid);
}

std::string ProfileListPath(DeviceFamily family) {
    return ProfileListPath(std::string(FolderName(family)));
}

std::string LightConfigPath(DeviceFamily family) {
    return LightConfigPath(std::string(FolderName(family)));
}

std::string DefaultProfilePath(DeviceFamily family) {
    return DefaultProfilePath(std::string(FolderName(family)));
}

std::string DefaultLightNamesPath() {
    return JoinPath(DefaultDataFolder(), "default_light.json");
}

} // namespace nk7x
