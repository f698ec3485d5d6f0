#include "tools/sim/SimControlClient.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace nk7x {

SimControlResult SimControlRequest(const std::string& controlPath, std::string_view request,
                                   std::string& answer, std::string& error, int timeoutMs) {
    answer.clear();
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (controlPath.size() >= sizeof addr.sun_path) {
        error = "control socket path too long: " + controlPath;
        return SimControlResult::Failed;
    }
    std::memcpy(addr.sun_path, controlPath.c_str(), controlPath.size() + 1);
    const int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = std::string("cannot create socket: ") + std::strerror(errno);
        return SimControlResult::Failed;
    }
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        const int e = errno;
        close(fd);
        if (e == ENOENT || e == ECONNREFUSED) {
            error = "no emulator is running at " + controlPath;
            return SimControlResult::NotRunning;
        }
        error = "cannot reach " + controlPath + ": " + std::strerror(e);
        return SimControlResult::Failed;
    }
    if (send(fd, request.data(), request.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(request.size())) {
        error = std::string("cannot send the request: ") + std::strerror(errno);
        close(fd);
        return SimControlResult::Failed;
    }
    pollfd p{fd, POLLIN, 0};
    const int ready = poll(&p, 1, timeoutMs);
    if (ready <= 0) {
        error = ready == 0 ? "the emulator did not answer" : std::string("poll: ") + std::strerror(errno);
        close(fd);
        return SimControlResult::Failed;
    }
    std::vector<char> buf(256 * 1024);
    const ssize_t n = recv(fd, buf.data(), buf.size(), 0);
    close(fd);
    if (n <= 0) {
        error = "the emulator closed the control connection";
        return SimControlResult::Failed;
    }
    answer.assign(buf.data(), static_cast<size_t>(n));
    return SimControlResult::Answered;
}

} // namespace nk7x
