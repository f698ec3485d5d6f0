// Hot-plug announcements on Linux: the device manager's monitor for hidraw, inotify for the
// emulator's folder. Both are non-blocking descriptors that the owner polls.
#include "platform/HotplugWatcher.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <libudev.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace nk7x {

namespace {

constexpr const char* kSocketSuffix = ".sock";

// Only the socket file stands for an emulated interface: the files beside it are written before it
// appears and removed after it has gone. A change of its mode is a change of access.
constexpr uint32_t kFolderEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ATTRIB |
                                   IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
// While the folder is missing, its parent tells when it is made (or moved into place).
constexpr uint32_t kParentEvents = IN_CREATE | IN_MOVED_TO | IN_ONLYDIR;

bool EndsWith(const char* name, const char* suffix) {
    const size_t n = std::strlen(name);
    const size_t s = std::strlen(suffix);
    return n >= s && std::strcmp(name + n - s, suffix) == 0;
}

// A node added or removed; "change" is what re-applying the rules (after installing the permission
// rule) produces, so an interface refused before is tried again at once.
bool IsPlugAction(const char* action) {
    return action != nullptr && (std::strcmp(action, "add") == 0 || std::strcmp(action, "remove") == 0 ||
                                 std::strcmp(action, "change") == 0);
}

std::string WithoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

class LinuxHotplugWatcher final : public IHotplugWatcher {
  public:
    LinuxHotplugWatcher(const HotplugSources& sources, std::string* why) {
        std::string reasons;
        if (sources.hidraw && !OpenMonitor())
            reasons = "the device manager's monitor could not be opened";
        if (!sources.emulatorFolder.empty()) {
            m_folder = WithoutTrailingSlashes(sources.emulatorFolder);
            const size_t slash = m_folder.rfind('/');
            m_parent = slash == std::string::npos ? "." : (slash == 0 ? "/" : m_folder.substr(0, slash));
            m_leaf = slash == std::string::npos ? m_folder : m_folder.substr(slash + 1);
            m_inotify = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
            if (m_inotify < 0) {
                if (!reasons.empty())
                    reasons += "; ";
                reasons += std::string("the emulator's folder cannot be watched: ") + std::strerror(errno);
            } else {
                WatchFolder();
            }
        }
        m_ready = reasons.empty();
        if (why)
            *why = reasons;
    }

    ~LinuxHotplugWatcher() override {
        if (m_monitor)
            udev_monitor_unref(m_monitor);
        if (m_udev)
            udev_unref(m_udev);
        if (m_inotify >= 0)
            ::close(m_inotify);
    }

    LinuxHotplugWatcher(const LinuxHotplugWatcher&) = delete;
    LinuxHotplugWatcher& operator=(const LinuxHotplugWatcher&) = delete;

    bool Ready() const override { return m_ready; }

    std::vector<int> Fds() const override {
        std::vector<int> fds;
        if (m_monitor)
            fds.push_back(udev_monitor_get_fd(m_monitor));
        if (m_inotify >= 0)
            fds.push_back(m_inotify);
        return fds;
    }

    bool Drain() override {
        const bool devices = DrainMonitor();
        const bool folder = DrainFolder();
        return devices || folder;
    }

    bool Retry() override { return m_inotify >= 0 && m_folderWatch < 0 && WatchFolder(); }

  private:
    bool OpenMonitor() {
        m_udev = udev_new();
        if (!m_udev)
            return false;
        // "udev", not "kernel": the node is announced once its rules (permissions) have been applied.
        m_monitor = udev_monitor_new_from_netlink(m_udev, "udev");
        if (!m_monitor || udev_monitor_filter_add_match_subsystem_devtype(m_monitor, "hidraw", nullptr) < 0 ||
            udev_monitor_enable_receiving(m_monitor) < 0) {
            if (m_monitor)
                udev_monitor_unref(m_monitor);
            m_monitor = nullptr;
            return false;
        }
        return true;
    }

    bool DrainMonitor() {
        if (!m_monitor)
            return false;
        bool plugged = false;
        for (;;) {
            errno = 0;
            udev_device* dev = udev_monitor_receive_device(m_monitor);
            if (!dev) {
                // An overflowing socket drops announcements: whatever they were, look again.
                if (errno == ENOBUFS)
                    plugged = true;
                break;
            }
            plugged |= IsPlugAction(udev_device_get_action(dev));
            udev_device_unref(dev);
        }
        return plugged;
    }

    // Watches the folder, or its parent while the folder is missing. True when the folder became
    // watched.
    bool WatchFolder() {
        if (AddFolderWatch())
            return true;
        if (m_parentWatch < 0) {
            m_parentWatch = ::inotify_add_watch(m_inotify, m_parent.c_str(), kParentEvents);
            // The folder may have been made between the two calls.
            if (m_parentWatch >= 0)
                return AddFolderWatch();
        }
        return false;
    }

    bool AddFolderWatch() {
        const int wd = ::inotify_add_watch(m_inotify, m_folder.c_str(), kFolderEvents);
        if (wd < 0)
            return false;
        m_folderWatch = wd;
        if (m_parentWatch >= 0)
            ::inotify_rm_watch(m_inotify, m_parentWatch); // its IN_IGNORED is dropped as unknown
        m_parentWatch = -1;
        return true;
    }

    bool DrainFolder() {
        if (m_inotify < 0)
            return false;
        bool plugged = false;
        bool folderGone = false;
        bool parentSaw = false;
        alignas(inotify_event) char buffer[4096];
        for (;;) {
            const ssize_t n = ::read(m_inotify, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= n;) {
                const auto* ev = reinterpret_cast<const inotify_event*>(buffer + at);
                at += static_cast<ssize_t>(sizeof(inotify_event) + ev->len);
                const char* name = ev->len > 0 ? ev->name : "";
                if (ev->mask & IN_Q_OVERFLOW) {
                    plugged = true;
                } else if (ev->wd == m_folderWatch && m_folderWatch >= 0) {
                    if (ev->mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED | IN_UNMOUNT))
                        folderGone = true;
                    else if (EndsWith(name, kSocketSuffix))
                        plugged = true;
                } else if (ev->wd == m_parentWatch && m_parentWatch >= 0) {
                    if (ev->mask & IN_IGNORED)
                        m_parentWatch = -1; // the parent went too: the safety net tries again
                    else if (m_leaf == name)
                        parentSaw = true;
                }
            }
        }
        if (folderGone) {
            // Every socket in it went with it. A moved folder keeps its watch: drop it.
            ::inotify_rm_watch(m_inotify, m_folderWatch);
            m_folderWatch = -1;
            plugged = true;
        }
        if ((folderGone || parentSaw) && m_folderWatch < 0 && WatchFolder())
            plugged = true; // it may hold sockets already
        return plugged;
    }

    udev* m_udev = nullptr;
    udev_monitor* m_monitor = nullptr;
    int m_inotify = -1;
    std::string m_folder, m_parent, m_leaf;
    int m_folderWatch = -1;
    int m_parentWatch = -1;
    bool m_ready = true;
};

} // namespace

HotplugSources DefaultHotplugSources() {
    HotplugSources s;
    const char* simDir = std::getenv("NK7X_SIM_DIR");
    if (simDir != nullptr && *simDir != '\0')
        s.emulatorFolder = simDir;
    return s;
}

std::unique_ptr<IHotplugWatcher> OpenHotplugWatcher(const HotplugSources& sources, std::string* why) {
    return std::make_unique<LinuxHotplugWatcher>(sources, why);
}

} // namespace nk7x
