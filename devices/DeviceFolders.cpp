// The page's folders; kept apart from the device tables, whose kind constants share names with
// the profile folders' kind names.
#include "devices/DeviceBase.h"
#include "profiles/ProfileFolders.h"

namespace nk7x {

std::string CDeviceBase::DataFolder() const {
    const std::string folder = KindFolder(m_kindName);
    return folder.empty() ? std::string() : folder + "/";
}

std::string CDeviceBase::DefaultProfilePath() const {
    return nk7x::DefaultProfilePath(m_kindName);
}

} // namespace nk7x
