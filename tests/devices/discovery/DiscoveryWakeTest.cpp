// Discovery woken by hot-plug announcements: no pass between announcements but the safety net's, a
// burst costs one pass, failures that may pass are retried soon, and without announcements it falls
// back to the fixed interval. Then the real watcher on the emulator's folder: plug-in, unplug and a
// waiting second keyboard are seen long before the safety net would see them.
#include "devices/discovery/DiscoveryThread.h"
#include "devices/discovery/InterfaceProbe.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <map>
#include <thread>
#include <unistd.h>

#include "devices/discovery/DiscoveryTestSupport.h"
#include "tools/sim/SimDevice.h"

using namespace nk7x;
using namespace nk7x::test;
using namespace std::chrono_literals;

namespace {

constexpr auto kPatience = 3000ms;   // generous: the machine is shared and may run sanitizers
constexpr auto kQuiet = 500ms;       // how long a thread that must not pass is watched
constexpr auto kLongSafetyNet = 10s; // longer than any wait below: only an announcement explains a pass

const std::string kCommandPath = "hid#vid_0c45&pid_0820&mi_01&col04#/dev/hidraw7";
const std::string kNotifyPath = "hid#vid_0c45&pid_0820&mi_01&col03#/dev/hidraw7";

// Announcements written by the test into a pipe: 'p' is a plug, anything else noise.
class PipeWatcher final : public IHotplugWatcher {
  public:
    explicit PipeWatcher(bool ready) : m_ready(ready) {
        int fds[2] = {-1, -1};
        if (::pipe2(fds, O_NONBLOCK | O_CLOEXEC) == 0) {
            m_read = fds[0];
            m_write = fds[1];
        }
    }
    ~PipeWatcher() override {
        ::close(m_read);
        ::close(m_write);
    }
    bool Ready() const override { return m_ready; }
    std::vector<int> Fds() const override { return {m_read}; }
    bool Drain() override {
        drains.fetch_add(1);
        bool plug = false;
        char buf[64];
        for (ssize_t n; (n = ::read(m_read, buf, sizeof buf)) > 0;) {
            for (ssize_t i = 0; i < n; ++i)
                plug |= buf[i] == 'p';
        }
        return plug;
    }
    bool Retry() override {
        retries.fetch_add(1);
        return false;
    }

    // One write per announcement, as a keyboard's interfaces come one by one.
    void Announce(int count = 1) {
        for (int i = 0; i < count; ++i)
            ASSERT_EQ(::write(m_write, "p", 1), 1);
    }
    void Noise() { ASSERT_EQ(::write(m_write, "n", 1), 1); }

    std::atomic<int> retries{0};
    std::atomic<int> drains{0};

  private:
    bool m_ready;
    int m_read = -1;
    int m_write = -1;
};

// The keyboard's two collections on one hidraw node, with switches for what can go wrong.
class KeyboardProbe final : public IInterfaceProbe {
  public:
    std::atomic<bool> listed{true};
    std::atomic<bool> openFails{false};        // a node not set up yet
    std::atomic<bool> permissionDenied{false}; // no rule for it yet

    int EnumeratePaths(std::vector<std::string>& paths) override {
        paths.clear();
        if (listed.load())
            paths = {kNotifyPath, kCommandPath};
        return 1;
    }
    HidOpenError OpenProbe(const std::string& path, ProbedInterface& out) override {
        if (openFails.load())
            return HidOpenError::Other;
        if (permissionDenied.load())
            return HidOpenError::PermissionDenied;
        out.vendorId = 0x0C45;
        out.productId = 0x0820;
        out.usagePage = path == kCommandPath ? 0xFF1C : 0x000C;
        out.usage = path == kCommandPath ? 0x0092 : 0x0001;
        return HidOpenError::None;
    }
    void CloseProbe() override {}
    bool IsPresent(const std::string&) override { return listed.load(); }
};

struct WakeRig {
    CSlotList slots;
    RecordingSink sink;
    KeyboardProbe* probe = nullptr;
    PipeWatcher* wake = nullptr;
    std::unique_ptr<CDiscoveryThread> thread;

    explicit WakeRig(DiscoveryPacing pacing, bool ready = true) {
        auto p = std::make_unique<KeyboardProbe>();
        p->listed = false;
        probe = p.get();
        auto w = std::make_unique<PipeWatcher>(ready);
        wake = w.get();
        thread = std::make_unique<CDiscoveryThread>(slots, sink, std::move(p), std::move(w), pacing);
        sink.thread = thread.get();
        sink.slots = &slots;
    }
    ~WakeRig() { thread->Stop(); }
};

DiscoveryPacing Pacing(std::chrono::milliseconds safetyNet, std::chrono::milliseconds settle = 20ms,
                       std::chrono::milliseconds fallback = kDiscoveryPassInterval) {
    DiscoveryPacing p;
    p.safetyNet = safetyNet;
    p.settle = settle;
    p.fallback = fallback;
    return p;
}

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// Waits until the thread has made no pass for `quiet`; false when it still passed after `limit`.
bool WaitUntilQuiet(const CDiscoveryThread& thread, std::chrono::milliseconds quiet,
                    std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (!WaitForPass(thread, thread.PassCount() + 1, quiet))
            return true;
    }
    return false;
}

long long MsSince(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t)
        .count();
}

} // namespace

TEST(DiscoveryWake, AnIdleThreadPassesOnlyWhenAnnouncedAndABurstCostsOnePass) {
    // A long settle, so that the burst below is one burst however slowly this thread writes it.
    WakeRig rig(Pacing(kLongSafetyNet, 200ms));
    ASSERT_TRUE(rig.thread->Start());
    ASSERT_TRUE(rig.thread->WaitForFirstScan(kPatience));
    EXPECT_TRUE(rig.thread->WaitsForAnnouncements());
    EXPECT_FALSE(WaitForPass(*rig.thread, 2, kQuiet)) << "a pass without an announcement";
    EXPECT_EQ(rig.thread->PassCount(), 1u);
    EXPECT_EQ(rig.thread->ListingCount(), 1u);

    // The first announcement of the burst wakes the thread; the rest come while it waits for them.
    const int drained = rig.wake->drains.load();
    rig.wake->Announce();
    ASSERT_TRUE(WaitUntil([&] { return rig.wake->drains.load() > drained; }, kPatience));
    rig.wake->Announce(19);
    ASSERT_TRUE(WaitForPass(*rig.thread, 2, kPatience));
    EXPECT_FALSE(WaitForPass(*rig.thread, 3, kQuiet)) << "a burst of announcements made more than one pass";
    EXPECT_EQ(rig.thread->WakeCount(), 1u);
    EXPECT_EQ(rig.thread->ListingCount(), 2u);

    // Noise (another device, another file) wakes the thread but is no reason to list.
    rig.wake->Noise();
    EXPECT_FALSE(WaitForPass(*rig.thread, 3, kQuiet));
    EXPECT_EQ(rig.thread->WakeCount(), 1u);

    // An announced plug is found by the pass it causes.
    rig.probe->listed = true;
    rig.wake->Announce();
    ASSERT_TRUE(rig.sink.WaitFor(SinkEvent::Connect, 2, kPatience));
    EXPECT_EQ(rig.thread->WakeCount(), 2u);
    for (const SinkEvent& e : rig.sink.Of(SinkEvent::Connect))
        EXPECT_EQ(e.pass, 3u);
    // And an announced unplug by the next: its removals free the slots, and the pass that follows
    // at once offers them to whatever is plugged in (nothing here).
    rig.probe->listed = false;
    rig.wake->Announce();
    ASSERT_TRUE(rig.sink.WaitFor(SinkEvent::Remove, 2, kPatience));
    ASSERT_TRUE(WaitForPass(*rig.thread, 5, kPatience));
    EXPECT_FALSE(WaitForPass(*rig.thread, 6, kQuiet));
    EXPECT_EQ(rig.thread->WakeCount(), 3u);
}

TEST(DiscoveryWake, TheSafetyNetPassesOnItsIntervalAndNoMoreOften) {
    const auto safetyNet = 200ms;
    WakeRig rig(Pacing(safetyNet));
    const auto begin = std::chrono::steady_clock::now();
    ASSERT_TRUE(rig.thread->Start());
    ASSERT_TRUE(WaitForPass(*rig.thread, 5, 20 * safetyNet));
    const auto took = std::chrono::steady_clock::now() - begin;
    std::printf("five passes took %lld ms with a safety net of %lld ms\n",
                static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(took).count()),
                static_cast<long long>(safetyNet.count()));
    // The first pass is at start; each of the four others waited a whole interval.
    EXPECT_GE(took, 4 * safetyNet);
    EXPECT_GE(rig.wake->retries.load(), 4) << "each safety-net pass retries what could not be watched";
    EXPECT_EQ(rig.thread->WakeCount(), 0u);
    EXPECT_GE(rig.thread->ListingCount(), 5u) << "every slot is free: every pass lists";
}

TEST(DiscoveryWake, AFailedOpenIsTriedAgainSoonButNotForeverAndARefusalWaitsForAnAnnouncement) {
    WakeRig rig(Pacing(kLongSafetyNet, 20ms, 20ms));
    rig.probe->listed = true;
    rig.probe->openFails = true;
    ASSERT_TRUE(rig.thread->Start());
    ASSERT_TRUE(rig.thread->WaitForFirstScan(kPatience));
    // A node that is listed but will not open yet (being set up) is looked at again soon...
    ASSERT_TRUE(WaitForPass(*rig.thread, 3, kPatience));
    // ...but one that never opens is left to announcements and the safety net.
    ASSERT_TRUE(WaitUntilQuiet(*rig.thread, kQuiet, 5 * kPatience))
        << "a failing node is retried without end";
    const uint64_t retried = rig.thread->PassCount();
    std::printf("a node that never opens was tried %llu times\n", static_cast<unsigned long long>(retried));
    EXPECT_LE(retried, 20u);
    EXPECT_TRUE(rig.sink.Of(SinkEvent::Connect).empty());
    EXPECT_TRUE(rig.thread->AccessDenied().empty());

    // Refused for lack of permission: reported, and not tried again until something is announced
    // (the rule being applied re-announces the node).
    rig.probe->openFails = false;
    rig.probe->permissionDenied = true;
    rig.wake->Announce();
    ASSERT_TRUE(rig.sink.WaitFor(SinkEvent::Denied, 1, kPatience));
    EXPECT_EQ(rig.thread->AccessDenied().size(), 2u);
    ASSERT_TRUE(WaitUntilQuiet(*rig.thread, kQuiet, kPatience));
    EXPECT_EQ(rig.thread->PassCount(), retried + 1) << "a refusal is not retried on its own";

    rig.probe->permissionDenied = false;
    rig.wake->Announce();
    ASSERT_TRUE(rig.sink.WaitFor(SinkEvent::Connect, 2, kPatience));
    ASSERT_TRUE(rig.sink.WaitFor(SinkEvent::Denied, 2, kPatience));
    EXPECT_TRUE(rig.thread->AccessDenied().empty());
}

TEST(DiscoveryWake, AnOpenThatFailsOnceIsRetriedWithoutAnAnnouncement) {
    WakeRig rig(Pacing(kLongSafetyNet)); // retries 100 ms apart: a second for this thread to clear the fault
    rig.probe->listed = true;
    rig.probe->openFails = true;
    ASSERT_TRUE(rig.thread->Start());
    ASSERT_TRUE(rig.thread->WaitForFirstScan(kPatience));
    rig.probe->openFails = false;
    ASSERT_TRUE(rig.sink.WaitFor(SinkEvent::Connect, 2, kPatience));
    EXPECT_EQ(rig.thread->WakeCount(), 0u);
}

TEST(DiscoveryWake, WithoutAnnouncementsItPassesOnTheFixedIntervalAndSaysSoOnce) {
    DebugCapture log;
    WakeRig rig(Pacing(kLongSafetyNet, 20ms, 5ms), /*ready=*/false);
    EXPECT_FALSE(rig.thread->WaitsForAnnouncements());
    ASSERT_TRUE(rig.thread->Start());
    ASSERT_TRUE(WaitForPass(*rig.thread, 10, kPatience)) << "the fallback interval is not used";
    const std::string line =
        "discovery: hot-plug is not announced (the watcher given is not ready); listing every 5 ms";
    EXPECT_EQ(log.Count(line), 1);
    // Attaches and removals go on as before.
    rig.probe->listed = true;
    ASSERT_TRUE(rig.sink.WaitFor(SinkEvent::Connect, 2, kPatience));
    rig.probe->listed = false;
    ASSERT_TRUE(rig.sink.WaitFor(SinkEvent::Remove, 2, kPatience));

    rig.thread->Stop();
    const uint64_t pass = rig.thread->PassCount();
    ASSERT_TRUE(rig.thread->Start());
    ASSERT_TRUE(WaitForPass(*rig.thread, pass + 3, kPatience));
    EXPECT_EQ(log.Count(line), 1) << "said once, not once per run";
    EXPECT_EQ(rig.thread->WakeCount(), 0u);
}

TEST(DiscoveryWake, StopEndsTheWaitAtOnceOnItsOwnThreadAndInAWorkerSlot) {
    DebugCapture log;
    WakeRig rig(Pacing(kLongSafetyNet));
    ASSERT_TRUE(rig.thread->Start());
    ASSERT_TRUE(rig.thread->WaitForFirstScan(kPatience));
    auto begin = std::chrono::steady_clock::now();
    rig.thread->Stop();
    std::printf("stop took %lld ms\n", MsSince(begin));
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 1000ms)
        << "the safety net is 10 s; stop must not wait for it";
    EXPECT_FALSE(rig.thread->IsRunning());
    EXPECT_EQ(log.Count("抓取设备线程设定退出"), 1);

    WorkerSlots workers;
    const uint64_t pass = rig.thread->PassCount();
    ASSERT_TRUE(workers.Start(0, [&](const StopEvent& stop) { rig.thread->Run(stop); }));
    ASSERT_TRUE(WaitForPass(*rig.thread, pass + 1, kPatience));
    begin = std::chrono::steady_clock::now();
    const WorkerSlots::StopResult result = workers.StopAll(1000ms);
    EXPECT_EQ(result.joined, 1);
    EXPECT_EQ(result.late, 0);
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 1000ms);
    EXPECT_FALSE(rig.thread->IsRunning());
    EXPECT_EQ(log.Count("抓取设备线程设定退出"), 2);
}

// ---- the real watcher on the emulator's folder ----------------------------------------------

namespace {

SimOptions Keyboard(const std::string& folder, const std::string& name) {
    SimOptions o;
    o.folder = folder;
    o.name = name;
    return o;
}

std::unique_ptr<IHotplugWatcher> FolderWatcher(const std::string& folder) {
    HotplugSources s;
    s.hidraw = false; // the test needs no device manager
    s.emulatorFolder = folder;
    return OpenHotplugWatcher(s);
}

class EmulatorWakeTest : public ::testing::Test {
  protected:
    void SetUp() override { m_sink.slots = &m_slots; }
    void TearDown() override {
        if (m_thread)
            m_thread->Stop();
    }
    // `wake` null: the program's own watcher.
    void StartDiscovery(std::unique_ptr<IHotplugWatcher> wake) {
        m_thread = std::make_unique<CDiscoveryThread>(m_slots, m_sink, nullptr, std::move(wake),
                                                      Pacing(kLongSafetyNet));
        m_sink.thread = m_thread.get();
        ASSERT_TRUE(m_thread->Start());
        ASSERT_TRUE(m_thread->WaitForFirstScan(kPatience));
    }
    // Plugs the keyboard in and waits for its two connects (`total` so far); prints how long it took.
    void PlugAndWait(SimDevice& kbd, size_t total, const char* what) {
        const auto begin = std::chrono::steady_clock::now();
        ASSERT_EQ(kbd.Start(), 1) << kbd.LastError();
        ASSERT_TRUE(m_sink.WaitFor(SinkEvent::Connect, total, kPatience)) << what;
        std::printf("%s seen after %lld ms\n", what, MsSince(begin));
    }

    TempSimFolder m_folder;
    CSlotList m_slots;
    RecordingSink m_sink;
    std::unique_ptr<CDiscoveryThread> m_thread;
};

} // namespace

TEST_F(EmulatorWakeTest, PlugInUnplugAndReplugAreSeenLongBeforeTheSafetyNet) {
    StartDiscovery(FolderWatcher(m_folder.Path()));
    ASSERT_TRUE(m_thread->WaitsForAnnouncements());
    EXPECT_EQ(m_thread->PassCount(), 1u);

    SimDevice kbd(Keyboard(m_folder.Path(), "kbd1"));
    PlugAndWait(kbd, 2, "plug-in");
    EXPECT_GE(m_thread->WakeCount(), 1u);
    EXPECT_EQ(m_slots.Get(0)->path, kbd.CommandPath());
    EXPECT_EQ(m_slots.Get(1)->path, kbd.NotificationPath());

    const auto unplugged = std::chrono::steady_clock::now();
    kbd.Stop();
    ASSERT_TRUE(m_sink.WaitFor(SinkEvent::Remove, 2, kPatience));
    std::printf("unplug seen after %lld ms\n", MsSince(unplugged));
    for (const SinkEvent& e : m_sink.Of(SinkEvent::Remove))
        EXPECT_TRUE(e.listAgreed) << "slot " << e.index;
    EXPECT_TRUE(m_slots.IsFree(0));
    EXPECT_TRUE(m_slots.IsFree(1));

    PlugAndWait(kbd, 4, "replug");
    EXPECT_EQ(m_sink.Of(SinkEvent::Remove).size(), 2u);
    // A handful of passes for three announced changes, not one every 100 ms. Announcements that
    // arrive during a pass join one wake under load, and the pass after a refused open is retried
    // once: one pass more than two per wake is still a handful (seen once in about fifty runs).
    std::printf("%llu passes, %llu wakes\n", static_cast<unsigned long long>(m_thread->PassCount()),
                static_cast<unsigned long long>(m_thread->WakeCount()));
    EXPECT_LE(m_thread->PassCount(), 2u + 2u * m_thread->WakeCount());
}

TEST_F(EmulatorWakeTest, WhenTheFirstKeyboardLeavesAWaitingSecondOneTakesItsSlotsAtOnce) {
    SimDevice first(Keyboard(m_folder.Path(), "kbd1"));
    ASSERT_EQ(first.Start(), 1) << first.LastError();
    StartDiscovery(FolderWatcher(m_folder.Path()));
    ASSERT_TRUE(m_sink.WaitFor(SinkEvent::Connect, 2, kPatience));

    SimDevice second(Keyboard(m_folder.Path(), "kbd2"));
    ASSERT_EQ(second.Start(), 1) << second.LastError();
    // Its plug is announced, but every slot is taken: not even probed.
    ASSERT_TRUE(WaitForPass(*m_thread, 2, kPatience));
    EXPECT_EQ(second.Counters().connectionsAccepted, 0u);

    first.Stop();
    ASSERT_TRUE(m_sink.WaitFor(SinkEvent::Connect, 4, kPatience));
    std::map<int, std::string> taken;
    const std::vector<SinkEvent> connects = m_sink.Of(SinkEvent::Connect);
    for (size_t i = 2; i < connects.size(); ++i)
        taken[connects[i].index] = connects[i].slot.path;
    const std::map<int, std::string> expected = {{0, second.CommandPath()}, {1, second.NotificationPath()}};
    EXPECT_EQ(taken, expected);
    EXPECT_EQ(m_sink.Of(SinkEvent::Remove).size(), 2u);
}

TEST_F(EmulatorWakeTest, AnEmulatorFolderMadeAfterDiscoveryStartedIsWatched) {
    const std::string later = m_folder.Path() + "/later";
    ::setenv("NK7X_SIM_DIR", later.c_str(), 1); // the listing looks there too
    StartDiscovery(FolderWatcher(later));
    ASSERT_TRUE(m_thread->WaitsForAnnouncements());
    ASSERT_TRUE(std::filesystem::create_directory(later));
    SimDevice kbd(Keyboard(later, "kbd1"));
    PlugAndWait(kbd, 2, "plug-in into a folder made late");
    kbd.Stop();
    ASSERT_TRUE(m_sink.WaitFor(SinkEvent::Remove, 2, kPatience));
    ::setenv("NK7X_SIM_DIR", m_folder.Path().c_str(), 1);
}

TEST_F(EmulatorWakeTest, TheProgramsOwnWatcherSeesTheEmulator) {
    StartDiscovery(nullptr);
    if (!m_thread->WaitsForAnnouncements())
        GTEST_SKIP() << "no device manager monitor on this machine: the program passes every 100 ms here";
    SimDevice kbd(Keyboard(m_folder.Path(), "kbd1"));
    PlugAndWait(kbd, 2, "plug-in (program's watcher)");
    EXPECT_GE(m_thread->WakeCount(), 1u);
    kbd.Stop();
    ASSERT_TRUE(m_sink.WaitFor(SinkEvent::Remove, 2, kPatience));
}
