#include "tools/cli/CliDevice.h"

#include "devices/discovery/DeviceTables.h"

namespace nk7x::cli {

std::string FindCommandInterface(bool& permissionDenied) {
    permissionDenied = false;
    CHidTransport probe;
    if (probe.EnumeratePaths() != 1)
        return {};
    while (const char* path = probe.NextPath()) {
        const int row = FindRowByPath(CandidateFromPath(path));
        if (row < 0 || InterfaceTable()[static_cast<size_t>(row)].role != kRoleCommand)
            continue;
        // Only a probe: read-only, shared, as discovery does it.
        if (probe.Open(path, true, false) != 1) {
            permissionDenied |= probe.LastOpenError() == HidOpenError::PermissionDenied;
            continue;
        }
        int matched = -1;
        const DeviceSlot slot = SlotFromTransport(probe, &matched);
        const std::string found = path;
        probe.Close();
        if (matched >= 0 && slot.role == kRoleCommand)
            return found;
    }
    return {};
}

Exit OpenCommandLink(const Options& options, CDeviceCommandLink& link) {
    std::string path = options.path;
    if (path.empty()) {
        bool permissionDenied = false;
        path = FindCommandInterface(permissionDenied);
        if (path.empty()) {
            if (permissionDenied)
                return Fail(Exit::Permission,
                            std::string("a supported device is present, but this user may not open it.\n") +
                                kUdevHint);
            return Fail(Exit::Absent,
                        "no supported device found (is it plugged in? `nk7x-cli list` shows every "
                        "HID interface)");
        }
    }
    if (link.OpenPath(path) == 1)
        return Exit::Ok;
    const CHidTransport& transport = link.Transport();
    switch (transport.LastOpenError()) {
    case HidOpenError::PermissionDenied:
        return Fail(Exit::Permission, "no permission to open " + path + "\n" + kUdevHint);
    case HidOpenError::NotFound:
    case HidOpenError::BadPath:
    case HidOpenError::PathTooLong:
        return Fail(Exit::Absent,
                    "no device at " + path + " (" + HidOpenErrorText(transport.LastOpenError()) + ")");
    default:
        return Fail(Exit::Failure,
                    "cannot open " + path + " (" + HidOpenErrorText(transport.LastOpenError()) + ")");
    }
}

} // namespace nk7x::cli
