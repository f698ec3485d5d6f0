// The program's device side under the real kernel: emulated devices on dummy_hcd's USB bus, found by
// discovery through hidraw and the udev monitor, reached by nk7x-cli through their hidraw nodes, the
// udev rule's tags, and the headset's output reports on the control pipe.
#include <fcntl.h>
#include <linux/uhid.h>
#include <poll.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "devices/discovery/DeviceTables.h"
#include "devices/discovery/DiscoveryTestSupport.h"
#include "devices/discovery/DiscoveryThread.h"
#include "kernel/KernelSupport.h"
#include "link/hid/HidTransport.h"
#include "tools/sim/HeadsetDescriptor.h"
#include "tools/sim/SimDeviceRows.h"

namespace nk7x::test {
namespace {

using ::testing::HasSubstr;

class KernelTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::string obstacle = KernelTestObstacle();
        ASSERT_TRUE(obstacle.empty()) << obstacle;
    }
    DeviceTestRoot m_root{"nk7x-kernel"};
};

// The rows a device of this kind writes when plugged, written ahead so that the tables read at
// start already know it (as a user's rows file would).
void WriteRows(const std::string& folder, SimKind kind, const std::string& name) {
    SimOptions o;
    o.kind = kind;
    o.name = name;
    SimDevice resolved(o); // fills in the kind's ids
    std::ofstream(folder + "/" + name + ".devices.json") << SimDeviceRowsJson(resolved.Options());
}

std::string NodeOf(const std::string& path) {
    const size_t hash = path.rfind('#');
    return hash == std::string::npos ? std::string() : path.substr(hash + 1);
}

} // namespace

TEST_F(KernelTest, DiscoveryFindsEveryKindAtStartAndOnHotPlugAndDropsItOnUnplug) {
    const struct {
        SimKind kind;
        const char* name;
        DeviceKind expected;
    } kinds[] = {{SimKind::Keyboard, "kbd1", DeviceKind::Keyboard},
                 {SimKind::Mouse, "mouse1", DeviceKind::Mouse},
                 {SimKind::Pad, "pad1", DeviceKind::MousePad},
                 {SimKind::Headset, "headset1", DeviceKind::Headset},
                 {SimKind::Receiver, "rcv1", DeviceKind::MouseReceiver}};
    for (const auto& k : kinds) {
        if (k.kind != SimKind::Keyboard)
            WriteRows(m_root.SimFolder(), k.kind, k.name);
    }
    ReloadDeviceRows();
    ASSERT_THAT(DeviceRowProblems(), ::testing::IsEmpty());

    // The keyboard is there before discovery starts; the rest come while it runs.
    std::map<std::string, std::unique_ptr<SimDevice>> devices;
    devices["kbd1"] = PlugGadget(m_root.SimFolder(), SimKind::Keyboard, "kbd1");
    ASSERT_NE(devices["kbd1"], nullptr);
    ASSERT_FALSE(WaitForHostNode(SimUsbSerial("kbd1"), 1).node.empty()) << "the host enumerates the keyboard";

    CSlotList slots;
    RecordingSink sink;
    sink.slots = &slots;
    DiscoveryPacing pacing;
    pacing.safetyNet = std::chrono::milliseconds(60000); // only the udev monitor may wake it
    CDiscoveryThread discovery(slots, sink, nullptr, nullptr, pacing);
    sink.thread = &discovery;
    ASSERT_TRUE(discovery.Start());
    ASSERT_TRUE(discovery.WaitForFirstScan(kKernelPatience));
    EXPECT_TRUE(discovery.WaitsForAnnouncements()) << "the udev monitor of hidraw runs";
    ASSERT_TRUE(sink.WaitFor(SinkEvent::Connect, 2, kKernelPatience)) << "the keyboard at start";

    // Each kind connects through its own hidraw node, with the interface and collection of a real
    // USB device, both of its slots on that node; and goes with both on unplug. The kernel's HID
    // gadget allows four interfaces at once, so the receiver comes after the others have gone.
    size_t connects = 2, removes = 0;
    auto check = [&](const auto& k) {
        const HostNode host = WaitForHostNode(SimUsbSerial(k.name), 1);
        std::set<std::string> seen;
        for (const SinkEvent& e : sink.Of(SinkEvent::Connect)) {
            if (e.slot.kind == k.expected)
                seen.insert(NodeOf(e.slot.path));
            EXPECT_EQ(e.slot.interfaceNumber, 1);
            EXPECT_THAT(e.slot.path, HasSubstr("&mi_01&col0"));
            EXPECT_EQ(e.slot.path.rfind("hid#", 0), 0u) << e.slot.path;
        }
        EXPECT_EQ(seen, std::set<std::string>{host.node}) << k.name;
    };
    for (const auto& k : kinds) {
        if (k.kind == SimKind::Keyboard || k.kind == SimKind::Receiver)
            continue;
        devices[k.name] = PlugGadget(m_root.SimFolder(), k.kind, k.name);
        ASSERT_NE(devices[k.name], nullptr);
        connects += 2;
        ASSERT_TRUE(sink.WaitFor(SinkEvent::Connect, connects, kKernelPatience)) << k.name << " plugged in";
    }
    for (const auto& k : kinds) {
        if (k.kind != SimKind::Receiver)
            check(k);
    }
    EXPECT_GE(discovery.WakeCount(), 1u) << "hot-plug came through the monitor";
    for (auto& [name, device] : devices) {
        device->Unplug();
        removes += 2;
        ASSERT_TRUE(sink.WaitFor(SinkEvent::Remove, removes, kKernelPatience)) << name << " unplugged";
        device->Stop();
    }
    devices.clear();

    devices["rcv1"] = PlugGadget(m_root.SimFolder(), SimKind::Receiver, "rcv1");
    ASSERT_NE(devices["rcv1"], nullptr);
    ASSERT_TRUE(sink.WaitFor(SinkEvent::Connect, connects + 2, kKernelPatience)) << "the receiver";
    check(kinds[4]);
    devices["rcv1"]->Unplug();
    ASSERT_TRUE(sink.WaitFor(SinkEvent::Remove, removes + 2, kKernelPatience));
    for (int i = 0; i < slots.Size(); ++i)
        EXPECT_TRUE(slots.IsFree(i)) << "slot " << i;
    discovery.Stop();
}

TEST_F(KernelTest, TheCommandLineToolReadsAndWritesTheKeyboardThroughHidraw) {
    auto kbd = PlugGadget(m_root.SimFolder(), SimKind::Keyboard, "kbd1");
    ASSERT_NE(kbd, nullptr);
    const HostNode host = WaitForHostNode(SimUsbSerial("kbd1"), 1);
    ASSERT_FALSE(host.node.empty());

    const RunResult list = RunProgram("nk7x-cli", {"list"});
    ASSERT_EQ(list.status, 0) << list.err;
    // The command and notification collections of interface 1, marked as supported, on the node.
    EXPECT_THAT(list.out, HasSubstr("hid#vid_0c45&pid_0820&mi_01&col04#" + host.node));
    EXPECT_THAT(list.out, HasSubstr("hid#vid_0c45&pid_0820&mi_01&col03#" + host.node));

    const RunResult info = RunProgram("nk7x-cli", {"--json", "info"});
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_THAT(info.out, HasSubstr("\"product\" : 2080")) << info.out; // 0x0820

    const RunResult keys = RunProgram("nk7x-cli", {"keytable"});
    ASSERT_EQ(keys.status, 0) << keys.err;
    const std::vector<uint8_t> table = kbd->KeyTable();
    EXPECT_THAT(keys.out, HasSubstr("  0  " + Hex({table.begin(), table.begin() + 3})));
    EXPECT_THAT(keys.out, HasSubstr("  1  " + Hex({table.begin() + 3, table.begin() + 6})));

    const RunResult write = RunProgram("nk7x-cli", {"write-params", "0x100", "a1 b2 c3"});
    ASSERT_EQ(write.status, 0) << write.err;
    const std::vector<uint8_t> params = kbd->Parameters();
    EXPECT_EQ(Hex({params.begin() + 0x100, params.begin() + 0x103}), "a1 b2 c3");
    const RunResult read = RunProgram("nk7x-cli", {"params", "0x100", "3"});
    ASSERT_EQ(read.status, 0) << read.err;
    EXPECT_THAT(read.out, HasSubstr("a1 b2 c3"));

    // The frames crossed the bus whole: 64 bytes with report id 4 and a valid checksum, every one.
    for (const SimFrameRecord& f : kbd->FrameLog()) {
        EXPECT_TRUE(f.wellFormed) << "size " << f.size;
        EXPECT_TRUE(f.checksumValid);
    }
}

TEST_F(KernelTest, AnUnplugInTheMiddleOfATransferEndsItAndTheDeviceComesBack) {
    // The third frame of the key table read pulls the keyboard out.
    auto kbd = PlugGadget(m_root.SimFolder(), SimKind::Keyboard, "kbd1", "unplug@7+2");
    ASSERT_NE(kbd, nullptr);
    ASSERT_FALSE(WaitForHostNode(SimUsbSerial("kbd1"), 1).node.empty());
    const auto begin = std::chrono::steady_clock::now();
    const RunResult keys = RunProgram("nk7x-cli", {"keytable"});
    const auto took =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - begin);
    EXPECT_NE(keys.status, 0) << keys.out;
    EXPECT_TRUE(keys.status == 3 || keys.status == 5)
        << "no device / no answer: " << keys.status << " " << keys.err;
    EXPECT_LT(took.count(), 15000) << "the tool gives up, it does not hang";
    EXPECT_TRUE(WaitForHostGone(SimUsbSerial("kbd1"))) << "the host saw the device go";

    ASSERT_EQ(kbd->Start(), 1) << kbd->LastError(); // plugged back in
    ASSERT_FALSE(WaitForHostNode(SimUsbSerial("kbd1"), 1).node.empty());
    const RunResult again = RunProgram("nk7x-cli", {"keytable"});
    EXPECT_EQ(again.status, 0) << again.err;
}

TEST_F(KernelTest, TheUdevRuleGivesTheSeatEverySupportedDeviceAndNothingElse) {
    ReloadDeviceRows(); // the shipped rows alone: no rows file in this test's folder
    // Installed as the package installs it (the guest's root is a throw-away overlay).
    {
        std::ifstream in(std::string(NK7X_SOURCE_DIR) + "/udev/70-nk7x.rules");
        std::ofstream out("/etc/udev/rules.d/70-nk7x.rules");
        out << in.rdbuf();
    }
    ASSERT_EQ(std::system("udevadm control --reload"), 0);

    // Every vendor and product of the shipped tables is a device the rule must cover.
    std::set<std::pair<int, int>> supported;
    for (size_t i = 0; i < kInterfaceRowCount; ++i)
        supported.insert({InterfaceTable()[i].vendorId, InterfaceTable()[i].productId});
    for (size_t i = 0; i < kOptionRowCount; ++i) {
        if (OptionTable()[i].VendorId() != 0)
            supported.insert({OptionTable()[i].VendorId(), OptionTable()[i].ProductId()});
    }
    ASSERT_FALSE(supported.empty());

    auto tagsOf = [](const std::string& node) {
        const RunResult r = RunProgram("/usr/bin/udevadm", {"info", "--query=property", node});
        const std::string text = "\n" + r.out;
        const size_t at = text.find("\nTAGS=");
        if (at == std::string::npos)
            return std::string();
        const size_t end = text.find('\n', at + 1);
        return text.substr(at + 6, end == std::string::npos ? std::string::npos : end - at - 6);
    };

    int n = 0;
    for (const auto& [vendor, product] : supported) {
        SimOptions o;
        o.folder = m_root.SimFolder();
        o.name = "dev" + std::to_string(++n);
        o.kind = SimKind::Keyboard; // any kind: the rule looks at the ids alone
        o.vendorId = static_cast<uint16_t>(vendor);
        o.productId = static_cast<uint16_t>(product);
        o.usbGadget = true;
        o.deviceRows = false;
        SimDevice device(o);
        ASSERT_EQ(device.Start(), 1) << device.LastError();
        for (int itf : {1}) {
            const HostNode host = WaitForHostNode(SimUsbSerial(o.name), itf);
            ASSERT_FALSE(host.node.empty());
            ASSERT_EQ(std::system("udevadm settle -t 10"), 0);
            EXPECT_THAT(tagsOf(host.node), HasSubstr(":uaccess:"))
                << std::hex << vendor << ":" << product << " interface " << itf;
        }
    }
    // A device of the family's maker that the program does not support, and a stranger.
    for (auto [vendor, product] : {std::pair<uint16_t, uint16_t>{0x320F, 0x5001}, {0x1234, 0x0820}}) {
        SimOptions o;
        o.folder = m_root.SimFolder();
        o.name = "other" + std::to_string(++n);
        o.kind = SimKind::Mouse;
        o.vendorId = vendor;
        o.productId = product;
        o.usbGadget = true;
        o.deviceRows = false;
        SimDevice device(o);
        ASSERT_EQ(device.Start(), 1) << device.LastError();
        const HostNode host = WaitForHostNode(SimUsbSerial(o.name), 1);
        ASSERT_FALSE(host.node.empty());
        ASSERT_EQ(std::system("udevadm settle -t 10"), 0);
        EXPECT_THAT(tagsOf(host.node), ::testing::Not(HasSubstr(":uaccess:")))
            << std::hex << vendor << ":" << product;
    }
}

// The headset's LED report leaves as an output report through the kernel's own call for that
// (HIDIOCSOUTPUT), taken whole, with no fall-back to a plain write. uhid shows how the kernel sends
// it: like a write, over the interrupt side, wherever the device has one; only a device without an
// OUT endpoint gets it by SET_REPORT on the control pipe (the gadget test shows that path).
TEST_F(KernelTest, TheHeadsetsLedReportLeavesThroughTheOutputReportCallWhole) {
    DebugCapture log;
    const int fd = ::open("/dev/uhid", O_RDWR | O_CLOEXEC);
    ASSERT_GE(fd, 0) << "no /dev/uhid: " << std::strerror(errno);
    uhid_event create{};
    create.type = UHID_CREATE2;
    std::snprintf(reinterpret_cast<char*>(create.u.create2.name), sizeof create.u.create2.name,
                  "nk7x headset");
    const std::vector<uint8_t>& rdesc = HeadsetInterfaceDescriptor();
    ASSERT_LE(rdesc.size(), sizeof create.u.create2.rd_data);
    std::memcpy(create.u.create2.rd_data, rdesc.data(), rdesc.size());
    create.u.create2.rd_size = static_cast<uint16_t>(rdesc.size());
    create.u.create2.bus = 0x03; // USB
    create.u.create2.vendor = 0x0C45;
    create.u.create2.product = 0x6533;
    ASSERT_EQ(::write(fd, &create, sizeof create), static_cast<ssize_t>(sizeof create));

    // The device's side: answers every SET_REPORT and keeps what came which way.
    std::mutex mutex;
    std::vector<std::pair<uint32_t, std::vector<uint8_t>>> received; // event type, data
    std::atomic<bool> stop{false};
    std::thread device([&] {
        while (!stop.load()) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0)
                continue;
            uhid_event ev{};
            if (::read(fd, &ev, sizeof ev) <= 0)
                continue;
            std::lock_guard<std::mutex> lock(mutex);
            if (ev.type == UHID_OUTPUT) {
                received.push_back({UHID_OUTPUT, {ev.u.output.data, ev.u.output.data + ev.u.output.size}});
            } else if (ev.type == UHID_SET_REPORT) {
                received.push_back(
                    {UHID_SET_REPORT, {ev.u.set_report.data, ev.u.set_report.data + ev.u.set_report.size}});
                uhid_event reply{};
                reply.type = UHID_SET_REPORT_REPLY;
                reply.u.set_report_reply.id = ev.u.set_report.id;
                reply.u.set_report_reply.err = 0;
                [[maybe_unused]] ssize_t n = ::write(fd, &reply, sizeof reply);
            }
        }
    });

    // The program's path for the collection with the LED report (the vendor one, the fourth).
    std::string path;
    CHidTransport transport;
    for (int tries = 0; tries < 200 && path.empty(); ++tries) {
        ASSERT_EQ(transport.EnumeratePaths(), 1);
        while (const char* p = transport.NextPath()) {
            if (std::string(p).find("vid_0c45&pid_6533") != std::string::npos &&
                std::string(p).find("&col04") != std::string::npos)
                path = p;
        }
        if (path.empty())
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_FALSE(path.empty()) << "the uhid headset as a hidraw node";
    ASSERT_EQ(transport.Open(path, true, true), 1) << HidOpenErrorText(transport.LastOpenError());

    std::vector<uint8_t> led(17, 0);
    led[0] = 0xFF;
    led[1] = 0x22;
    led[2] = 0xAA;
    led[4] = 0x12;
    uint32_t sent = 0;
    EXPECT_EQ(transport.SetOutputReport(led.data(), 17, &sent, 1000), 1);
    EXPECT_EQ(sent, 17u);
    std::vector<uint8_t> frame(64, 0);
    frame[0] = 0x04;
    frame[3] = 0x03;
    EXPECT_EQ(transport.WriteReport(frame.data(), 64, &sent, 1000), 1);
    transport.Close();

    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    stop = true;
    device.join();
    uhid_event destroy{};
    destroy.type = UHID_DESTROY;
    [[maybe_unused]] ssize_t n = ::write(fd, &destroy, sizeof destroy);
    ::close(fd);

    for (const std::string& line : log.Lines())
        EXPECT_THAT(line, ::testing::Not(HasSubstr("writing them instead"))) << "the call was taken";
    std::lock_guard<std::mutex> lock(mutex);
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0].first, static_cast<uint32_t>(UHID_OUTPUT))
        << "the kernel's choice for a device with an interrupt side";
    EXPECT_EQ(Hex(received[0].second), Hex(led));
    EXPECT_EQ(received[1].first, static_cast<uint32_t>(UHID_OUTPUT));
    EXPECT_EQ(Hex(received[1].second), Hex(frame));
}

} // namespace nk7x::test
