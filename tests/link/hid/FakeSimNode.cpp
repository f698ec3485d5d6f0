#include "link/hid/FakeSimNode.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace nk7x::test {

FakeSimFolder::FakeSimFolder() {
    char tmpl[] = "/tmp/nk7x-hid-XXXXXX";
    if (char* dir = ::mkdtemp(tmpl))
        m_folder = dir;
    ::setenv("NK7X_SIM_DIR", m_folder.c_str(), 1);
}

FakeSimFolder::~FakeSimFolder() {
    for (size_t i = 0; i < m_interfaces.size(); ++i)
        Unplug(static_cast<int>(i));
    ::rmdir(m_folder.c_str());
    ::unsetenv("NK7X_SIM_DIR");
}

int FakeSimFolder::AddInterface(const std::string& name, int interfaceNumber,
                                const std::vector<uint8_t>& descriptor, uint16_t vendor, uint16_t product,
                                uint16_t version) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "-mi%02x", interfaceNumber);
    Interface itf;
    itf.base = m_folder + "/" + name + suffix;
    {
        std::ofstream rdesc(itf.base + ".rdesc", std::ios::binary);
        rdesc.write(reinterpret_cast<const char*>(descriptor.data()),
                    static_cast<std::streamsize>(descriptor.size()));
        std::ofstream info(itf.base + ".info");
        char text[160];
        std::snprintf(text, sizeof text,
                      "vendor=0x%04x\nproduct=0x%04x\nversion=0x%04x\ninterface=%d\nname=%s\n", vendor,
                      product, version, interfaceNumber, name.c_str());
        info << text;
    }
    itf.listenFd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const std::string sock = itf.base + ".sock";
    std::strncpy(addr.sun_path, sock.c_str(), sizeof addr.sun_path - 1);
    if (::bind(itf.listenFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(itf.listenFd, 16) != 0)
        std::perror("fake sim socket");
    m_interfaces.push_back(itf);
    return static_cast<int>(m_interfaces.size()) - 1;
}

std::string FakeSimFolder::SocketPath(int index) const {
    return m_interfaces[static_cast<size_t>(index)].base + ".sock";
}

size_t FakeSimFolder::Accept(int index) {
    Interface& itf = m_interfaces[static_cast<size_t>(index)];
    if (itf.listenFd < 0)
        return itf.connections.size();
    for (;;) {
        const int fd = ::accept4(itf.listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            break;
        itf.connections.push_back(fd);
    }
    return itf.connections.size();
}

bool FakeSimFolder::Send(int index, const std::vector<uint8_t>& report) {
    Accept(index);
    bool all = true;
    for (int fd : m_interfaces[static_cast<size_t>(index)].connections) {
        if (fd >= 0 &&
            ::send(fd, report.data(), report.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(report.size()))
            all = false;
    }
    return all;
}

std::vector<uint8_t> FakeSimFolder::Receive(int index, int timeoutMs) {
    Accept(index);
    std::vector<pollfd> fds;
    for (int fd : m_interfaces[static_cast<size_t>(index)].connections)
        fds.push_back({fd, POLLIN, 0});
    if (fds.empty() || ::poll(fds.data(), fds.size(), timeoutMs) <= 0)
        return {};
    for (const pollfd& p : fds) {
        if (p.revents & POLLIN) {
            std::vector<uint8_t> buf(4096);
            const ssize_t n = ::recv(p.fd, buf.data(), buf.size(), 0);
            if (n > 0) {
                buf.resize(static_cast<size_t>(n));
                return buf;
            }
        }
    }
    return {};
}

bool FakeSimFolder::PeerClosed(int index, size_t c, int timeoutMs) {
    Accept(index);
    const auto& conns = m_interfaces[static_cast<size_t>(index)].connections;
    if (c >= conns.size())
        return false;
    pollfd p{conns[c], POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) <= 0)
        return false;
    char b;
    return ::recv(conns[c], &b, 1, MSG_DONTWAIT) == 0;
}

void FakeSimFolder::DropConnections(int index) {
    Interface& itf = m_interfaces[static_cast<size_t>(index)];
    Accept(index);
    for (int& fd : itf.connections) {
        if (fd >= 0)
            ::close(fd);
    }
    itf.connections.clear();
}

void FakeSimFolder::Unplug(int index) {
    Interface& itf = m_interfaces[static_cast<size_t>(index)];
    if (itf.listenFd < 0)
        return;
    ::unlink((itf.base + ".sock").c_str());
    ::close(itf.listenFd);
    itf.listenFd = -1;
    DropConnections(index);
    ::unlink((itf.base + ".info").c_str());
    ::unlink((itf.base + ".rdesc").c_str());
}

} // namespace nk7x::test
