// The Linux HID backend: hidraw nodes, plus the emulator's folder when NK7X_SIM_DIR is set.
#include "platform/HidBackend.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/linux/HidNodes.h"

namespace nk7x {

bool EnumerateHidInterfaces(std::vector<HidInterfaceRecord>& out) {
    out.clear();
    if (!EnumerateHidrawInterfaces(out))
        return false;
    const char* simDir = std::getenv("NK7X_SIM_DIR");
    if (simDir != nullptr && *simDir != '\0')
        return EnumerateEmulatedInterfaces(simDir, out);
    return true;
}

bool HidNodeStamp(HidNodeKind kind, const std::string& node, std::string& stamp) {
    stamp.clear();
    struct stat st {};
    if (node.empty() || ::stat(node.c_str(), &st) != 0)
        return false;
    switch (kind) {
    case HidNodeKind::Hidraw: {
        if (!S_ISCHR(st.st_mode))
            return false;
        // The node's device link ends in the HID device's name, "BUS:VENDOR:PRODUCT.INSTANCE"; the
        // instance number is new for every device the kernel adds.
        const size_t slash = node.rfind('/');
        const std::string name = slash == std::string::npos ? node : node.substr(slash + 1);
        const std::string link = "/sys/class/hidraw/" + name + "/device";
        char target[PATH_MAX];
        const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
        if (n <= 0)
            return false;
        stamp.assign(target, static_cast<size_t>(n));
        stamp += '@' + std::to_string(static_cast<unsigned long long>(st.st_rdev));
        return true;
    }
    case HidNodeKind::Emulated:
        if (!S_ISSOCK(st.st_mode))
            return false;
        // A plug makes a new socket file: another inode or another time.
        stamp = std::to_string(static_cast<unsigned long long>(st.st_dev)) + ':' +
                std::to_string(static_cast<unsigned long long>(st.st_ino)) + ':' +
                std::to_string(static_cast<long long>(st.st_mtim.tv_sec)) + '.' +
                std::to_string(static_cast<long long>(st.st_mtim.tv_nsec));
        return true;
    }
    return false;
}

std::shared_ptr<IHidConnection> OpenHidNode(HidNodeKind kind, const std::string& node, bool read, bool write,
                                            int* error) {
    if (error)
        *error = 0;
    switch (kind) {
    case HidNodeKind::Hidraw:
        return OpenHidrawNode(node, read, write, error);
    case HidNodeKind::Emulated:
        return OpenEmulatedNode(node, read, write, error);
    }
    if (error)
        *error = EINVAL;
    return nullptr;
}

} // namespace nk7x
