// The wlroots window tracking against a real sway on its headless backend, with two terminal windows
// (foot) of different app ids: the window in front is reported as windows appear and as focus moves
// (timed), OpenApps lists both, Stop ends the calls. Also why Start fails without a display or with a
// compositor that lists no windows, and the executable name of a process.
#include "platform/linux/WlrWindowTracker.h"

#include "support/TestSupport.h"
#include "support/Wait.h"

#include <gtest/gtest.h>
#include <wayland-server-core.h>

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;
using namespace nk7x;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

constexpr auto kPatience = 10s;    // for what is due: never waited out when all is well
constexpr auto kSwitchDue = 100ms; // from the focus command's return to the report
constexpr auto kStopDue = 500ms;
constexpr uid_t kNobody = 65534; // sway refuses to run as root, so as root it runs as nobody

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
std::string FindProgram(const std::string& name) {
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

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

// A program started with its own environment and output file; ended (TERM, then waited for) with
// the object unless it has ended already.
class Child {
  public:
    // `env`: NAME=value entries added to this process's environment, after dropping `drop`.
    Child(const std::vector<std::string>& argv, const std::vector<std::string>& env,
          const std::vector<std::string>& drop, const fs::path& output, std::optional<uid_t> runAs = {}) {
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
    ~Child() {
        if (m_pid > 0 && !m_status) {
            ::kill(m_pid, SIGTERM);
            Wait(kPatience);
            if (!m_status) {
                ::kill(m_pid, SIGKILL);
                Wait(kPatience);
            }
        }
        if (m_pidFd >= 0)
            ::close(m_pidFd);
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

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
    HeadlessSway() {
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
            runAs = kNobody;
            (void)!::chown(m_dir.c_str(), kNobody, kNobody);
            (void)!::chown(ready.c_str(), kNobody, kNobody);
            (void)!::chown((m_dir / "config").c_str(), kNobody, kNobody);
        }
        m_sway = std::make_unique<Child>(
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
            fs::remove_all(m_dir, ec);
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
        const auto deadline = Clock::now() + kPatience;
        while (std::count(got.begin(), got.end(), '\n') < 2) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            pollfd fds[2] = {{fifo, POLLIN, 0}, {m_sway->PidFd(), POLLIN, 0}};
            if (left.count() <= 0 || ::poll(fds, 2, static_cast<int>(left.count())) <= 0) {
                *why = "sway was not ready within " + std::to_string(kPatience.count()) + " s:\n" + Log();
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

    const fs::path& Dir() const { return m_dir; }
    const std::string& Display() const { return m_display; }
    const std::string& SwaySock() const { return m_swaySock; }
    std::string Log() const { return ReadFile(m_dir / "sway.log"); }

    // A terminal window with the given app id, running nothing but a long sleep.
    std::unique_ptr<Child> Terminal(const std::string& appId) const {
        return std::make_unique<Child>(
            std::vector<std::string>{FindProgram("foot"), "--app-id=" + appId, "--title=" + appId, "--",
                                     "sleep", "60"},
            std::vector<std::string>{"WAYLAND_DISPLAY=" + m_display, "XDG_RUNTIME_DIR=" + m_dir.string(),
                                     "LC_ALL=C.UTF-8"},
            std::vector<std::string>{"WAYLAND_SOCKET", "DISPLAY"}, m_dir / (appId + ".log"));
    }

    // Runs swaymsg with `command`; its exit status (-1 when it did not end) and output in `out`.
    int Msg(const std::string& command, std::string* out) const {
        const fs::path log = m_dir / "swaymsg.log";
        Child msg({FindProgram("swaymsg"), command}, {"SWAYSOCK=" + m_swaySock}, {"I3SOCK"}, log);
        const std::optional<int> status = msg.Wait(kPatience);
        *out = ReadFile(log);
        return status && WIFEXITED(*status) ? WEXITSTATUS(*status) : -1;
    }

  private:
    fs::path m_dir;
    std::unique_ptr<Child> m_sway;
    std::string m_display;
    std::string m_swaySock;
};

// Every listener call with the time it came.
class Recorder {
  public:
    IWindowTracker::Listener Listener() {
        return [this](const ActiveApp& app) {
            const auto now = Clock::now();
            std::lock_guard lock(m_mutex);
            m_calls.push_back({app, now});
            m_changed.notify_all();
        };
    }
    // Waits until the latest call names `appId`; when it came.
    std::optional<Clock::time_point> WaitFor(const std::string& appId) {
        std::unique_lock lock(m_mutex);
        if (!m_changed.wait_for(lock, kPatience,
                                [&] { return !m_calls.empty() && m_calls.back().app.appId == appId; }))
            return {};
        return m_calls.back().at;
    }
    size_t Count() {
        std::lock_guard lock(m_mutex);
        return m_calls.size();
    }
    std::vector<ActiveApp> Apps() {
        std::lock_guard lock(m_mutex);
        std::vector<ActiveApp> apps;
        for (const Call& c : m_calls)
            apps.push_back(c.app);
        return apps;
    }

  private:
    struct Call {
        ActiveApp app;
        Clock::time_point at;
    };
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Call> m_calls;
};

std::vector<std::string> AppIds(const std::vector<ActiveApp>& apps) {
    std::vector<std::string> ids;
    for (const ActiveApp& a : apps)
        ids.push_back(a.appId);
    std::sort(ids.begin(), ids.end());
    return ids;
}

bool SameTwiceInARow(const std::vector<ActiveApp>& calls) {
    return std::adjacent_find(calls.begin(), calls.end()) != calls.end();
}

double Milliseconds(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// A Wayland display with no globals at all, as a compositor without window lists looks to a client.
class BareDisplay {
  public:
    explicit BareDisplay(const fs::path& runtimeDir) {
        test::ScopedEnv runtime("XDG_RUNTIME_DIR", runtimeDir.string());
        m_display = wl_display_create();
        m_ok = m_display && wl_display_add_socket(m_display, "nk7x-bare") == 0;
        m_quitFd = ::eventfd(0, EFD_CLOEXEC);
        wl_event_loop* loop = wl_display_get_event_loop(m_display);
        m_quitSource = wl_event_loop_add_fd(
            loop, m_quitFd, WL_EVENT_READABLE,
            [](int, uint32_t, void* quit) {
                *static_cast<bool*>(quit) = true;
                return 0;
            },
            &m_quit);
        m_thread = std::thread([this, loop] {
            while (!m_quit) {
                wl_event_loop_dispatch(loop, -1);
                wl_display_flush_clients(m_display);
            }
        });
    }
    ~BareDisplay() {
        const uint64_t one = 1;
        (void)!::write(m_quitFd, &one, sizeof one);
        m_thread.join();
        wl_event_source_remove(m_quitSource);
        wl_display_destroy(m_display);
        ::close(m_quitFd);
    }
    BareDisplay(const BareDisplay&) = delete;
    BareDisplay& operator=(const BareDisplay&) = delete;
    bool Ok() const { return m_ok; }

  private:
    wl_display* m_display = nullptr;
    bool m_ok = false;
    int m_quitFd = -1;
    wl_event_source* m_quitSource = nullptr;
    bool m_quit = false; // touched by the server thread only
    std::thread m_thread;
};

} // namespace

TEST(WlrWindowTrackerTest, FollowsTheFocusInHeadlessSway) {
    for (const char* program : {"sway", "swaymsg", "foot"})
        if (FindProgram(program).empty())
            GTEST_SKIP() << program << " is not installed (scripts/install-deps.sh installs it)";
    HeadlessSway sway;
    ASSERT_FALSE(sway.Dir().empty()) << "no temporary folder";
    std::string why;
    ASSERT_TRUE(sway.WaitReady(&why)) << why;
    test::ScopedEnv display("WAYLAND_DISPLAY", sway.Display());
    test::ScopedEnv runtime("XDG_RUNTIME_DIR", sway.Dir().string());
    ScopedUnset socket("WAYLAND_SOCKET");

    // A tracker from before any window: nothing in front yet, then each new window as it takes the focus.
    WlrWindowTracker early;
    EXPECT_EQ(early.Kind(), TrackerKind::Wlroots);
    EXPECT_EQ(early.Name(), "wlroots");
    Recorder earlyCalls;
    ASSERT_TRUE(early.Start(earlyCalls.Listener(), &why)) << why;
    EXPECT_TRUE(early.OpenApps().empty());
    const auto one = sway.Terminal("nk7x-test-one");
    ASSERT_TRUE(earlyCalls.WaitFor("nk7x-test-one"))
        << "the first window was not reported\n"
        << sway.Log() << ReadFile(sway.Dir() / "nk7x-test-one.log");
    const auto two = sway.Terminal("nk7x-test-two");
    ASSERT_TRUE(earlyCalls.WaitFor("nk7x-test-two"))
        << "the second window was not reported\n"
        << sway.Log() << ReadFile(sway.Dir() / "nk7x-test-two.log");

    // A tracker started with both windows there: both listed as Start returns, the focused one
    // reported at once.
    WlrWindowTracker late;
    Recorder lateCalls;
    ASSERT_TRUE(late.Start(lateCalls.Listener(), &why)) << why;
    const std::vector<ActiveApp> open = late.OpenApps();
    EXPECT_EQ(AppIds(open), (std::vector<std::string>{"nk7x-test-one", "nk7x-test-two"}));
    for (const ActiveApp& app : open) {
        EXPECT_EQ(app.title, app.appId); // the terminals are titled after their app ids
        EXPECT_EQ(app.pid, 0);
        EXPECT_EQ(app.executable, "");
    }
    ASSERT_TRUE(lateCalls.WaitFor("nk7x-test-two"));
    // One that stops from its own listener: no second call, and no hang when it is destroyed.
    auto selfStopping = std::make_unique<WlrWindowTracker>();
    Recorder selfStoppingCalls;
    ASSERT_TRUE(selfStopping->Start(
        [self = selfStopping.get(), record = selfStoppingCalls.Listener()](const ActiveApp& app) {
            record(app);
            self->Stop();
        },
        &why))
        << why;
    ASSERT_TRUE(selfStoppingCalls.WaitFor("nk7x-test-two"));
    ActiveApp front;
    front.appId = front.title = "nk7x-test-two";
    EXPECT_EQ(lateCalls.Apps().front(), front);

    // Focus moved by the compositor's own command: reported within the time allowed.
    std::string reply;
    const auto sent = Clock::now();
    ASSERT_EQ(sway.Msg("[app_id=\"nk7x-test-one\"] focus", &reply), 0) << reply;
    const auto returned = Clock::now();
    const auto reported = lateCalls.WaitFor("nk7x-test-one");
    ASSERT_TRUE(reported) << "the focus change was not reported";
    // Negative when the report came before swaymsg had even been seen to end.
    const double latency = Milliseconds(*reported - returned);
    std::cout << "[ latency  ] focus change reported " << latency << " ms after swaymsg returned ("
              << Milliseconds(*reported - sent) << " ms after it was started)\n";
    ::testing::Test::RecordProperty("focus_report_latency_ms", std::to_string(latency));
    EXPECT_LE(*reported - returned, kSwitchDue);
    EXPECT_TRUE(earlyCalls.WaitFor("nk7x-test-one"));
    EXPECT_EQ(selfStoppingCalls.Count(), 1u);
    selfStopping.reset();

    // Stop is prompt and ends the calls: the focus moves back, the other tracker sees it, this one not.
    const auto stopAt = Clock::now();
    early.Stop();
    EXPECT_LT(Clock::now() - stopAt, kStopDue);
    const size_t earlyCount = earlyCalls.Count();
    EXPECT_TRUE(early.OpenApps().empty());
    ASSERT_EQ(sway.Msg("[app_id=\"nk7x-test-two\"] focus", &reply), 0) << reply;
    ASSERT_TRUE(lateCalls.WaitFor("nk7x-test-two"));
    EXPECT_EQ(earlyCalls.Count(), earlyCount);

    // A window that closes leaves the list.
    ASSERT_EQ(sway.Msg("[app_id=\"nk7x-test-one\"] kill", &reply), 0) << reply;
    EXPECT_TRUE(
        test::WaitUntil([&] { return AppIds(late.OpenApps()) == std::vector<std::string>{"nk7x-test-two"}; },
                        std::chrono::duration_cast<std::chrono::milliseconds>(kPatience)));

    const auto lateStopAt = Clock::now();
    late.Stop();
    EXPECT_LT(Clock::now() - lateStopAt, kStopDue);
    EXPECT_FALSE(SameTwiceInARow(earlyCalls.Apps()));
    EXPECT_FALSE(SameTwiceInARow(lateCalls.Apps()));
}

TEST(WlrWindowTrackerTest, SaysWhyItCannotStart) {
    std::string tmpl = (fs::temp_directory_path() / "nk7x-wl-XXXXXX").string();
    ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
    const fs::path dir = tmpl;
    test::ScopedEnv runtime("XDG_RUNTIME_DIR", dir.string());
    ScopedUnset socket("WAYLAND_SOCKET");
    Recorder calls;
    std::string why;
    {
        ScopedUnset unset("WAYLAND_DISPLAY");
        WlrWindowTracker tracker;
        EXPECT_FALSE(tracker.Start(calls.Listener(), &why));
        EXPECT_EQ(why, "no Wayland display (WAYLAND_DISPLAY is not set)");
    }
    {
        test::ScopedEnv display("WAYLAND_DISPLAY", "nk7x-nothing-here");
        WlrWindowTracker tracker;
        EXPECT_FALSE(tracker.Start(calls.Listener(), &why));
        EXPECT_EQ(why, "no Wayland display (nk7x-nothing-here cannot be connected)");
    }
    {
        BareDisplay bare(dir);
        ASSERT_TRUE(bare.Ok());
        test::ScopedEnv display("WAYLAND_DISPLAY", "nk7x-bare");
        WlrWindowTracker tracker;
        EXPECT_FALSE(tracker.Start(calls.Listener(), &why));
        EXPECT_EQ(why, "this Wayland compositor does not tell other programs which window is active (no "
                       "foreign-toplevel management)");
        EXPECT_TRUE(tracker.OpenApps().empty());
        tracker.Stop(); // harmless after a failed Start
    }
    EXPECT_EQ(calls.Count(), 0u);
    std::error_code ec;
    fs::remove_all(dir, ec);
}

TEST(ExecutableOfPidTest, NamesTheProgramOfAProcess) {
    EXPECT_EQ(ExecutableOfPid(::getpid()), "test_platform");
    EXPECT_EQ(ExecutableOfPid(0), "");
    EXPECT_EQ(ExecutableOfPid(-5), "");

    // Another program, once it runs: the pipe's write end closes with the exec.
    const std::string sleepPath = FindProgram("sleep");
    ASSERT_FALSE(sleepPath.empty());
    int execed[2];
    ASSERT_EQ(::pipe2(execed, O_CLOEXEC), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        ::execl(sleepPath.c_str(), "sleep", "30", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ASSERT_GT(child, 0);
    ::close(execed[1]);
    char byte;
    EXPECT_EQ(::read(execed[0], &byte, 1), 0);
    ::close(execed[0]);
    EXPECT_EQ(ExecutableOfPid(child), "sleep");
    // Once ended and reaped, it has no entry.
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    EXPECT_EQ(ExecutableOfPid(child), "");
}
