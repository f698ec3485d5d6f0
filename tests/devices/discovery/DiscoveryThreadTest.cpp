// The discovery thread against the in-process emulator: connect, removal, re-plug, a second keyboard,
// foreign collections, and stopping.
#include "devices/discovery/DiscoveryThread.h"
#include "devices/discovery/InterfaceProbe.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

#include "devices/discovery/DiscoveryTestSupport.h"
#include "tools/sim/SimDevice.h"

using namespace nk7x;
using namespace nk7x::test;
using namespace std::chrono_literals;

namespace {

constexpr auto kPatience = 3000ms; // generous: the machine is shared and may run sanitizers

SimOptions Keyboard(const std::string& folder, const std::string& name) {
    SimOptions o;
    o.folder = folder;
    o.name = name;
    return o;
}

// A listening emulated interface made by hand, to see whether discovery ever connects to it.
class HandMadeInterface {
  public:
    HandMadeInterface(const std::string& folder, const std::string& name, const std::vector<uint8_t>& rdesc) {
        m_base = folder + "/" + name + "-mi01";
        std::ofstream(m_base + ".rdesc", std::ios::binary)
            .write(reinterpret_cast<const char*>(rdesc.data()), static_cast<std::streamsize>(rdesc.size()));
        std::ofstream(m_base + ".info") << "vendor=0x0c45\nproduct=0x0820\nversion=0x0100\ninterface=1\n";
        m_fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        const std::string sock = m_base + ".sock";
        std::memcpy(addr.sun_path, sock.c_str(), std::min(sock.size() + 1, sizeof addr.sun_path - 1));
        m_ok = m_fd >= 0 && ::bind(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
               ::listen(m_fd, 8) == 0;
    }
    ~HandMadeInterface() {
        if (m_fd >= 0)
            ::close(m_fd);
        for (const char* ext : {".sock", ".info", ".rdesc"})
            ::unlink((m_base + ext).c_str());
    }
    bool Ok() const { return m_ok; }
    // Stops listening but leaves the socket file behind, as an emulator that was killed does.
    void Die() {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }
    // Connections made to it so far.
    int Accepted() {
        int n = 0;
        for (int fd; (fd = ::accept(m_fd, nullptr, nullptr)) >= 0; ++n)
            ::close(fd);
        return n;
    }

  private:
    std::string m_base;
    int m_fd = -1;
    bool m_ok = false;
};

// One keyboard collection (report id 1) and one consumer collection (report id 2).
const std::vector<uint8_t> kTwoCollections = {
    0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x85, 0x01, 0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7, 0x15, 0x00, 0x25,
    0x01, 0x75, 0x01, 0x95, 0x08, 0x81, 0x02, 0xC0, 0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x02, 0x15,
    0x00, 0x26, 0xFF, 0x03, 0x19, 0x00, 0x2A, 0xFF, 0x03, 0x75, 0x10, 0x95, 0x01, 0x81, 0x00, 0xC0};
// A single keyboard collection: its path carries no "&col".
const std::vector<uint8_t> kOneCollection = {0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x05, 0x07,
                                             0x19, 0xE0, 0x29, 0xE7, 0x15, 0x00, 0x25, 0x01,
                                             0x75, 0x01, 0x95, 0x08, 0x81, 0x02, 0xC0};

// Slot index -> path of the connect events from `first` on (interfaces connect in listing order).
std::map<int, std::string> ConnectedPaths(const std::vector<SinkEvent>& connects, size_t first) {
    std::map<int, std::string> out;
    for (size_t i = first; i < connects.size(); ++i)
        out[connects[i].index] = connects[i].slot.path;
    return out;
}

class DiscoveryThreadTest : public ::testing::Test {
  protected:
    void SetUp() override { m_sink.slots = &m_slots; }
    void StartDiscovery(std::chrono::milliseconds interval = kDiscoveryPassInterval) {
        m_thread = std::make_unique<CDiscoveryThread>(m_slots, m_sink, nullptr, interval);
        m_sink.thread = m_thread.get();
        ASSERT_TRUE(m_thread->Start());
    }
    void TearDown() override {
        if (m_thread)
            m_thread->Stop();
    }

    TempSimFolder m_folder;
    CSlotList m_slots;
    RecordingSink m_sink;
    std::unique_ptr<CDiscoveryThread> m_thread;
};

} // namespace

TEST_F(DiscoveryThreadTest, BothKeyboardCollectionsConnectBeforeTheFirstScanEnds) {
    SimDevice kbd(Keyboard(m_folder.Path(), "kbd1"));
    ASSERT_EQ(kbd.Start(), 1) << kbd.LastError();
    StartDiscovery();
    ASSERT_TRUE(m_thread->WaitForFirstScan(kPatience));

    const std::vector<SinkEvent> events = m_sink.Events();
    ASSERT_GE(events.size(), 3u);
    // The window shows with the keyboard already listed: both connects come before the first-scan call.
    EXPECT_EQ(events[0].type, SinkEvent::Connect);
    EXPECT_EQ(events[1].type, SinkEvent::Connect);
    EXPECT_EQ(events[2].type, SinkEvent::FirstScan);
    const std::vector<SinkEvent> connects = m_sink.Of(SinkEvent::Connect);
    ASSERT_EQ(connects.size(), 2u);
    for (const SinkEvent& e : connects) {
        EXPECT_TRUE(e.listAgreed) << "slot " << e.index;
        EXPECT_EQ(e.slot.kind, DeviceKind::Keyboard);
        EXPECT_EQ(e.slot.connected, 1);
        EXPECT_TRUE(SameInterface(e.slot, InterfaceTable()[static_cast<size_t>(e.index)]));
        if (e.index == 0) {
            EXPECT_EQ(e.slot.path, kbd.CommandPath());
            EXPECT_NE(e.slot.path.find("&col04"), std::string::npos);
            EXPECT_EQ(e.slot.role, kRoleCommand);
            EXPECT_EQ(e.slot.usagePage, 0xFF1C);
        } else {
            EXPECT_EQ(e.index, 1);
            EXPECT_EQ(e.slot.path, kbd.NotificationPath());
            EXPECT_NE(e.slot.path.find("&col03"), std::string::npos);
            EXPECT_EQ(e.slot.role, kRoleNotification);
            EXPECT_EQ(e.slot.usagePage, 0x000C);
        }
    }
    EXPECT_TRUE(m_slots.AllSlotsTaken());
    EXPECT_TRUE(m_thread->AccessDenied().empty());

    // With every slot taken no listing runs; only the presence checks go on.
    const uint64_t listings = m_thread->ListingCount();
    const uint64_t pass = m_thread->PassCount();
    ASSERT_TRUE(WaitForPass(*m_thread, pass + 3, kPatience));
    EXPECT_EQ(m_thread->ListingCount(), listings);
    EXPECT_EQ(m_sink.Of(SinkEvent::Connect).size(), 2u);
    EXPECT_EQ(m_sink.Of(SinkEvent::FirstScan).size(), 1u);
}

TEST_F(DiscoveryThreadTest, UnplugIsSeenWithinTwoPassesAndReplugReattachesTheSameSlots) {
    SimDevice kbd(Keyboard(m_folder.Path(), "kbd1"));
    ASSERT_EQ(kbd.Start(), 1) << kbd.LastError();
    StartDiscovery();
    ASSERT_TRUE(m_sink.WaitFor(SinkEvent::Connect, 2, kPatience));
    const std::string commandPath = kbd.CommandPath();
    const std::string notifyPath = kbd.NotificationPath();

    const uint64_t passAtUnplug = m_thread->PassCount();
    const auto unplugged = std::chrono::steady_clock::now();
    kbd.Stop();
    ASSERT_TRUE(m_sink.WaitFor(SinkEvent::Remove, 2, kPatience));
    const auto seen = std::chrono::steady_clock::now();
    const std::vector<SinkEvent> removes = m_sink.Of(SinkEvent::Remove);
    std::printf("removal seen after %lld ms\n",
                static_cast<long long>(
                    std::chrono::duration_cast<std::chrono::milliseconds>(seen - unplugged).count()));
    for (const SinkEvent& e : removes) {
        EXPECT_LE(e.pass, passAtUnplug + 2) << "slot " << e.index;
        EXPECT_TRUE(e.listAgreed) << "slot " << e.index;
        EXPECT_EQ(e.slot.path, e.index == 0 ? commandPath : notifyPath);
    }
    // Stop may take the interface away between the two checks of one pass, so either may come first.
    EXPECT_EQ(std::set<int>({removes[0].index, removes[1].index}), std::set<int>({0, 1}));
    EXPECT_TRUE(m_slots.IsFree(0));
    EXPECT_TRUE(m_slots.IsFree(1));

    ASSERT_EQ(kbd.Start(), 1) << kbd.LastError();
    ASSERT_TRUE(m_sink.WaitFor(SinkEvent::Connect, 4, kPatience));
    const std::map<int, std::string> again = ConnectedPaths(m_sink.Of(SinkEvent::Connect), 2);
    const std::map<int, std::string> expected = {{0, commandPath}, {1, notifyPath}};
    EXPECT_EQ(again, expected);
    EXPECT_EQ(m_sink.Of(SinkEvent::Remove).size(), 2u);
}

TEST_F(DiscoveryThreadTest, ASecondKeyboardIsIgnoredUntilTheFirstLeaves) {
    SimDevice first(Keyboard(m_folder.Path(), "kbd1"));
    ASSERT_EQ(first.Start(), 1) << first.LastError();
    StartDiscovery();
    ASSERT_TRUE(m_sink.WaitFor(SinkEvent::Connect, 2, kPatience));

    SimDevice second(Keyboard(m_folder.Path(), "kbd2"));
    ASSERT_EQ(second.Start(), 1) << second.LastError();
    ASSERT_TRUE(WaitForPass(*m_thread, m_thread->PassCount() + 3, kPatience));
    EXPECT_EQ(m_sink.Of(SinkEvent::Connect).size(), 2u);
    EXPECT_EQ(second.Counters().connectionsAccepted, 0u); // never even probed
    EXPECT_EQ(m_slots.Get(0)->path, first.CommandPath());

    first.Stop();
    ASSERT_TRUE(m_sink.WaitFor(SinkEvent::Connect, 4, kPatience));
    const std::map<int, std::string> taken = ConnectedPaths(m_sink.Of(SinkEvent::Connect), 2);
    const std::map<int, std::string> expected = {{0, second.CommandPath()}, {1, second.NotificationPath()}};
    EXPECT_EQ(taken, expected);
    EXPECT_EQ(m_sink.Of(SinkEvent::Remove).size(), 2u);
}

TEST_F(DiscoveryThreadTest, CollectionTwoAndAPathWithoutCollectionAreNeverOpened) {
    HandMadeInterface two(m_folder.Path(), "two", kTwoCollections);
    HandMadeInterface one(m_folder.Path(), "one", kOneCollection);
    ASSERT_TRUE(two.Ok());
    ASSERT_TRUE(one.Ok());
    // The listing does offer them, with the right vendor and product.
    CHidTransport lister;
    ASSERT_EQ(lister.EnumeratePaths(), 1);
    bool sawCollectionTwo = false, sawNoCollection = false;
    while (const char* p = lister.NextPath()) {
        const std::string path = p;
        if (path.find("two-mi01") != std::string::npos && path.find("&col02") != std::string::npos)
            sawCollectionTwo = true;
        if (path.find("one-mi01") != std::string::npos && path.find("&col") == std::string::npos)
            sawNoCollection = path.find("vid_0c45&pid_0820&mi_01") != std::string::npos;
    }
    ASSERT_TRUE(sawCollectionTwo);
    ASSERT_TRUE(sawNoCollection);

    StartDiscovery();
    ASSERT_TRUE(m_thread->WaitForFirstScan(kPatience));
    ASSERT_TRUE(WaitForPass(*m_thread, m_thread->PassCount() + 3, kPatience));
    EXPECT_GE(m_thread->ListingCount(), 3u);
    EXPECT_EQ(two.Accepted(), 0);
    EXPECT_EQ(one.Accepted(), 0);
    EXPECT_TRUE(m_sink.Of(SinkEvent::Connect).empty());
    EXPECT_FALSE(m_slots.AllSlotsTaken());
}

TEST_F(DiscoveryThreadTest, StopWakesTheThreadAtOnceAndSaysSo) {
    DebugCapture log;
    // A pass interval far longer than the patience below: only waking on the stop event passes.
    StartDiscovery(10000ms);
    ASSERT_TRUE(m_thread->WaitForFirstScan(kPatience));
    ASSERT_TRUE(m_thread->IsRunning());
    const auto begin = std::chrono::steady_clock::now();
    m_thread->Stop();
    const auto took = std::chrono::steady_clock::now() - begin;
    std::printf("stop took %lld us\n",
                static_cast<long long>(std::chrono::duration_cast<std::chrono::microseconds>(took).count()));
    EXPECT_LT(took, 1000ms);
    EXPECT_FALSE(m_thread->IsRunning());
    EXPECT_EQ(log.Count("抓取设备线程设定退出"), 1);
    m_thread->Stop(); // twice is harmless
    EXPECT_EQ(log.Count("抓取设备线程设定退出"), 1);

    // A restart runs again, but the window is told about the first scan only once. The count is
    // taken while the loop is stopped: the restarted loop begins its first pass within a
    // millisecond, and counted after Start that pass could already be in it.
    const uint64_t pass = m_thread->PassCount();
    ASSERT_TRUE(m_thread->Start());
    ASSERT_TRUE(WaitForPass(*m_thread, pass + 1, kPatience));
    m_thread->Stop();
    EXPECT_EQ(m_sink.Of(SinkEvent::FirstScan).size(), 1u);
    EXPECT_EQ(log.Count("抓取设备线程设定退出"), 2);
}

TEST_F(DiscoveryThreadTest, RunsInAWorkerSlotOfTheMainWindow) {
    SimDevice kbd(Keyboard(m_folder.Path(), "kbd1"));
    ASSERT_EQ(kbd.Start(), 1) << kbd.LastError();
    CDiscoveryThread discovery(m_slots, m_sink);
    m_sink.thread = &discovery;
    WorkerSlots workers;
    ASSERT_TRUE(workers.Start(3, [&](const StopEvent& stop) { discovery.Run(stop); }));
    ASSERT_TRUE(m_sink.WaitFor(SinkEvent::Connect, 2, kPatience));
    EXPECT_FALSE(discovery.Start()); // the loop already runs
    const WorkerSlots::StopResult result = workers.StopAll(1000ms);
    EXPECT_EQ(result.joined, 1);
    EXPECT_EQ(result.late, 0);
    EXPECT_FALSE(discovery.IsRunning());
}

namespace {

// The paths of the listed interfaces whose path names `name`.
std::vector<std::string> PathsOf(CTransportProbe& probe, const std::string& name) {
    std::vector<std::string> all, out;
    probe.EnumeratePaths(all);
    for (const std::string& p : all)
        if (p.find(name) != std::string::npos)
            out.push_back(p);
    return out;
}

TEST_F(DiscoveryThreadTest, PresenceFollowsUnplugAndReplugAtOnceAndADeadEmulatorWithinASecond) {
    SimDevice kbd(Keyboard(m_folder.Path(), "kbd1"));
    ASSERT_EQ(kbd.Start(), 1) << kbd.LastError();
    CTransportProbe probe;
    const std::string path = kbd.CommandPath();
    EXPECT_TRUE(probe.IsPresent(path));
    EXPECT_TRUE(probe.IsPresent(path));
    kbd.Stop();
    EXPECT_FALSE(probe.IsPresent(path)) << "an unplug is seen by the very next check";
    ASSERT_EQ(kbd.Start(), 1) << kbd.LastError();
    EXPECT_TRUE(probe.IsPresent(path));

    HandMadeInterface hand(m_folder.Path(), "hand", kOneCollection);
    ASSERT_TRUE(hand.Ok());
    const std::vector<std::string> handPaths = PathsOf(probe, "hand");
    ASSERT_EQ(handPaths.size(), 1u);
    ASSERT_TRUE(probe.IsPresent(handPaths[0]));
    hand.Die();
    const auto died = std::chrono::steady_clock::now();
    while (probe.IsPresent(handPaths[0]) && std::chrono::steady_clock::now() - died < 3s)
        std::this_thread::sleep_for(20ms);
    const auto noticed = std::chrono::steady_clock::now() - died;
    EXPECT_FALSE(probe.IsPresent(handPaths[0]));
    EXPECT_LE(noticed, 1500ms) << "a socket nobody listens on counts as gone within about a second";
}

} // namespace
