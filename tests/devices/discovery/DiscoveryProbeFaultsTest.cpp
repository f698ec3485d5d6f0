// The discovery thread over a scripted probe: interfaces refused for lack of permission, listings that
// fail, interfaces that vanish, and a sink that stops discovery from inside a call.
#include "devices/discovery/DiscoveryThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <set>

#include "devices/discovery/DiscoveryTestSupport.h"

using namespace nk7x;
using namespace nk7x::test;
using namespace std::chrono_literals;

namespace {

constexpr auto kPatience = 3000ms;
const std::string kCommandPath = "hid#vid_0c45&pid_0820&mi_01&col04#/dev/hidraw7";
const std::string kNotifyPath = "hid#vid_0c45&pid_0820&mi_01&col03#/dev/hidraw7";
const std::string kKeysPath = "hid#vid_0c45&pid_0820&mi_01&col02#/dev/hidraw7";

// Answers as a hidraw node of the keyboard would, with switches for the faults.
class ScriptedProbe final : public IInterfaceProbe {
  public:
    std::atomic<bool> listingFails{false};
    std::atomic<bool> permissionDenied{false};
    std::atomic<bool> present{true};

    int EnumeratePaths(std::vector<std::string>& paths) override {
        paths.clear();
        if (listingFails.load())
            return 0;
        if (present.load())
            paths = {kKeysPath, kNotifyPath, kCommandPath};
        return 1;
    }
    HidOpenError OpenProbe(const std::string& path, ProbedInterface& out) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        opened.insert(path);
        if (!present.load())
            return HidOpenError::NotFound;
        if (permissionDenied.load())
            return HidOpenError::PermissionDenied;
        out.vendorId = 0x0C45;
        out.productId = 0x0820;
        out.usagePage = path == kCommandPath ? 0xFF1C : 0x000C;
        out.usage = path == kCommandPath ? 0x0092 : 0x0001;
        return HidOpenError::None;
    }
    void CloseProbe() override {}
    bool IsPresent(const std::string&) override { return present.load(); }

    std::set<std::string> Opened() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return opened;
    }

  private:
    std::mutex m_mutex;
    std::set<std::string> opened;
};

struct Rig {
    CSlotList slots;
    RecordingSink sink;
    ScriptedProbe* probe = nullptr;
    std::unique_ptr<CDiscoveryThread> thread;

    explicit Rig(std::chrono::milliseconds interval = 5ms) {
        auto p = std::make_unique<ScriptedProbe>();
        probe = p.get();
        thread = std::make_unique<CDiscoveryThread>(slots, sink, std::move(p), interval);
        sink.thread = thread.get();
        sink.slots = &slots;
    }
    ~Rig() { thread->Stop(); }
};

} // namespace

TEST(DiscoveryProbeFaults, PermissionRefusalsAreReportedPerPassAndClearWhenTheNodesOpen) {
    Rig rig;
    rig.probe->permissionDenied = true;
    ASSERT_TRUE(rig.thread->Start());
    ASSERT_TRUE(rig.thread->WaitForFirstScan(kPatience));

    const std::vector<DeviceSlot> denied = rig.thread->AccessDenied();
    ASSERT_EQ(denied.size(), 2u);
    EXPECT_EQ(denied[0].path, kNotifyPath);
    EXPECT_EQ(denied[0].role, kRoleNotification);
    EXPECT_EQ(denied[1].path, kCommandPath);
    EXPECT_EQ(denied[1].kind, DeviceKind::Keyboard);
    EXPECT_EQ(denied[1].role, kRoleCommand);
    EXPECT_EQ(denied[1].connected, 0);
    // Told once, before the window shows, not on every pass.
    ASSERT_TRUE(WaitForPass(*rig.thread, rig.thread->PassCount() + 3, kPatience));
    const std::vector<SinkEvent> events = rig.sink.Events();
    ASSERT_GE(events.size(), 2u);
    EXPECT_EQ(events[0].type, SinkEvent::Denied);
    EXPECT_EQ(events[0].denied.size(), 2u);
    EXPECT_EQ(events[1].type, SinkEvent::FirstScan);
    EXPECT_EQ(rig.sink.Of(SinkEvent::Denied).size(), 1u);
    EXPECT_TRUE(rig.sink.Of(SinkEvent::Connect).empty());
    EXPECT_FALSE(rig.probe->Opened().count(kKeysPath)); // collection 2 is not ours

    rig.probe->permissionDenied = false; // the udev rule was installed
    ASSERT_TRUE(rig.sink.WaitFor(SinkEvent::Connect, 2, kPatience));
    ASSERT_TRUE(rig.sink.WaitFor(SinkEvent::Denied, 2, kPatience));
    EXPECT_TRUE(rig.sink.Of(SinkEvent::Denied)[1].denied.empty());
    EXPECT_TRUE(rig.thread->AccessDenied().empty());
}

TEST(DiscoveryProbeFaults, AFailedListingNeitherHidesTheWindowNorEndsRemovalChecks) {
    DebugCapture log;
    Rig rig;
    rig.probe->listingFails = true;
    ASSERT_TRUE(rig.thread->Start());
    // The window must show even when nothing could be listed.
    ASSERT_TRUE(rig.thread->WaitForFirstScan(kPatience));
    ASSERT_TRUE(WaitForPass(*rig.thread, rig.thread->PassCount() + 3, kPatience));
    EXPECT_EQ(log.Count("discovery: the HID interfaces could not be listed; trying again every pass"), 1);

    // Listing recovers: the keyboard attaches.
    rig.probe->listingFails = false;
    ASSERT_TRUE(rig.sink.WaitFor(SinkEvent::Connect, 2, kPatience));
    // While it is attached nothing is listed; and were listing to fail again, an unplug is still seen.
    rig.probe->listingFails = true;
    rig.probe->present = false;
    ASSERT_TRUE(rig.sink.WaitFor(SinkEvent::Remove, 2, kPatience));
    EXPECT_TRUE(rig.thread->IsRunning());
    EXPECT_TRUE(rig.slots.IsFree(0));
    EXPECT_TRUE(rig.slots.IsFree(1));
}

TEST(DiscoveryProbeFaults, AnInterfaceThatVanishesDuringItsProbeIsTriedAgainLater) {
    Rig rig;
    rig.probe->present = false;
    ASSERT_TRUE(rig.thread->Start());
    ASSERT_TRUE(rig.thread->WaitForFirstScan(kPatience));
    EXPECT_TRUE(rig.sink.Of(SinkEvent::Connect).empty());
    EXPECT_TRUE(rig.thread->AccessDenied().empty()); // absence is not an access problem
    rig.probe->present = true;
    ASSERT_TRUE(rig.sink.WaitFor(SinkEvent::Connect, 2, kPatience));
    for (const SinkEvent& e : rig.sink.Of(SinkEvent::Connect))
        EXPECT_TRUE(e.listAgreed);
}

TEST(DiscoveryProbeFaults, StoppingFromInsideAConnectCallEndsTheLoopWithoutDeadlock) {
    Rig rig(10000ms);
    std::atomic<int> calls{0};
    rig.sink.onEvent = [&](const SinkEvent& e) {
        if (e.type == SinkEvent::Connect && calls.fetch_add(1) == 0)
            rig.thread->Stop();
    };
    ASSERT_TRUE(rig.thread->Start());
    const auto end = std::chrono::steady_clock::now() + kPatience;
    while (rig.thread->IsRunning() || calls.load() == 0) {
        ASSERT_LT(std::chrono::steady_clock::now(), end) << "the loop did not end";
        std::this_thread::sleep_for(2ms);
    }
    // No further call once stopping: the second collection is left for the next run.
    EXPECT_EQ(calls.load(), 1);
    EXPECT_TRUE(rig.sink.Of(SinkEvent::FirstScan).empty());
}
