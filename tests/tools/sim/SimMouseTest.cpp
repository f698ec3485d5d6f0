// The emulated mouse, by cable and behind its wireless receiver: its device information, button
// table, settings records, status block and shoot area as the program's command link reaches them,
// the receiver's sleeping mouse, and the device rows file.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/wait.h>

#include <json/json.h>

#include <chrono>
#include <fstream>
#include <sstream>

#include "devices/discovery/DeviceRowsFile.h"
#include "devices/mouse/MouseTables.h"
#include "link/DeviceCommandLink.h"
#include "link/hid/HidTransport.h"
#include "tests/tools/sim/SimTestSupport.h"
#include "tools/sim/MouseDescriptor.h"
#include "tools/sim/SimControlClient.h"

extern char** environ;

namespace nk7x::test {
namespace {

using Clock = std::chrono::steady_clock;

Bytes Pattern(size_t n, uint8_t seed) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i)
        b[i] = static_cast<uint8_t>(seed + i * 13);
    return b;
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

uint16_t Le16(const Bytes& b, size_t at) {
    return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}

// A device of one kind in its own folder, plugged in, with the program's command link open on it.
class SimMouseFixture : public ::testing::Test {
  protected:
    SimOptions Options(SimKind kind) const {
        SimOptions o;
        o.folder = m_folder.Path();
        o.kind = kind;
        return o;
    }
    void Plug(SimOptions o) {
        m_link.ClosePath();
        m_device.reset();
        m_device = std::make_unique<SimDevice>(std::move(o));
        ASSERT_EQ(m_device->Start(), 1) << m_device->LastError();
        ASSERT_EQ(m_link.OpenPath(m_device->CommandPath()), 1);
    }
    void Plug(SimKind kind) { Plug(Options(kind)); }
    void TearDown() override { m_link.ClosePath(); }

    std::string Ask(const std::string& request) {
        std::string answer, error;
        EXPECT_EQ(SimControlRequest(m_device->ControlPath(), request, answer, error),
                  SimControlResult::Answered)
            << error;
        return answer;
    }

    TempFolder m_folder;
    std::unique_ptr<SimDevice> m_device;
    CDeviceCommandLink m_link;
};

TEST_F(SimMouseFixture, KindsTakeTheirOwnIdsNamesAndDescriptor) {
    Plug(SimKind::Mouse);
    EXPECT_EQ(m_device->Options().name, "mouse1");
    EXPECT_EQ(m_device->CommandPath(),
              "sim#vid_320f&pid_5001&mi_01&col04#" + m_folder.Path() + "/mouse1-mi01.sock");
    const std::string rdesc = ReadText(m_device->DescriptorPath());
    EXPECT_EQ(Bytes(rdesc.begin(), rdesc.end()), MouseInterfaceDescriptor());
    EXPECT_NE(ReadText(m_device->InfoPath()).find("product=0x5001\n"), std::string::npos);

    Plug(SimKind::Receiver);
    EXPECT_EQ(m_device->Options().name, "rcv1");
    EXPECT_EQ(m_device->NotificationPath(),
              "sim#vid_320f&pid_5002&mi_01&col03#" + m_folder.Path() + "/rcv1-mi01.sock");

    // Ids and name given by the caller stay.
    SimOptions own = Options(SimKind::Mouse);
    own.name = "m9";
    own.productId = 0x5009;
    Plug(own);
    EXPECT_EQ(m_device->CommandPath(),
              "sim#vid_0c45&pid_5009&mi_01&col04#" + m_folder.Path() + "/m9-mi01.sock");
}

TEST_F(SimMouseFixture, NotificationsReachTheThirdCollectionOfTheMouseInterface) {
    Plug(SimKind::Mouse);
    CHidTransport notifications;
    ASSERT_EQ(notifications.Open(m_device->NotificationPath(), true, false), 1);
    ASSERT_TRUE(WaitUntil([&] { return m_device->ConnectionCount() == 2; }));
    EXPECT_EQ(m_device->SendNotification(0x0402), 2);
    uint8_t report[64] = {};
    uint32_t got = 0;
    ASSERT_EQ(notifications.ReadReport(report, sizeof report, &got, kDueMs), 1);
    EXPECT_EQ(report[0], 3);
    EXPECT_EQ(Le16(Bytes(report, report + 3), 1), 0x0402);
}

TEST_F(SimMouseFixture, DeviceInformationCarriesButtonsMacrosAndDpiRange) {
    Plug(SimKind::Mouse);
    DeviceInfoRecord info{};
    ASSERT_EQ(m_link.ReadDeviceInfo(info), kResultOk);
    const Bytes b(info.begin(), info.end());
    EXPECT_EQ(b, m_device->DeviceInfo());
    EXPECT_EQ(Le16(b, 2), 0x5001); // product id
    EXPECT_EQ(b[5], 10);           // buttons
    EXPECT_EQ(b[6], 32);           // macro capacity, x 128 bytes
    EXPECT_EQ(b[8], 0);            // no custom colour pages
    EXPECT_EQ(b[11], 50);          // DPI step
    EXPECT_EQ(Le16(b, 12), 320);   // largest step count
    EXPECT_EQ(Le16(b, 14), 100);   // smallest DPI

    SimOptions o = Options(SimKind::Receiver);
    o.buttonCount = 14;
    o.macroCapacity = 8;
    o.dpiStep = 100;
    o.maxDpiSteps = 0x1234;
    o.minDpi = 0x0190;
    Plug(o);
    ASSERT_EQ(m_link.ReadDeviceInfo(info), kResultOk);
    EXPECT_EQ(Le16(Bytes(info.begin(), info.end()), 2), 0x5002);
    EXPECT_EQ(info[5], 14);
    EXPECT_EQ(info[6], 8);
    EXPECT_EQ(info[11], 100);
    EXPECT_EQ(info[12], 0x34);
    EXPECT_EQ(info[13], 0x12);
    EXPECT_EQ(info[14], 0x90);
    EXPECT_EQ(info[15], 0x01);

    for (int bad : {0, 256}) {
        SimOptions b2 = Options(SimKind::Mouse);
        b2.buttonCount = bad;
        SimDevice refused(b2);
        EXPECT_EQ(refused.Start(), 0) << bad;
        EXPECT_NE(refused.LastError().find("button"), std::string::npos);
    }
}

TEST_F(SimMouseFixture, ButtonTableHoldsTheFactoryCodesAndTakesWrites) {
    Plug(SimKind::Mouse);
    ASSERT_EQ(m_link.SetDataSize(30), 1);
    Bytes table(30);
    ASSERT_EQ(m_link.ReadKeyTable(table.data()), kResultOk);
    for (size_t b = 0; b < DefaultButtonCodeTable.size(); ++b) {
        const KeyCode& code = DefaultButtonCodeTable[b].code;
        EXPECT_EQ(KeyCode({table[b * 3], table[b * 3 + 1], table[b * 3 + 2]}), code) << "button " << b;
    }

    // Button 3 (forward) becomes the key A; the table goes back whole, as the page writes it.
    table[9] = 0x20;
    table[10] = 0x00;
    table[11] = 0x04;
    ASSERT_EQ(m_link.WriteKeyTable(table.data(), 0), kResultOk);
    EXPECT_EQ(m_device->KeyTable(), table);
    Bytes back(30);
    ASSERT_EQ(m_link.ReadKeyTable(back.data()), kResultOk);
    EXPECT_EQ(back, table);

    // The table ends after K entries; the keyboard's LED table and colour pages are not there.
    ASSERT_EQ(m_link.SetDataSize(33), 1);
    Bytes longer(33);
    EXPECT_EQ(m_link.ReadKeyTable(longer.data()), kResultDeviceFailed);
    EXPECT_EQ(m_link.ReadKeyIndexTable(longer.data()), kResultDeviceFailed);
    EXPECT_EQ(m_link.WriteLightingPage(longer.data(), 3, 0, 512), kResultDeviceFailed);
    EXPECT_TRUE(m_device->LedTable().empty());
    EXPECT_EQ(Ask("dump leds").rfind("error: ", 0), 0u);

    // A table longer than ten buttons holds empty entries past them.
    SimOptions o = Options(SimKind::Mouse);
    o.buttonCount = 12;
    Plug(o);
    const Bytes twelve = m_device->KeyTable();
    ASSERT_EQ(twelve.size(), 36u);
    EXPECT_EQ(Bytes(twelve.begin() + 30, twelve.end()), Bytes(6, 0));
    const std::string dump = Ask("dump keytable");
    EXPECT_EQ(std::count(dump.begin(), dump.end(), '\n'), 1 + 12);
    EXPECT_NE(dump.find("009: 16 90 01\n"), std::string::npos) << dump;
}

TEST_F(SimMouseFixture, SettingsRecordsSitAtEvery128BytesAndTakeA66ByteWrite) {
    Plug(SimKind::Mouse);
    uint8_t n = 0xEE;
    ASSERT_EQ(m_link.ReadParameters(&n, 1, 0), kResultOk);
    EXPECT_EQ(n, 0);
    Bytes record(71);
    ASSERT_EQ(m_link.ReadParameters(record.data(), 71, 0), kResultOk);
    EXPECT_EQ(record, m_device->SettingsRecord(0));
    EXPECT_EQ(record[1], 0);  // lighting mode
    EXPECT_LE(record[2], 4);  // brightness
    EXPECT_LE(record[3], 4);  // speed, counted downwards
    EXPECT_EQ(record[11], 3); // report-rate stage
    EXPECT_EQ(record[12], 0); // active DPI stage
    const uint16_t steps[5] = {8, 16, 32, 48, 64};
    for (size_t s = 0; s < 5; ++s) {
        const size_t at = 14 + 9 * s;
        EXPECT_EQ(record[at], 1) << "stage " << s << " on";
        EXPECT_EQ(Le16(record, at + 2), steps[s]) << "stage " << s;
        EXPECT_EQ(Le16(record, at + 4), steps[s]) << "stage " << s;
        EXPECT_NE(record[at + 6] | record[at + 7] | record[at + 8], 0) << "stage " << s << " has a colour";
    }
    EXPECT_EQ(record[59], 1);

    // Record 2 is the one in use. Its last five bytes are the mouse's own; a 66-byte write leaves them.
    ASSERT_TRUE(m_device->SetParameters(0, {2}));
    ASSERT_TRUE(m_device->SetParameters(2 * 128 + 66, {0xA1, 0xA2, 0xA3, 0xA4, 0xA5}));
    ASSERT_EQ(m_link.ReadParameters(&n, 1, 0), kResultOk);
    ASSERT_EQ(n, 2);
    m_device->ClearFrameLog();
    const Bytes written = Pattern(66, 0x31);
    ASSERT_EQ(m_link.WriteParameters(written.data(), written.size(), static_cast<uint16_t>(n * 128)),
              kResultOk);
    const std::vector<SimFrameRecord> log = m_device->FrameLog();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].length, 56);
    EXPECT_EQ(log[0].offset, 256);
    EXPECT_EQ(log[1].length, 10);
    EXPECT_EQ(log[1].offset, 312);
    ASSERT_EQ(m_link.ReadParameters(record.data(), 71, static_cast<uint16_t>(n * 128)), kResultOk);
    EXPECT_EQ(Bytes(record.begin(), record.begin() + 66), written);
    EXPECT_EQ(Bytes(record.begin() + 66, record.end()), (Bytes{0xA1, 0xA2, 0xA3, 0xA4, 0xA5}));
    EXPECT_EQ(m_device->SettingsRecord(0)[12], 0); // record 0 untouched
    EXPECT_EQ(Ask("dump record").rfind("ok\n0100: 31 3e 4b", 0), 0u) << Ask("dump record");

    // The last whole record of the 4096-byte area is 31.
    EXPECT_EQ(m_device->SettingsRecord(31).size(), 71u);
    EXPECT_TRUE(m_device->SettingsRecord(32).empty());
    EXPECT_EQ(m_link.ReadParameters(record.data(), 71, 31 * 128), kResultOk);
    EXPECT_EQ(m_link.ReadParameters(record.data(), 71, 32 * 128 - 8), kResultDeviceFailed);
    EXPECT_EQ(Ask("dump record 32").rfind("error: ", 0), 0u);

    m_device->ResetToFactory();
    EXPECT_EQ(m_device->Parameters()[0], 0);
    EXPECT_EQ(m_device->SettingsRecord(2), Bytes(71, 0));
}

TEST_F(SimMouseFixture, StatusBlockFollowsCtlSetStatus) {
    Plug(SimKind::Mouse);
    Bytes block(6);
    ASSERT_EQ(m_link.ReadBlock(block.data(), 6, 0), kResultOk);
    EXPECT_EQ(block, (Bytes{100, 0, 0, 0, 0, 0})); // by cable: full and powered

    EXPECT_EQ(Ask("set status 000000000004"), "ok\n"); // the whole block, as for the keyboard
    EXPECT_EQ(Ask("set status 55 1"), "ok\n");
    ASSERT_EQ(m_link.ReadBlock(block.data(), 6, 0), kResultOk);
    EXPECT_EQ(block, (Bytes{55, 1, 0, 0, 0, 4})); // the phone type stays when not given
    EXPECT_EQ(Ask("set status 7 2 0x03"), "ok\n");
    ASSERT_EQ(m_link.ReadBlock(block.data(), 6, 0), kResultOk);
    EXPECT_EQ(block, (Bytes{7, 2, 0, 0, 0, 3}));

    for (const char* bad : {"set status 101 0", "set status 50 3", "set status 50 1 256", "set status 5x 1",
                            "set status 50 1 2 3"}) {
        EXPECT_EQ(Ask(bad).rfind("error: ", 0), 0u) << bad;
    }
    EXPECT_EQ(m_device->StatusBlock(), (Bytes{7, 2, 0, 0, 0, 3}));
    EXPECT_FALSE(m_device->SetPowerStatus(-1, 0));
    EXPECT_EQ(Ask("dump status"), "ok\n0000: 07 02 00 00 00 03\n");
    EXPECT_EQ(m_link.ReadBlock(block.data(), 7, 0), kResultDeviceFailed);

    Plug(SimKind::Receiver);
    ASSERT_EQ(m_link.ReadBlock(block.data(), 6, 0), kResultOk);
    EXPECT_EQ(block[1], 2); // a wireless mouse runs on its battery
    EXPECT_LE(block[0], 100);
}

TEST_F(SimMouseFixture, ShootAreaAndLiveColoursLandAsSent) {
    Plug(SimKind::Mouse);
    const Bytes image = Pattern(130, 0x55);
    ASSERT_EQ(m_link.WriteShootArea(image.data(), image.size()), kResultOk);
    const std::vector<SimFrameRecord> log = m_device->FrameLog();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].command, 23);
    EXPECT_EQ(std::make_pair(int(log[1].length), int(log[1].offset)), std::make_pair(56, 56));
    EXPECT_EQ(std::make_pair(int(log[2].length), int(log[2].offset)), std::make_pair(18, 112));
    const Bytes area = m_device->ShootArea();
    EXPECT_EQ(Bytes(area.begin(), area.begin() + 130), image);
    EXPECT_EQ(area[130], 0);

    const Bytes colours = Pattern(30, 0x10);
    ASSERT_EQ(m_link.StreamLighting(colours.data(), colours.size()), kResultOk);
    const Bytes live = m_device->LiveLighting();
    EXPECT_EQ(Bytes(live.begin(), live.begin() + 30), colours);
    EXPECT_EQ(Ask("dump live").rfind("ok\n0000: 10 1d 2a 37", 0), 0u);
}

TEST_F(SimMouseFixture, TheCableMouseAlwaysAnswersProbeAndNeverSleeps) {
    Plug(SimKind::Mouse);
    EXPECT_TRUE(m_link.Probe());
    EXPECT_FALSE(m_device->SetMouseAsleep(true));
    EXPECT_EQ(Ask("sleep").rfind("error: ", 0), 0u);
    EXPECT_TRUE(m_link.Probe());
    EXPECT_EQ(Ask("status").find("mouse_asleep"), std::string::npos);

    Plug(Options(SimKind::Keyboard));
    EXPECT_EQ(Ask("sleep").rfind("error: ", 0), 0u);
}

TEST_F(SimMouseFixture, ASleepingReceiverAnswersProbeNoAndNothingElse) {
    Plug(SimKind::Receiver);
    m_link.SetLongTimeouts(true); // as the program links a receiver
    EXPECT_TRUE(m_link.Probe());
    EXPECT_NE(Ask("status").find("mouse_asleep=no\n"), std::string::npos);

    EXPECT_EQ(Ask("sleep"), "ok\n");
    EXPECT_TRUE(m_device->IsMouseAsleep());
    EXPECT_NE(Ask("status").find("mouse_asleep=yes\n"), std::string::npos);
    const auto start = Clock::now();
    EXPECT_FALSE(m_link.Probe()); // the receiver answers at once that the mouse does not
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(kDueMs));

    RawClient raw(m_device->SocketPath());
    auto probe = raw.Exchange(Request(0xAA));
    ASSERT_TRUE(probe);
    EXPECT_EQ((*probe)[3], 0xAA);
    EXPECT_EQ((*probe)[7], kSimStatusOk);
    EXPECT_EQ((*probe)[8], 0x00);

    // Configuration frames reach the receiver and go no further: no answer, nothing applied.
    const Bytes before = m_device->Parameters();
    const Bytes buttonsBefore = m_device->KeyTable();
    const uint64_t framesBefore = m_device->Counters().framesReceived;
    const std::vector<Bytes> frames = {Request(1), ReadRequest(3, 34), Request(6, {9, 9}, 0),
                                       ReadRequest(26, 6), Request(9, {1, 2, 3}, 0)};
    for (const Bytes& f : frames)
        ASSERT_TRUE(raw.Send(f));
    ASSERT_TRUE(m_device->WaitForFrames(framesBefore + frames.size(), kDueMs));
    EXPECT_FALSE(raw.ReceiveReply(100).has_value());
    EXPECT_FALSE(m_device->InConfig());
    EXPECT_EQ(m_device->Parameters(), before);
    EXPECT_EQ(m_device->KeyTable(), buttonsBefore);
    EXPECT_EQ(m_device->Counters().framesWhileAsleep, frames.size());
    const std::vector<SimFrameRecord> log = m_device->FrameLog();
    for (size_t i = log.size() - frames.size(); i < log.size(); ++i)
        EXPECT_FALSE(log[i].answered) << "frame " << i;
    EXPECT_NE(Ask("status").find("frames_while_asleep=5\n"), std::string::npos);

    // Through the link with the short time-out, the program's BeginConfig gives up.
    m_link.SetLongTimeouts(false);
    EXPECT_EQ(m_link.BeginConfig(), kResultFailed);

    // Pulling the receiver out and back in does not wake the mouse; "wake" does.
    m_link.ClosePath();
    raw.Close();
    EXPECT_EQ(Ask("unplug"), "ok\n");
    EXPECT_EQ(Ask("plug"), "ok\n");
    ASSERT_EQ(m_link.OpenPath(m_device->CommandPath()), 1);
    EXPECT_FALSE(m_link.Probe());
    EXPECT_EQ(Ask("wake"), "ok\n");
    EXPECT_TRUE(m_link.Probe());
    EXPECT_EQ(m_link.BeginConfig(), kResultOk);
    EXPECT_TRUE(m_device->InConfig());
    uint8_t record0 = 0xEE;
    EXPECT_EQ(m_link.ReadParameters(&record0, 1, 0), kResultOk);
    EXPECT_EQ(record0, 0);
}

TEST_F(SimMouseFixture, ReplyDelayHoldsEveryAnswerBack) {
    SimOptions o = Options(SimKind::Receiver);
    o.replyDelayMs = 150;
    Plug(o);
    RawClient raw(m_device->SocketPath());
    const auto start = Clock::now();
    auto r = raw.Exchange(ReadRequest(3, 34));
    ASSERT_TRUE(r);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(150));
    EXPECT_EQ((*r)[8 + 5], 10);
    EXPECT_NE(Ask("status").find("reply_delay_ms=150\n"), std::string::npos);

    SimOptions bad = Options(SimKind::Mouse);
    bad.replyDelayMs = -1;
    SimDevice refused(bad);
    EXPECT_EQ(refused.Start(), 0);
}

// Creation and removal events of a folder, in the order they happened.
class FolderEvents {
  public:
    explicit FolderEvents(const std::string& folder) {
        m_fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (m_fd >= 0)
            inotify_add_watch(m_fd, folder.c_str(), IN_CREATE | IN_MOVED_TO | IN_DELETE);
    }
    ~FolderEvents() {
        if (m_fd >= 0)
            close(m_fd);
    }
    bool Ok() const { return m_fd >= 0; }
    // "+name" for a file that appeared (created or renamed into place), "-name" for one removed.
    std::vector<std::string> Take() {
        std::vector<std::string> out;
        alignas(inotify_event) char buf[4096];
        for (;;) {
            const ssize_t n = read(m_fd, buf, sizeof buf);
            if (n <= 0)
                return out;
            for (ssize_t at = 0; at < n;) {
                const auto* e = reinterpret_cast<const inotify_event*>(buf + at);
                if (e->len > 0)
                    out.push_back(std::string(e->mask & IN_DELETE ? "-" : "+") + e->name);
                at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
            }
        }
    }

  private:
    int m_fd = -1;
};

size_t IndexOf(const std::vector<std::string>& events, const std::string& event) {
    return static_cast<size_t>(std::find(events.begin(), events.end(), event) - events.begin());
}

Json::Value ParseJson(const std::string& text) {
    Json::Value root;
    Json::CharReaderBuilder builder;
    std::string errors;
    std::istringstream in(text);
    EXPECT_TRUE(Json::parseFromStream(builder, in, &root, &errors)) << errors << "\n" << text;
    return root;
}

// A number of the rows file: a JSON integer or a "0x..." string.
long RowNumber(const Json::Value& v) {
    if (v.isIntegral())
        return v.asInt64();
    return v.isString() ? std::stol(v.asString(), nullptr, 0) : -1;
}

TEST(SimDeviceRows, EachKindListsItsInterfacesAndFamily) {
    struct Case {
        SimKind kind;
        long product;
        long tableKind;
        const char* family;
    };
    for (const Case& c :
         {Case{SimKind::Mouse, 0x5001, 2, "mouse"}, Case{SimKind::Receiver, 0x5002, 6, "mouse"},
          Case{SimKind::Keyboard, 0x0820, 1, "keyboard"}}) {
        TempFolder folder;
        SimOptions o;
        o.folder = folder.Path();
        o.kind = c.kind;
        o.deviceRows = true;
        SimDevice device(o);
        ASSERT_EQ(device.Start(), 1) << device.LastError();
        EXPECT_EQ(device.DeviceRowsPath(), folder.Path() + "/" + device.Options().name + ".devices.json");
        const Json::Value rows = ParseJson(ReadText(device.DeviceRowsPath()));
        const long vendor = c.kind == SimKind::Keyboard ? 0x0C45 : 0x320F;

        const Json::Value& interfaces = rows["interfaces"];
        ASSERT_EQ(interfaces.size(), 2u) << c.family;
        const long collections[2] = {4, 3};
        const char* roles[2] = {"command", "notification"};
        const long pages[2] = {0xFF1C, 0x000C};
        const long usages[2] = {0x0092, 0x0001};
        for (Json::ArrayIndex i = 0; i < 2; ++i) {
            const Json::Value& row = interfaces[i];
            EXPECT_EQ(RowNumber(row["vendor"]), vendor);
            EXPECT_EQ(RowNumber(row["product"]), c.product);
            EXPECT_EQ(RowNumber(row["interface"]), 1);
            EXPECT_EQ(RowNumber(row["collection"]), collections[i]);
            EXPECT_EQ(RowNumber(row["kind"]), c.tableKind);
            EXPECT_EQ(row["role"].asString(), roles[i]);
            EXPECT_EQ(RowNumber(row["usagePage"]), pages[i]);
            EXPECT_EQ(RowNumber(row["usage"]), usages[i]);
        }

        const Json::Value& options = rows["options"];
        ASSERT_EQ(options.size(), 1u);
        EXPECT_EQ(options[0]["family"].asString(), c.family);
        EXPECT_EQ(RowNumber(options[0]["vendor"]), vendor);
        EXPECT_EQ(RowNumber(options[0]["product"]), c.product);
        EXPECT_EQ(RowNumber(options[0]["kind"]), c.tableKind);
        EXPECT_EQ(options[0]["role"].asString(), "command");

        // The program's reader takes every row.
        const DeviceRows taken = ParseDeviceRows(ReadText(device.DeviceRowsPath()), device.DeviceRowsPath());
        EXPECT_TRUE(taken.problems.empty()) << taken.problems.front();
        ASSERT_EQ(taken.interfaces.size(), 2u);
        EXPECT_EQ(taken.interfaces[0].role, kRoleCommand);
        EXPECT_EQ(taken.interfaces[1].role, kRoleNotification);
        ASSERT_EQ(taken.options.size(), 1u);
        EXPECT_EQ(KindNumber(taken.options[0].kind), c.tableKind);
        EXPECT_EQ(taken.options[0].family, FamilyOf(taken.options[0].kind));
    }
}

TEST(SimDeviceRows, WrittenBeforeTheSocketAndRemovedAfterIt) {
    TempFolder folder;
    FolderEvents events(folder.Path());
    ASSERT_TRUE(events.Ok());
    SimOptions o;
    o.folder = folder.Path();
    o.kind = SimKind::Receiver;
    SimDevice device(o);
    ASSERT_EQ(device.Start(), 1) << device.LastError();

    std::vector<std::string> plugged = events.Take();
    const size_t rows = IndexOf(plugged, "+rcv1.devices.json");
    const size_t socket = IndexOf(plugged, "+rcv1-mi01.sock");
    ASSERT_LT(rows, plugged.size()) << "no rows file appeared";
    ASSERT_LT(socket, plugged.size());
    EXPECT_LT(rows, socket);
    EXPECT_LT(IndexOf(plugged, "+rcv1.devices.json.tmp"), rows); // written aside, then renamed in

    device.Unplug(); // the control socket stays; the device is gone
    std::vector<std::string> unplugged = events.Take();
    EXPECT_LT(IndexOf(unplugged, "-rcv1-mi01.sock"), IndexOf(unplugged, "-rcv1.devices.json"));
    EXPECT_LT(IndexOf(unplugged, "-rcv1.devices.json"), unplugged.size());
    EXPECT_FALSE(FileExists(device.DeviceRowsPath()));

    ASSERT_EQ(device.Start(), 1); // plugged back in: the rows come back first
    plugged = events.Take();
    EXPECT_LT(IndexOf(plugged, "+rcv1.devices.json"), IndexOf(plugged, "+rcv1-mi01.sock"));

    // An unplug fault pulls the rows out with the device.
    ASSERT_EQ(device.AddFaults("unplug@1"), 1);
    RawClient raw(device.SocketPath());
    ASSERT_TRUE(raw.Send(Request(1)));
    ASSERT_TRUE(WaitUntil([&] { return !device.IsPlugged(); }));
    EXPECT_FALSE(FileExists(device.DeviceRowsPath()));

    device.Stop();
    EXPECT_TRUE(folder.Entries().empty());
}

TEST(SimDeviceRows, KeyboardInProcessWritesNoneUnlessAsked) {
    TempFolder folder;
    SimOptions o;
    o.folder = folder.Path();
    SimDevice keyboard(o);
    ASSERT_EQ(keyboard.Start(), 1);
    EXPECT_FALSE(FileExists(keyboard.DeviceRowsPath()));

    SimOptions m;
    m.folder = folder.Path();
    m.kind = SimKind::Mouse;
    m.deviceRows = false;
    SimDevice mouse(m);
    ASSERT_EQ(mouse.Start(), 1);
    EXPECT_FALSE(FileExists(mouse.DeviceRowsPath()));
}

// The nk7x-sim program with the mouse kinds, run as a user runs it.
class SimMouseProgram : public ::testing::Test {
  protected:
    void SetUp() override {
        m_binary = std::string(NK7X_BINARY_DIR) + "/bin/nk7x-sim";
        if (access(m_binary.c_str(), X_OK) != 0)
            GTEST_SKIP() << "build the nk7x-sim target first: " << m_binary;
        m_dir = m_root.Path() + "/sim";
    }
    pid_t Spawn(const std::vector<std::string>& args, const std::string& output) {
        std::string simDir = "NK7X_SIM_DIR=" + m_dir;
        std::string path = "PATH=/usr/bin:/bin";
        std::vector<char*> argv{const_cast<char*>(m_binary.c_str())};
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        char* envp[] = {simDir.data(), path.data(), nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        pid_t pid = -1;
        if (posix_spawn(&pid, m_binary.c_str(), &actions, nullptr, argv.data(), envp) != 0)
            pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        return pid;
    }
    // Runs the program to its end (only for runs that end by themselves).
    int Run(const std::vector<std::string>& args, std::string& text) {
        const std::string output = m_root.Path() + "/out";
        const pid_t pid = Spawn(args, output);
        if (pid < 0)
            return -1;
        int status = 0;
        waitpid(pid, &status, 0);
        text = ReadText(output);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string m_binary;
    TempFolder m_root;
    std::string m_dir;
};

TEST_F(SimMouseProgram, RunsAReceiverWithItsRowsAndPutsItsMouseToSleep) {
    const pid_t pid = Spawn({"--kind", "receiver", "--name", "rcv7", "--buttons", "12", "--dpi-step", "100",
                             "--max-steps", "160", "--min-dpi", "200"},
                            m_root.Path() + "/device.log");
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(WaitUntil([&] { return FileExists(m_dir + "/rcv7.ctl"); }))
        << ReadText(m_root.Path() + "/device.log");
    EXPECT_NE(ReadText(m_dir + "/rcv7.devices.json").find("\"product\": \"0x5002\""), std::string::npos);

    std::string text;
    EXPECT_EQ(Run({"ctl", "--name", "rcv7", "status"}, text), 0) << text;
    EXPECT_NE(text.find("kind=receiver\n"), std::string::npos) << text;
    EXPECT_NE(text.find("buttons=12\n"), std::string::npos) << text;
    EXPECT_EQ(Run({"ctl", "--name", "rcv7", "dump", "info"}, text), 0);
    EXPECT_EQ(text.substr(0, 54), "0000: 05 01 02 50 02 0c 20 01 00 00 00 64 a0 00 c8 00\n") << text;

    RawClient raw(m_dir + "/rcv7-mi01.sock");
    ASSERT_TRUE(raw.IsConnected());
    EXPECT_EQ(Run({"ctl", "--name", "rcv7", "sleep"}, text), 0) << text;
    auto probe = raw.Exchange(Request(0xAA));
    ASSERT_TRUE(probe);
    EXPECT_EQ((*probe)[8], 0x00);
    EXPECT_EQ(Run({"ctl", "--name", "rcv7", "wake"}, text), 0) << text;
    probe = raw.Exchange(Request(0xAA));
    ASSERT_TRUE(probe);
    EXPECT_EQ((*probe)[8], 0xFF);
    EXPECT_EQ(Run({"ctl", "--name", "rcv7", "set", "status", "42", "2"}, text), 0) << text;
    auto block = raw.Exchange(ReadRequest(26, 6));
    ASSERT_TRUE(block);
    EXPECT_EQ(Bytes(block->begin() + 8, block->begin() + 10), (Bytes{42, 2}));

    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_TRUE(std::filesystem::is_empty(m_dir));
}

TEST_F(SimMouseProgram, OptionsOfTheOtherFamilyAreUsageErrors) {
    std::string text;
    EXPECT_EQ(Run({"--kind", "toaster"}, text), 2);
    EXPECT_NE(text.find("keyboard, mouse or receiver"), std::string::npos) << text;
    EXPECT_EQ(Run({"--kind", "mouse", "--keys", "20"}, text), 2);
    EXPECT_EQ(Run({"--buttons", "5"}, text), 2); // a keyboard by default
    EXPECT_EQ(Run({"--kind", "mouse", "--buttons", "0"}, text), 2);
    EXPECT_EQ(Run({"--kind", "mouse", "--max-steps", "70000"}, text), 2);
    EXPECT_EQ(Run({"--kind", "receiver", "--reply-delay-ms", "-5"}, text), 2);
    EXPECT_FALSE(FileExists(m_dir) && !std::filesystem::is_empty(m_dir));
}

} // namespace
} // namespace nk7x::test
