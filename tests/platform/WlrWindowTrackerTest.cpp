// The wlroots window tracking against a real sway on its headless backend, with two terminal windows
// (foot) of different app ids: the window in front is reported as windows appear and as focus moves
// (timed), OpenApps lists both, Stop ends the calls. Also why Start fails without a display or with a
// compositor that lists no windows, and the executable name of a process.
#include "platform/linux/WlrWindowTracker.h"

#include "support/HeadlessSway.h"
#include "support/TestSupport.h"
#include "support/Wait.h"

#include <gtest/gtest.h>
#include <wayland-server-core.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using namespace nk7x;
using test::FindProgram;
using test::HeadlessSway;
using test::ReadFile;
using test::ScopedUnset;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

constexpr auto kPatience = 10s;    // for what is due: never waited out when all is well
constexpr auto kSwitchDue = 100ms; // from the focus command's return to the report
constexpr auto kStopDue = 500ms;

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
    if (const std::string missing = HeadlessSway::MissingProgram(); !missing.empty())
        GTEST_SKIP() << missing << " is not installed (scripts/install-deps.sh installs it)";
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
