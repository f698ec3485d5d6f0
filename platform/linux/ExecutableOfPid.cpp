#include "platform/WindowTracker.h"

#include <unistd.h>

#include <string>
#include <string_view>

namespace nk7x {

std::string ExecutableOfPid(int pid) {
    if (pid <= 0)
        return {};
    const std::string link = "/proc/" + std::to_string(pid) + "/exe";
    char target[4096];
    const ssize_t n = ::readlink(link.c_str(), target, sizeof target);
    if (n <= 0 || static_cast<size_t>(n) >= sizeof target)
        return {};
    std::string path(target, static_cast<size_t>(n));
    // A program replaced on disk while running (an update) still counts under its name.
    constexpr std::string_view kDeleted = " (deleted)";
    if (path.size() > kDeleted.size() && path.ends_with(kDeleted))
        path.resize(path.size() - kDeleted.size());
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace nk7x
