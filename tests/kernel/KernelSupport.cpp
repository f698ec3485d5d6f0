#include "kernel/KernelSupport.h"

#include <fcntl.h>
#include <libudev.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "tools/sim/SimUsbGadget.h"

#include <gtest/gtest.h>

extern char** environ;

namespace nk7x::test {

namespace {

// The hidraw node whose USB device has `serial` and whose interface is `interfaceNumber`.
HostNode FindHostNode(const std::string& serial, int interfaceNumber) {
    HostNode found;
    udev* u = udev_new();
    if (!u)
        return found;
    udev_enumerate* e = udev_enumerate_new(u);
    udev_enumerate_add_match_subsystem(e, "hidraw");
    udev_enumerate_scan_devices(e);
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(e)) {
        udev_device* d = udev_device_new_from_syspath(u, udev_list_entry_get_name(entry));
        if (!d)
            continue;
        udev_device* usb = udev_device_get_parent_with_subsystem_devtype(d, "usb", "usb_device");
        udev_device* itf = udev_device_get_parent_with_subsystem_devtype(d, "usb", "usb_interface");
        const char* s = usb ? udev_device_get_sysattr_value(usb, "serial") : nullptr;
        const char* n = itf ? udev_device_get_sysattr_value(itf, "bInterfaceNumber") : nullptr;
        const char* node = udev_device_get_devnode(d);
        if (s && n && node && serial == s && std::strtol(n, nullptr, 16) == interfaceNumber) {
            struct stat st {};
            if (::stat(node, &st) == 0) {
                found.node = node;
                found.syspath = udev_device_get_syspath(d);
            }
        }
        udev_device_unref(d);
        if (!found.node.empty())
            break;
    }
    udev_enumerate_unref(e);
    udev_unref(u);
    return found;
}

} // namespace

std::string KernelTestObstacle() {
    if (::geteuid() != 0)
        return "the kernel tests run as root inside the test machine (tests/kernel/run-guest.sh)";
    std::string why;
    if (!SimUsbGadget::Available(&why))
        return why;
    return {};
}

std::unique_ptr<SimDevice> PlugGadget(const std::string& simFolder, SimKind kind, const std::string& name,
                                      const std::string& faults) {
    SimOptions o;
    o.folder = simFolder;
    o.kind = kind;
    o.name = name;
    o.usbGadget = true;
    o.faults = faults;
    auto device = std::make_unique<SimDevice>(o);
    if (device->Start() != 1) {
        ADD_FAILURE() << "cannot plug in the " << SimKindName(kind) << ": " << device->LastError();
        return nullptr;
    }
    return device;
}

HostNode WaitForHostNode(const std::string& serial, int interfaceNumber, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        HostNode n = FindHostNode(serial, interfaceNumber);
        if (!n.node.empty() || std::chrono::steady_clock::now() >= deadline)
            return n;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

bool WaitForHostGone(const std::string& serial, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (FindHostNode(serial, 0).node.empty() && FindHostNode(serial, 1).node.empty())
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

RunResult RunProgram(const std::string& name, const std::vector<std::string>& args,
                     std::chrono::milliseconds timeout) {
    RunResult result;
    const std::string binary = name.rfind('/', 0) == 0 ? name : std::string(NK7X_BINARY_DIR) + "/bin/" + name;
    int outPipe[2], errPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0 || ::pipe2(errPipe, O_CLOEXEC) != 0)
        return result;
    std::vector<std::string> store{binary};
    store.insert(store.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : store)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(outPipe[1], 1);
        ::dup2(errPipe[1], 2);
        ::execve(binary.c_str(), argv.data(), environ);
        ::_exit(127);
    }
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    int open = 2;
    bool killed = false;
    while (open > 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            ::kill(pid, SIGKILL);
            killed = true;
            break;
        }
        if (::poll(fds, 2, static_cast<int>(left.count())) < 0)
            continue;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0)
                continue;
            char buf[4096];
            const ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
            if (n > 0) {
                (i == 0 ? result.out : result.err).append(buf, static_cast<size_t>(n));
            } else {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    for (pollfd& f : fds) {
        if (f.fd >= 0)
            ::close(f.fd);
    }
    int status = 0;
    if (::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && !killed)
        result.status = WEXITSTATUS(status);
    if (killed)
        result.err += "\n(killed after " + std::to_string(timeout.count()) + " ms)";
    return result;
}

std::string Hex(const std::vector<uint8_t>& bytes) {
    std::string s;
    char b[4];
    for (size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(b, sizeof b, "%02x", bytes[i]);
        if (i)
            s += ' ';
        s += b;
    }
    return s;
}

} // namespace nk7x::test
