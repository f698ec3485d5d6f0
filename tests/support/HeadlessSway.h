// A real sway on its headless backend for the tests of the wlroots window tracking: started in a
// private runtime folder (as nobody when the test runs as root, which sway refuses), waited for,
// terminal windows (foot) with chosen app ids, swaymsg commands, and everything ended with the objects.
#pragma once

#include "support/Wait.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace nk7x::test {

inline constexpr uid_t kNobody = 65534; // sway refuses to run as root, so as root it runs as nobody

// An environment variable removed for the object's life.
class ScopedUnset {
  public:
    explicit ScopedUnset(const char* name) : m_name(name) {
        if (const char* old = std::getenv(name))
            m_old = old;
        ::unsetenv(name);
    }
    ~ScopedUnset() {
        if (m_old)
            ::setenv(m_name, m_old->c_str(), 1);
    }
    ScopedUnset(const ScopedUnset&) = delete;
    ScopedUnset& operator=(const ScopedUnset&) = delete;

  private:
    const char* m_name;
    std::optional<std::string> m_old;
};

// The full path of a program on PATH; empty when it is not there.
inline std::string FindProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "/usr/bin:/bin");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        const std::string candidate = (dir.empty() ? "." : dir) + "/" + name;
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return {};
}

inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

// A program started with its own environment and output file; ended (TERM, then waited for) with
// the object unless it has ended already.
class ChildProcess {
  public:
    // `env`: NAME=value entries added to this process's environment, after dropping `drop`.
    ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                 const std::vector<std::string>& drop, const std::filesystem::path& output,
                 std::optional<uid_t> runAs = {}) {
        std::vector<std::string> envStore;
        for (char** e = environ; *e; ++e) {
            const std::string entry = *e;
            const std::string name = entry.substr(0, entry.find('='));
            const bool replaced = std::any_of(
                env.begin(), env.end(), [&](const std::string& x) { return x.rfind(name + "=", 0) == 0; });
            if (!replaced && std::find(drop.begin(), drop.end(), name) == drop.end())
                envStore.push_back(entry);
        }
        envStore.insert(envStore.end(), env.begin(), env.end());
        std::vector<char*> args, envp;
        for (const std::string& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        for (std::string& e : envStore)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        const std::string out = output.string();
        const pid_t parent = ::getpid();
        // Only async-signal-safe calls between fork and exec: the test process has threads.
        m_pid = ::fork();
        if (m_pid == 0) {
            const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
            if (fd >= 0) {
                ::dup2(fd, STDOUT_FILENO);
                ::dup2(fd, STDERR_FILENO);
            }
            const int null = ::open("/dev/null", O_RDONLY);
            if (null >= 0)
                ::dup2(null, STDIN_FILENO);
            if (runAs && (::setgroups(0, nullptr) != 0 || ::setgid(*runAs) != 0 || ::setuid(*runAs) != 0))
                ::_exit(126);
            // Ended with the test even when it crashes (set after setuid, which would clear it).
            if (::prctl(PR_SET_PDEATHSIG, SIGTERM) != 0 || ::getppid() != parent)
                ::_exit(125);
            ::execve(args[0], args.data(), envp.data());
            ::_exit(127);
        }
        if (m_pid > 0)
            m_pidFd = static_cast<int>(::syscall(SYS_pidfd_open, m_pid, 0));
    }
    ~ChildProcess() {
        if (m_pid > 0 && !m_status) {
            ::kill(m_pid, SIGTERM);
            Wait(kWaitPatience);
            if (!m_status) {
                ::kill(m_pid, SIGKILL);
                Wait(kWaitPatience);
            }
        }
        if (m_pidFd >= 0)
            ::close(m_pidFd);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return m_pid > 0 && m_pidFd >= 0; }
    int PidFd() const { return m_pidFd; }
    // Waits up to `patience` for the end; its wait status, or nothing when it still runs.
    std::optional<int> Wait(std::chrono::milliseconds patience) {
        if (m_status || m_pid <= 0)
            return m_status;
        pollfd p{m_pidFd, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(patience.count())) <= 0)
            return {};
        int status = 0;
        if (::waitpid(m_pid, &status, 0) == m_pid)
            m_status = status;
        return m_status;
    }

  private:
    pid_t m_pid = -1;
    int m_pidFd = -1;
    std::optional<int> m_status;
};

// A sway on the headless backend in a private runtime folder, with no input devices and no X11.
class HeadlessSway {
  public:
    // The first of the programs these tests need that is not installed; empty when all are.
    static std::string MissingProgram() {
        for (const char* program : {"sway", "swaymsg", "foot"})
            if (FindProgram(program).empty())
                return program;
        return {};
    }

    HeadlessSway() {
        namespace fs = std::filesystem;
        std::string tmpl = (fs::temp_directory_path() / "nk7x-sway-XXXXXX").string();
        if (!::mkdtemp(tmpl.data()))
            return;
        m_dir = tmpl;
        ::chmod(m_dir.c_str(), 0700);
        const fs::path ready = m_dir / "ready";
        ::mkfifo(ready.c_str(), 0600);
        // sway runs `exec` lines once its Wayland and IPC sockets are listening, with both named in
        // the environment: the line below says so through the FIFO.
        std::ofstream(m_dir / "config")
            << "xwayland disable\n"
            << "output HEADLESS-1 resolution 800x600\n"
            << "exec printf '%s\\n%s\\n' \"$WAYLAND_DISPLAY\" \"$SWAYSOCK\" > " << ready.string() << "\n";
        std::optional<uid_t> runAs;
        if (::geteuid() == 0) {
            // Root still reaches the sockets nobody makes in the folder: it bypasses their permissions.
            runAs = kNobody;
            (void)!::chown(m_dir.c_str(), kNobody, kNobody);
            (void)!::chown(ready.c_str(), kNobody, kNobody);
            (void)!::chown((m_dir / "config").c_str(), kNobody, kNobody);
        }
        m_sway = std::make_unique<ChildProcess>(
            std::vector<std::string>{FindProgram("sway"), "-c", (m_dir / "config").string()},
            std::vector<std::string>{"XDG_RUNTIME_DIR=" + m_dir.string(), "WLR_BACKENDS=headless",
                                     "WLR_LIBINPUT_NO_DEVICES=1", "WLR_RENDERER=pixman",
                                     "HOME=" + m_dir.string()},
            std::vector<std::string>{"WAYLAND_DISPLAY", "WAYLAND_SOCKET", "DISPLAY", "SWAYSOCK", "I3SOCK"},
            m_dir / "sway.log", runAs);
    }
    ~HeadlessSway() {
        m_sway.reset();
        std::error_code ec;
        if (!m_dir.empty())
            std::filesystem::remove_all(m_dir, ec);
    }
    HeadlessSway(const HeadlessSway&) = delete;
    HeadlessSway& operator=(const HeadlessSway&) = delete;

    // Waits until sway is ready; false (with its output in `why`) when it ends or takes too long.
    bool WaitReady(std::string* why) {
        if (!m_sway || !m_sway->Started()) {
            *why = "sway could not be started";
            return false;
        }
        const int fifo = ::open((m_dir / "ready").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        std::string got;
        const auto deadline = std::chrono::steady_clock::now() + kWaitPatience;
        while (std::count(got.begin(), got.end(), '\n') < 2) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd fds[2] = {{fifo, POLLIN, 0}, {m_sway->PidFd(), POLLIN, 0}};
            if (left.count() <= 0 || ::poll(fds, 2, static_cast<int>(left.count())) <= 0) {
                *why = "sway was not ready within " + std::to_string(kWaitPatience.count() / 1000) + " s:\n" +
                       Log();
                break;
            }
            if (fds[1].revents) {
                *why = "sway ended at once:\n" + Log();
                break;
            }
            char buf[512];
            const ssize_t n = ::read(fifo, buf, sizeof buf);
            if (n > 0) {
                got.append(buf, static_cast<size_t>(n));
            } else if (n == 0) {
                *why = "sway's ready line was cut short (\"" + got + "\"):\n" + Log();
                break;
            }
        }
        ::close(fifo);
        std::stringstream lines(got);
        std::getline(lines, m_display);
        std::getline(lines, m_swaySock);
        return !m_display.empty() && !m_swaySock.empty();
    }

    // The runtime folder, which holds sway's sockets and every log.
    const std::filesystem::path& Dir() const { return m_dir; }
    // The Wayland display's name in Dir(), and its full path for a client with a runtime folder of its own.
    const std::string& Display() const { return m_display; }
    std::string DisplayPath() const { return (m_dir / m_display).string(); }
    const std::string& SwaySock() const { return m_swaySock; }
    std::string Log() const { return ReadFile(m_dir / "sway.log"); }

    // A terminal window with the given app id (and title), running nothing but a long sleep.
    std::unique_ptr<ChildProcess> Terminal(const std::string& appId) const {
        return std::make_unique<ChildProcess>(
            std::vector<std::string>{FindProgram("foot"), "--app-id=" + appId, "--title=" + appId, "--",
                                     "sleep", "60"},
            std::vector<std::string>{"WAYLAND_DISPLAY=" + m_display, "XDG_RUNTIME_DIR=" + m_dir.string(),
                                     "LC_ALL=C.UTF-8"},
            std::vector<std::string>{"WAYLAND_SOCKET", "DISPLAY"}, m_dir / (appId + ".log"));
    }
    std::string TerminalLog(const std::string& appId) const { return ReadFile(m_dir / (appId + ".log")); }

    // Runs swaymsg with `command`; its exit status (-1 when it did not end) and output in `out`.
    int Msg(const std::string& command, std::string* out) const {
        const std::filesystem::path log = m_dir / "swaymsg.log";
        ChildProcess msg({FindProgram("swaymsg"), command}, {"SWAYSOCK=" + m_swaySock}, {"I3SOCK"}, log);
        const std::optional<int> status = msg.Wait(kWaitPatience);
        *out = ReadFile(log);
        return status && WIFEXITED(*status) ? WEXITSTATUS(*status) : -1;
    }

    // Focuses the window of `appId` once it is there (sway refuses the command until then); false
    // with swaymsg's last answer in `why` when it does not come.
    bool FocusWhenOpen(const std::string& appId, std::string* why) const {
        const auto deadline = std::chrono::steady_clock::now() + kWaitPatience;
        for (;;) {
            if (Msg("[app_id=\"" + appId + "\"] focus", why) == 0)
                return true;
            if (std::chrono::steady_clock::now() >= deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }

  private:
    std::filesystem::path m_dir;
    std::unique_ptr<ChildProcess> m_sway;
    std::string m_display;
    std::string m_swaySock;
};

} // namespace nk7x::test
