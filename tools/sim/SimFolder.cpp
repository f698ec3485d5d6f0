// Where emulated devices appear, and making sure that folder is the user's own.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tools/sim/SimDevice.h"

namespace nk7x {

std::string DefaultSimFolder() {
    if (const char* dir = std::getenv("NK7X_SIM_DIR"); dir && *dir)
        return dir;
    if (const char* run = std::getenv("XDG_RUNTIME_DIR"); run && *run)
        return std::string(run) + "/nk7x-sim";
    return "/tmp/nk7x-sim-" + std::to_string(static_cast<unsigned long>(getuid()));
}

std::string SimUsbSerial(const std::string& name) {
    return "NK7X-" + name;
}

bool EnsureSimFolder(const std::string& folder, std::string* error) {
    auto fail = [&](const std::string& message) {
        if (error)
            *error = message;
        return false;
    };
    if (folder.empty())
        return fail("no emulator folder given");
    // Create missing levels one by one, each private to the user.
    for (size_t pos = folder.find('/', 1);; pos = folder.find('/', pos + 1)) {
        const std::string level = pos == std::string::npos ? folder : folder.substr(0, pos);
        if (!level.empty() && mkdir(level.c_str(), 0700) != 0 && errno != EEXIST)
            return fail("cannot create folder " + level + ": " + std::strerror(errno));
        if (pos == std::string::npos)
            break;
    }
    struct stat st {};
    if (stat(folder.c_str(), &st) != 0)
        return fail("cannot use folder " + folder + ": " + std::strerror(errno));
    if (!S_ISDIR(st.st_mode))
        return fail(folder + " is not a folder");
    if (st.st_uid != geteuid())
        return fail("folder " + folder + " belongs to another user");
    if (access(folder.c_str(), W_OK | X_OK) != 0)
        return fail("folder " + folder + " is not writable: " + std::strerror(errno));
    return true;
}

} // namespace nk7x
