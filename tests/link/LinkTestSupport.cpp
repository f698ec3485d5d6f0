#include "LinkTestSupport.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string_view>

#include "platform/DebugLog.h"
#include "tools/sim/KeyboardDescriptor.h"

namespace fs = std::filesystem;

namespace nk7x::test {

Frame64 MakeReply(const Frame64& request, uint8_t status, const std::vector<uint8_t>& data) {
    Frame64 reply{};
    reply[0] = 4;
    reply[3] = request[3];
    reply[4] = request[4];
    reply[5] = request[5];
    reply[6] = request[6];
    reply[7] = status;
    for (size_t i = 0; i < data.size() && 8 + i < reply.size(); ++i)
        reply[8 + i] = data[i];
    return reply;
}

ScriptedDevice::ScriptedDevice(const std::string& folder, const std::string& name, Responder responder)
    : m_folder(folder), m_name(name), m_responder(std::move(responder)) {
    const std::string base = folder + "/" + name + "-mi01";
    {
        std::ofstream info(base + ".info");
        info << "vendor=0x0c45\nproduct=0x0820\nversion=0x0100\ninterface=1\nname=scripted\n";
        const std::vector<uint8_t>& rdesc = KeyboardInterfaceDescriptor();
        std::ofstream desc(base + ".rdesc", std::ios::binary);
        desc.write(reinterpret_cast<const char*>(rdesc.data()), static_cast<std::streamsize>(rdesc.size()));
    }
    if (::pipe2(m_stopPipe, O_CLOEXEC) != 0)
        return;
    const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const std::string sock = base + ".sock";
    if (fd < 0 || sock.size() >= sizeof(addr.sun_path)) {
        if (fd >= 0)
            ::close(fd);
        return;
    }
    std::memcpy(addr.sun_path, sock.c_str(), sock.size() + 1);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 || ::listen(fd, 4) != 0) {
        ::close(fd);
        return;
    }
    m_listen = fd;
    m_thread = std::thread([this] { Serve(); });
}

ScriptedDevice::~ScriptedDevice() {
    if (m_stopPipe[1] >= 0) {
        const char c = 1;
        [[maybe_unused]] ssize_t n = ::write(m_stopPipe[1], &c, 1);
    }
    if (m_thread.joinable())
        m_thread.join();
    if (m_listen >= 0)
        ::close(m_listen);
    for (int fd : m_stopPipe)
        if (fd >= 0)
            ::close(fd);
    const std::string base = m_folder + "/" + m_name + "-mi01";
    for (const char* ext : {".sock", ".info", ".rdesc"})
        ::unlink((base + ext).c_str());
}

std::string ScriptedDevice::CommandPath() const {
    return "sim#vid_0c45&pid_0820&mi_01&col04#" + m_folder + "/" + m_name + "-mi01.sock";
}

void ScriptedDevice::Serve() {
    std::vector<int> clients;
    for (;;) {
        std::vector<pollfd> fds{{m_stopPipe[0], POLLIN, 0}, {m_listen, POLLIN, 0}};
        for (int c : clients)
            fds.push_back({c, POLLIN, 0});
        if (::poll(fds.data(), fds.size(), -1) < 0)
            continue;
        if (fds[0].revents)
            break;
        if (fds[1].revents & POLLIN) {
            const int c = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
            if (c >= 0)
                clients.push_back(c);
        }
        for (size_t i = 2; i < fds.size(); ++i) {
            if (!fds[i].revents)
                continue;
            Frame64 request{};
            const ssize_t n = ::recv(fds[i].fd, request.data(), request.size(), 0);
            if (n <= 0) {
                ::close(fds[i].fd);
                std::erase(clients, fds[i].fd);
                continue;
            }
            ++m_requests;
            for (const Frame64& reply : m_responder(request))
                [[maybe_unused]] ssize_t sent = ::send(fds[i].fd, reply.data(), reply.size(), MSG_NOSIGNAL);
        }
    }
    for (int c : clients)
        ::close(c);
}

std::string CliBinary() {
    return std::string(NK7X_BINARY_DIR) + "/bin/nk7x-cli";
}

CliResult RunCli(const std::vector<std::string>& args, const std::string& simFolder, int asUser) {
    CliResult result;
    char outName[] = "/tmp/nk7x-cli-out-XXXXXX";
    char errName[] = "/tmp/nk7x-cli-err-XXXXXX";
    const int outFd = ::mkstemp(outName);
    const int errFd = ::mkstemp(errName);
    if (outFd < 0 || errFd < 0)
        return result;
    // Everything the child needs is built before fork: only async-signal-safe calls follow it.
    const std::string binary = CliBinary();
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string_view entry(*e);
        if (!entry.starts_with("NK7X_SIM_DIR=") && !entry.starts_with("NK7X_DEBUG"))
            env.emplace_back(entry);
    }
    env.push_back("NK7X_SIM_DIR=" + simFolder);
    std::vector<char*> envp;
    for (std::string& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<std::string> argStore{binary};
    argStore.insert(argStore.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : argStore)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(outFd, 1);
        ::dup2(errFd, 2);
        if (asUser >= 0 &&
            (::setgid(static_cast<gid_t>(asUser)) != 0 || ::setuid(static_cast<uid_t>(asUser)) != 0))
            ::_exit(126);
        ::execve(binary.c_str(), argv.data(), envp.data());
        ::_exit(127);
    }
    int status = 0;
    if (pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status))
        result.exitCode = WEXITSTATUS(status);
    auto slurp = [](const char* name) {
        std::ifstream in(name);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    };
    result.out = slurp(outName);
    result.err = slurp(errName);
    ::close(outFd);
    ::close(errFd);
    ::unlink(outName);
    ::unlink(errName);
    return result;
}

} // namespace nk7x::test
