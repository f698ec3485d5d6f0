// The Linux HID backend: hidraw nodes, plus the emulator's folder when NK7X_SIM_DIR is set.
#include "platform/HidBackend.h"

#include <cerrno>
#include <cstdlib>

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
