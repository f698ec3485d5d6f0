#include "tools/sim/SimSockets.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

namespace nk7x {

std::string ErrnoText() {
    return std::strerror(errno);
}

bool ValidName(const std::string& name) {
    if (name.empty() || name.size() > 64 || name[0] == '.')
        return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
               c == '_' || c == '.';
    });
}

bool FillAddress(const std::string& path, sockaddr_un& addr) {
    std::memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path)
        return false;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    return true;
}

bool SocketAnswers(const std::string& path) {
    sockaddr_un addr;
    if (!FillAddress(path, addr))
        return false;
    const int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool live = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    close(fd);
    return live;
}

int MakeListener(const std::string& path, std::string& error) {
    sockaddr_un addr;
    if (!FillAddress(path, addr)) {
        error = "socket path too long: " + path;
        return -1;
    }
    const int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        error = "cannot create socket: " + ErrnoText();
        return -1;
    }
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(fd, 16) != 0) {
        error = "cannot listen on " + path + ": " + ErrnoText();
        close(fd);
        return -1;
    }
    return fd;
}

bool WriteWholeFile(const std::string& path, const void* data, size_t size, std::string& error) {
    const std::string temp = path + ".tmp";
    const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = "cannot write " + temp + ": " + ErrnoText();
        return false;
    }
    const auto* p = static_cast<const uint8_t*>(data);
    size_t done = 0;
    while (done < size) {
        const ssize_t n = write(fd, p + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = "cannot write " + temp + ": " + ErrnoText();
            close(fd);
            unlink(temp.c_str());
            return false;
        }
        done += static_cast<size_t>(n);
    }
    close(fd);
    if (rename(temp.c_str(), path.c_str()) != 0) {
        error = "cannot create " + path + ": " + ErrnoText();
        unlink(temp.c_str());
        return false;
    }
    return true;
}

} // namespace nk7x
