// The emulated headset: its ids, rows and collections (the vendor one declaring the LED output
// report), the commands it takes and refuses, the pad's settings record, and the LED output reports
// it takes without answering, in process and as the nk7x-sim program.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <json/json.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "devices/discovery/DeviceRowsFile.h"
#include "devices/discovery/DeviceTables.h"
#include "link/DeviceCommandLink.h"
#include "link/hid/HidTransport.h"
#include "link/hid/ReportDescriptor.h"
#include "tests/tools/sim/SimTestSupport.h"
#include "tools/sim/PadMemory.h"
#include "tools/sim/SimControlClient.h"

namespace nk7x::test {
namespace {

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

long RowNumber(const Json::Value& v) {
    if (v.isIntegral())
        return v.asInt64();
    return v.isString() ? std::stol(v.asString(), nullptr, 0) : -1;
}

// One LED output report: id 0xFF, bank, colour-and-half code, 0, then the values from byte 4. The
// bytes after the values are filled with `rest`, which the headset ignores.
Bytes LedReport(uint8_t bank, uint8_t code, const Bytes& values, uint8_t rest = 0) {
    Bytes r(17, rest);
    r[0] = 0xFF;
    r[1] = bank;
    r[2] = code;
    r[3] = 0;
    for (size_t i = 0; i < values.size(); ++i)
        r[4 + i] = values[i];
    return r;
}

// `count` values counting up from `first`.
Bytes Ramp(uint8_t first, size_t count) {
    Bytes b(count);
    for (size_t i = 0; i < count; ++i)
        b[i] = static_cast<uint8_t>(first + i);
    return b;
}

// LED `led` of a bank as R, G, B.
Bytes Led(const std::array<uint8_t, 39>& bank, size_t led) {
    return Bytes{bank[led * 3], bank[led * 3 + 1], bank[led * 3 + 2]};
}

const std::string kDarkBank = " 000000 000000 000000 000000 000000 000000 000000 000000 000000 000000 000000 "
                              "000000 000000\n";

class SimHeadsetFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        SimOptions o;
        o.folder = m_folder.Path();
        o.kind = SimKind::Headset;
        Plug(o);
    }
    void Plug(const SimOptions& o) {
        m_link.ClosePath();
        m_device.reset();
        m_device = std::make_unique<SimDevice>(o);
        ASSERT_EQ(m_device->Start(), 1) << m_device->LastError();
        ASSERT_EQ(m_link.OpenPath(m_device->CommandPath()), 1);
    }
    void TearDown() override { m_link.ClosePath(); }
    std::string Ask(const std::string& request) {
        std::string answer, error;
        EXPECT_EQ(SimControlRequest(m_device->ControlPath(), request, answer, error),
                  SimControlResult::Answered)
            << error;
        return answer;
    }
    // Sends LED reports on a raw connection and waits until the device has taken them all.
    void SendLedReports(const std::vector<Bytes>& reports) {
        RawClient raw(m_device->SocketPath());
        ASSERT_TRUE(raw.IsConnected());
        const uint64_t before = m_device->Counters().lightingReports;
        for (const Bytes& r : reports)
            ASSERT_TRUE(raw.Send(r));
        ASSERT_TRUE(
            WaitUntil([&] { return m_device->Counters().lightingReports == before + reports.size(); }));
    }

    TempFolder m_folder;
    std::unique_ptr<SimDevice> m_device;
    CDeviceCommandLink m_link;
};

TEST_F(SimHeadsetFixture, TakesItsOwnIdsAndNameUnlessGivenOthers) {
    EXPECT_EQ(m_device->Options().name, "headset1");
    EXPECT_EQ(m_device->CommandPath(),
              "sim#vid_0c45&pid_6533&mi_01&col04#" + m_folder.Path() + "/headset1-mi01.sock");
    EXPECT_EQ(m_device->NotificationPath(),
              "sim#vid_0c45&pid_6533&mi_01&col03#" + m_folder.Path() + "/headset1-mi01.sock");
    const std::string info = ReadText(m_device->InfoPath());
    EXPECT_NE(info.find("vendor=0x0c45\nproduct=0x6533\n"), std::string::npos) << info;

    SimOptions own;
    own.folder = m_folder.Path();
    own.kind = SimKind::Headset;
    own.name = "hs9";
    own.vendorId = 0x1234;
    own.productId = 0x6534;
    Plug(own);
    EXPECT_EQ(m_device->CommandPath(),
              "sim#vid_1234&pid_6534&mi_01&col04#" + m_folder.Path() + "/hs9-mi01.sock");
    const Bytes record = m_device->DeviceInfo();
    EXPECT_EQ(record[2] | record[3] << 8, 0x6534);
}

TEST_F(SimHeadsetFixture, VendorCollectionDeclaresTheLedOutputReport) {
    const std::string rdesc = ReadText(m_device->DescriptorPath());
    std::vector<HidCollectionInfo> cols;
    ASSERT_EQ(ParseReportDescriptor(reinterpret_cast<const uint8_t*>(rdesc.data()), rdesc.size(), cols),
              HidParseError::None);
    ASSERT_EQ(cols.size(), 4u);
    const std::pair<uint16_t, uint16_t> usages[4] = {
        {0x01, 0x80}, {0x01, 0x06}, {0x0C, 0x01}, {0xFF1C, 0x92}};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(cols[i].usagePage, usages[i].first) << "collection " << i + 1;
        EXPECT_EQ(cols[i].usage, usages[i].second) << "collection " << i + 1;
    }
    const HidCollectionInfo& vendor = cols[3];
    EXPECT_EQ(vendor.ReportLength(HidReportType::Input, 4), 64);
    EXPECT_EQ(vendor.ReportLength(HidReportType::Output, 4), 64);
    EXPECT_EQ(vendor.ReportLength(HidReportType::Output, 0xFF), 17);
    EXPECT_EQ(vendor.ReportLength(HidReportType::Input, 0xFF), 0) << "the LED report goes one way";
    for (size_t i = 0; i < 3; ++i)
        EXPECT_FALSE(cols[i].HasReportId(0xFF)) << "collection " << i + 1;
    EXPECT_EQ(cols[2].ReportLength(HidReportType::Input, 3), 3);

    // The program's HID layer lets the LED report out through the command collection only, whole.
    CHidTransport command;
    ASSERT_EQ(command.Open(m_device->CommandPath(), true, true), 1);
    const Bytes red = LedReport(0x22, 0xAA, Ramp(1, 7));
    uint32_t sent = 0;
    EXPECT_EQ(command.WriteReport(red.data(), static_cast<uint32_t>(red.size()), &sent, kDueMs), 1);
    EXPECT_EQ(sent, 17u);
    ASSERT_TRUE(WaitUntil([&] { return m_device->HeadsetLeds().reports == 1; }));
    EXPECT_EQ(Led(m_device->HeadsetLeds().bank22, 6), (Bytes{7, 0, 0}));
    EXPECT_EQ(command.WriteReport(red.data(), 16, &sent, kDueMs), 0) << "a cut report stays in";

    CHidTransport notifications;
    ASSERT_EQ(notifications.Open(m_device->NotificationPath(), true, true), 1);
    EXPECT_EQ(notifications.WriteReport(red.data(), static_cast<uint32_t>(red.size()), &sent, kDueMs), 0);
}

TEST_F(SimHeadsetFixture, InformationNamesTheHeadsetAndItsLedsButIsNotGiven) {
    // Like a headset that need not answer command 3, it refuses it.
    DeviceInfoRecord info{};
    EXPECT_NE(m_link.ReadDeviceInfo(info), kResultOk);
    EXPECT_EQ(m_device->Counters().refusedFrames, 1u);
    const Bytes b = m_device->DeviceInfo();
    ASSERT_EQ(b.size(), 34u);
    EXPECT_EQ(b[0] | b[1] << 8, 0x0105); // firmware
    EXPECT_EQ(b[2] | b[3] << 8, 0x6533); // product id
    EXPECT_EQ(b[4], 7);                  // kind: headset
    EXPECT_EQ(b[5], 13);                 // LEDs
    EXPECT_EQ(b[6], 0);                  // no macro memory
    EXPECT_EQ(b[7], 1);                  // one settings record
    EXPECT_EQ(Bytes(b.begin() + 8, b.end()), Bytes(26, 0));

    const std::string status = Ask("status");
    EXPECT_NE(status.find("kind=headset\n"), std::string::npos) << status;
    EXPECT_NE(status.find("leds=13\n"), std::string::npos) << status;
    EXPECT_EQ(status.find("keys="), std::string::npos) << status;
    EXPECT_EQ(status.find("macro_capacity="), std::string::npos) << status;
}

TEST_F(SimHeadsetFixture, TablesItLacksAreRefusedAndWhatItHasAnswers) {
    ASSERT_EQ(m_link.SetDataSize(3), 1);
    Bytes buffer(512, 0);
    EXPECT_EQ(m_link.ReadKeyTable(buffer.data()), kResultDeviceFailed);
    EXPECT_EQ(m_link.WriteKeyTable(buffer.data(), 0), kResultDeviceFailed);
    EXPECT_EQ(m_link.ReadKeyIndexTable(buffer.data()), kResultDeviceFailed);
    EXPECT_EQ(m_link.WriteLightingPage(buffer.data(), 56, 0, 512), kResultDeviceFailed);
    EXPECT_EQ(m_link.WriteMacroArea(buffer.data(), 56), kResultDeviceFailed);
    EXPECT_EQ(m_link.WriteShootArea(buffer.data(), 56), kResultDeviceFailed);
    RawClient raw(m_device->SocketPath());
    for (uint8_t command : {7, 9, 11, 21, 23, 27}) {
        auto reply = raw.Exchange(ReadRequest(command, 1));
        ASSERT_TRUE(reply) << int(command);
        EXPECT_EQ((*reply)[7], kSimStatusRefused) << int(command);
    }
    for (const char* area : {"dump keytable", "dump leds", "dump macros", "dump shoot"})
        EXPECT_EQ(Ask(area).rfind("error: a headset has no ", 0), 0u) << area;

    EXPECT_EQ(m_link.BeginConfig(), kResultOk);
    EXPECT_TRUE(m_device->InConfig());
    EXPECT_EQ(m_link.EndConfig(), kResultOk);
    EXPECT_FALSE(m_device->InConfig());
    EXPECT_TRUE(m_link.Probe());
    EXPECT_EQ(m_link.EnterLiveLighting(), kResultOk);
    EXPECT_TRUE(m_device->IsLiveLighting());
    const Bytes colours = Ramp(0x30, 39);
    ASSERT_EQ(m_link.StreamLighting(colours.data(), colours.size()), kResultOk);
    const Bytes live = m_device->LiveLighting();
    EXPECT_EQ(Bytes(live.begin(), live.begin() + 39), colours);
    std::array<uint8_t, 6> status{};
    ASSERT_EQ(m_link.ReadBlock(status.data(), status.size(), 0), kResultOk);
    EXPECT_EQ(Bytes(status.begin(), status.end()), (Bytes{100, 0, 0, 0, 0, 0}));
}

TEST_F(SimHeadsetFixture, SettingsRecordIsReadAtEvery25BytesAndWrittenAtEvery64) {
    Bytes record(26);
    ASSERT_EQ(m_link.ReadParameters(record.data(), record.size(), 0), kResultOk);
    EXPECT_EQ(record, SimFactoryPadSettingsRecord());
    EXPECT_EQ(Bytes(record.begin(), record.begin() + 9), (Bytes{0, 0, 4, 2, 1, 1, 0xFF, 0xFF, 0xFF}));

    // A 21-byte write at 0 leaves the five bytes only a read reaches.
    const Bytes written(21, 0x33);
    ASSERT_EQ(m_link.WriteParameters(written.data(), written.size(), 0), kResultOk);
    const Bytes after = m_device->SettingsRecord(0);
    ASSERT_EQ(after.size(), 26u);
    EXPECT_EQ(Bytes(after.begin(), after.begin() + 21), written);
    EXPECT_EQ(Bytes(after.begin() + 21, after.end()), Bytes(record.begin() + 21, record.end()));

    // Record 1 is written at 64 and read at 25.
    const Bytes record1 = m_device->SettingsRecord(1);
    const Bytes one(21, 0x71);
    ASSERT_EQ(m_link.WriteParameters(one.data(), one.size(), 64), kResultOk);
    EXPECT_EQ(m_device->SettingsRecord(1), record1);
    const Bytes all = m_device->Parameters();
    EXPECT_EQ(Bytes(all.begin() + 64, all.begin() + 85), one);
    EXPECT_EQ(Ask("dump record 1").substr(0, 9), "ok\n0019: ");

    // Past the end of the area nothing is taken.
    Bytes tail(8);
    EXPECT_EQ(m_link.ReadParameters(tail.data(), tail.size(), 4092), kResultDeviceFailed);

    EXPECT_EQ(Ask("reset"), "ok\n");
    EXPECT_EQ(m_device->SettingsRecord(0), SimFactoryPadSettingsRecord());
}

TEST_F(SimHeadsetFixture, EachReportSetsItsColourOfItsHalfOfItsBank) {
    // Bank 0x22 codes AA..AF start their values at 0x10, 0x20 .. 0x60; bank 0x44 at 0x90 .. 0xE0.
    // The unused tail of every report is 0xEE, which must show nowhere.
    std::vector<Bytes> reports;
    for (uint8_t bank : {0x22, 0x44}) {
        for (uint8_t code = 0xAA; code <= 0xAF; ++code) {
            const uint8_t first = static_cast<uint8_t>((bank == 0x22 ? 0x10 : 0x90) + 0x10 * (code - 0xAA));
            reports.push_back(LedReport(bank, code, Ramp(first, code < 0xAD ? 7 : 6), 0xEE));
        }
    }
    SendLedReports({reports[0]}); // red of LEDs 0..6 of bank 0x22 alone
    SimHeadsetFrame frame = m_device->HeadsetLeds();
    EXPECT_EQ(Led(frame.bank22, 0), (Bytes{0x10, 0, 0}));
    EXPECT_EQ(Led(frame.bank22, 6), (Bytes{0x16, 0, 0}));
    EXPECT_EQ(Led(frame.bank22, 7), (Bytes{0, 0, 0}));
    EXPECT_EQ(frame.bank44, (std::array<uint8_t, 39>{}));

    SendLedReports(reports);
    frame = m_device->HeadsetLeds();
    EXPECT_EQ(frame.reports, 13u);
    EXPECT_EQ(frame.refused, 0u);
    EXPECT_EQ(Led(frame.bank22, 0), (Bytes{0x10, 0x20, 0x30}));
    EXPECT_EQ(Led(frame.bank22, 6), (Bytes{0x16, 0x26, 0x36}));
    EXPECT_EQ(Led(frame.bank22, 7), (Bytes{0x40, 0x50, 0x60}));
    EXPECT_EQ(Led(frame.bank22, 12), (Bytes{0x45, 0x55, 0x65}));
    EXPECT_EQ(Led(frame.bank44, 0), (Bytes{0x90, 0xA0, 0xB0}));
    EXPECT_EQ(Led(frame.bank44, 6), (Bytes{0x96, 0xA6, 0xB6}));
    EXPECT_EQ(Led(frame.bank44, 7), (Bytes{0xC0, 0xD0, 0xE0}));
    EXPECT_EQ(Led(frame.bank44, 12), (Bytes{0xC5, 0xD5, 0xE5}));
    for (size_t i = 0; i < 39; ++i) {
        EXPECT_NE(frame.bank22[i], 0xEE) << i;
        EXPECT_NE(frame.bank44[i], 0xEE) << i;
    }

    // One half of one colour changes alone: green of LEDs 7..12 in bank 0x44.
    SendLedReports({LedReport(0x44, 0xAE, Bytes(6, 0x01))});
    const SimHeadsetFrame next = m_device->HeadsetLeds();
    EXPECT_EQ(Led(next.bank44, 7), (Bytes{0xC0, 0x01, 0xE0}));
    EXPECT_EQ(Led(next.bank44, 12), (Bytes{0xC5, 0x01, 0xE5}));
    EXPECT_EQ(Led(next.bank44, 6), (Bytes{0x96, 0xA6, 0xB6}));
    EXPECT_EQ(next.bank22, frame.bank22);

    EXPECT_EQ(Ask("dump live"),
              "ok\n"
              "bank 0x22: 102030 112131 122232 132333 142434 152535 162636 405060 415161 425262 "
              "435363 445464 455565\n"
              "bank 0x44: 90a0b0 91a1b1 92a2b2 93a3b3 94a4b4 95a5b5 96a6b6 c001e0 c101e1 c201e2 "
              "c301e3 c401e4 c501e5\n"
              "reports 14 refused 0\n");
    const SimCounters c = m_device->Counters();
    EXPECT_EQ(c.lightingReports, 14u);
    EXPECT_EQ(c.malformedMessages, 0u);
    EXPECT_EQ(c.framesReceived, 0u);
}

TEST_F(SimHeadsetFixture, UnknownBankOrCodeIsCountedAndChangesNothing) {
    SendLedReports({LedReport(0x22, 0xAC, Ramp(1, 7)), LedReport(0x44, 0xAD, Ramp(0x20, 6))});
    const SimHeadsetFrame before = m_device->HeadsetLeds();
    ASSERT_EQ(before.refused, 0u);
    SendLedReports({LedReport(0x33, 0xAA, Ramp(0x50, 7)), LedReport(0x00, 0xAD, Ramp(0x50, 7)),
                    LedReport(0x22, 0xA9, Ramp(0x50, 7)), LedReport(0x44, 0xB0, Ramp(0x50, 7)),
                    LedReport(0x22, 0x00, Ramp(0x50, 7))});
    const SimHeadsetFrame after = m_device->HeadsetLeds();
    EXPECT_EQ(after.bank22, before.bank22);
    EXPECT_EQ(after.bank44, before.bank44);
    EXPECT_EQ(after.reports, 7u);
    EXPECT_EQ(after.refused, 5u);
    const std::string dump = Ask("dump live");
    EXPECT_NE(dump.find("bank 0x22: 000001 000002 000003"), std::string::npos) << dump;
    EXPECT_NE(dump.find("reports 7 refused 5\n"), std::string::npos) << dump;
}

TEST_F(SimHeadsetFixture, OnlyWhole0xFFReportsAreTakenAndNoneIsAnswered) {
    EXPECT_EQ(Ask("dump live"),
              "ok\nbank 0x22:" + kDarkBank + "bank 0x44:" + kDarkBank + "reports 0 refused 0\n");

    RawClient raw(m_device->SocketPath());
    const Bytes whole = LedReport(0x22, 0xAA, Bytes(7, 0x42));
    Bytes cut(whole.begin(), whole.end() - 1);
    Bytes longer = whole;
    longer.push_back(0);
    Bytes otherId = whole;
    otherId[0] = 0xFE;
    Bytes padded(64, 0);
    std::copy(whole.begin(), whole.end(), padded.begin());
    for (const Bytes& m : {cut, longer, otherId, padded})
        ASSERT_TRUE(raw.Send(m));
    ASSERT_TRUE(WaitUntil([&] { return m_device->Counters().malformedMessages == 4; }));
    EXPECT_EQ(m_device->HeadsetLeds().reports, 0u);
    EXPECT_EQ(Led(m_device->HeadsetLeds().bank22, 0), (Bytes{0, 0, 0}));

    // A whole report goes in without a reply: the next message is the answer to the probe behind it.
    ASSERT_TRUE(raw.Send(whole));
    ASSERT_TRUE(raw.Send(ReadRequest(0xAA, 1)));
    auto first = raw.Receive(kDueMs);
    ASSERT_TRUE(first);
    ASSERT_EQ(first->size(), 64u);
    EXPECT_EQ((*first)[0], 4);
    EXPECT_EQ((*first)[3], 0xAA);
    EXPECT_EQ(Led(m_device->HeadsetLeds().bank22, 0), (Bytes{0x42, 0, 0}));
    EXPECT_EQ(m_device->Counters().repliesSent, 1u);
    const std::vector<SimFrameRecord> log = m_device->FrameLog();
    ASSERT_GE(log.size(), 2u);
    const SimFrameRecord& report = log[log.size() - 2];
    EXPECT_TRUE(report.lightingReport);
    EXPECT_FALSE(report.wellFormed);
    EXPECT_FALSE(report.answered);
    EXPECT_EQ(report.size, 17u);
}

TEST_F(SimHeadsetFixture, UnplugTurnsTheLedsOffAndKeepsTheSettings) {
    SendLedReports({LedReport(0x22, 0xAB, Ramp(1, 7)), LedReport(0x99, 0xAB, Ramp(1, 7))});
    const Bytes written(21, 0x5A);
    ASSERT_EQ(m_link.WriteParameters(written.data(), written.size(), 0), kResultOk);
    m_link.ClosePath();
    EXPECT_EQ(Ask("unplug"), "ok\n");
    const SimHeadsetFrame gone = m_device->HeadsetLeds();
    EXPECT_EQ(gone.bank22, (std::array<uint8_t, 39>{}));
    EXPECT_EQ(gone.reports, 0u);
    EXPECT_EQ(gone.refused, 0u);
    EXPECT_EQ(Ask("plug"), "ok\n");
    EXPECT_EQ(Ask("dump live"),
              "ok\nbank 0x22:" + kDarkBank + "bank 0x44:" + kDarkBank + "reports 0 refused 0\n");
    const Bytes record = m_device->SettingsRecord(0);
    EXPECT_EQ(Bytes(record.begin(), record.begin() + 21), written);
}

TEST_F(SimHeadsetFixture, OtherKindsTakeNoLedReports) {
    for (SimKind kind : {SimKind::Keyboard, SimKind::Pad, SimKind::Mouse}) {
        SimOptions o;
        o.folder = m_folder.Path();
        o.kind = kind;
        Plug(o);
        RawClient raw(m_device->SocketPath());
        ASSERT_TRUE(raw.Send(LedReport(0x22, 0xAA, Bytes(7, 0x42))));
        ASSERT_TRUE(WaitUntil([&] { return m_device->Counters().malformedMessages == 1; }))
            << SimKindName(kind);
        const SimHeadsetFrame frame = m_device->HeadsetLeds();
        EXPECT_EQ(frame.reports, 0u) << SimKindName(kind);
        EXPECT_EQ(frame.bank22, (std::array<uint8_t, 39>{})) << SimKindName(kind);
        EXPECT_EQ(m_device->Counters().lightingReports, 0u) << SimKindName(kind);
        EXPECT_EQ(Ask("dump live").substr(0, 9), "ok\n0000: ") << SimKindName(kind);
    }
}

TEST_F(SimHeadsetFixture, RowsNameInterfacesOfKindSevenAndTheHeadsetFamily) {
    const std::string text = ReadText(m_device->DeviceRowsPath());
    Json::Value rows;
    Json::CharReaderBuilder builder;
    std::string errors;
    std::istringstream in(text);
    ASSERT_TRUE(Json::parseFromStream(builder, in, &rows, &errors)) << errors;
    const Json::Value& interfaces = rows["interfaces"];
    ASSERT_EQ(interfaces.size(), 2u);
    const long collections[2] = {4, 3};
    const char* roles[2] = {"command", "notification"};
    const long pages[2] = {0xFF1C, 0x000C};
    const long usages[2] = {0x0092, 0x0001};
    for (Json::ArrayIndex i = 0; i < 2; ++i) {
        EXPECT_EQ(RowNumber(interfaces[i]["vendor"]), 0x0C45);
        EXPECT_EQ(RowNumber(interfaces[i]["product"]), 0x6533);
        EXPECT_EQ(RowNumber(interfaces[i]["interface"]), 1);
        EXPECT_EQ(RowNumber(interfaces[i]["collection"]), collections[i]);
        EXPECT_EQ(RowNumber(interfaces[i]["kind"]), 7);
        EXPECT_EQ(interfaces[i]["role"].asString(), roles[i]);
        EXPECT_EQ(RowNumber(interfaces[i]["usagePage"]), pages[i]);
        EXPECT_EQ(RowNumber(interfaces[i]["usage"]), usages[i]);
    }
    ASSERT_EQ(rows["options"].size(), 1u);
    EXPECT_EQ(rows["options"][0]["family"].asString(), "headset");
    EXPECT_EQ(RowNumber(rows["options"][0]["kind"]), 7);

    const DeviceRows taken = ParseDeviceRows(text, m_device->DeviceRowsPath());
    EXPECT_TRUE(taken.problems.empty()) << taken.problems.front();
    ASSERT_EQ(taken.options.size(), 1u);
    EXPECT_EQ(taken.options[0].family, DeviceFamily::Headset);
    ASSERT_EQ(taken.interfaces.size(), 2u);
    EXPECT_EQ(taken.interfaces[0].kind, DeviceKind::Headset);

    // The program's tables take the rows from the emulator folder.
    ::setenv("NK7X_SIM_DIR", m_folder.Path().c_str(), 1);
    ReloadDeviceRows();
    int options = 0;
    for (const DeviceOptionRow& row : OptionTable())
        options += row.VendorId() == 0x0C45 && row.ProductId() == 0x6533 ? 1 : 0;
    int slots = 0;
    for (const DeviceSlot& slot : InterfaceTable())
        slots += slot.productId == 0x6533 && slot.kind == DeviceKind::Headset ? 1 : 0;
    ::unsetenv("NK7X_SIM_DIR");
    ReloadDeviceRows();
    EXPECT_EQ(options, 1);
    EXPECT_EQ(slots, 2);
}

// nk7x-sim run as a user runs it.
class SimHeadsetProgram : public ::testing::Test {
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
        std::vector<char*> argv{m_binary.data()};
        std::vector<std::string> own = args;
        for (std::string& a : own)
            argv.push_back(a.data());
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

TEST_F(SimHeadsetProgram, RunsAHeadsetWhoseLedsTheShellShows) {
    const std::string log = m_root.Path() + "/device.log";
    const pid_t pid = Spawn({"--kind", "headset"}, log);
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(WaitUntil([&] { return FileExists(m_dir + "/headset1.ctl"); })) << ReadText(log);
    EXPECT_TRUE(WaitUntil([&] {
        return ReadText(log).find("headset headset1 (0c45:6533) plugged in") != std::string::npos &&
               ReadText(log).find("(13 LEDs)") != std::string::npos;
    })) << ReadText(log);
    EXPECT_NE(ReadText(m_dir + "/headset1.devices.json").find("\"family\": \"headset\""), std::string::npos);

    RawClient raw(m_dir + "/headset1-mi01.sock");
    ASSERT_TRUE(raw.Send(LedReport(0x44, 0xAF, Bytes(6, 0x7F))));
    std::string text;
    EXPECT_TRUE(WaitUntil([&] {
        return Run({"ctl", "--name", "headset1", "dump", "live"}, text) == 0 &&
               text.find("reports 1 refused 0") != std::string::npos;
    })) << text;
    EXPECT_EQ(text, "bank 0x22:" + kDarkBank +
                        "bank 0x44: 000000 000000 000000 000000 000000 000000 000000 00007f 00007f 00007f "
                        "00007f 00007f 00007f\nreports 1 refused 0\n");
    EXPECT_EQ(Run({"ctl", "--name", "headset1", "dump", "macros"}, text), 1);
    raw.Close();

    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_TRUE(std::filesystem::is_empty(m_dir));
}

TEST_F(SimHeadsetProgram, HelpNamesTheKindAndOtherKindsOptionsAreUsageErrors) {
    std::string text;
    EXPECT_EQ(Run({"--help"}, text), 0);
    EXPECT_NE(text.find("pad|headset"), std::string::npos) << text;
    EXPECT_NE(text.find("0C45:6533"), std::string::npos) << text;
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--kind", "headset", "--keys", "20"},
          {"--kind", "headset", "--buttons", "5"},
          {"--kind", "headset", "--min-dpi", "200"},
          {"--kind", "headset", "--macro-capacity", "4"}}) {
        EXPECT_EQ(Run(args, text), 2) << args[2];
        EXPECT_NE(text.find(args[2]), std::string::npos) << text;
    }
    EXPECT_EQ(Run({"--kind", "toaster"}, text), 2);
    EXPECT_NE(text.find("headset for the headset"), std::string::npos) << text;
    EXPECT_FALSE(FileExists(m_dir) && !std::filesystem::is_empty(m_dir));
}

} // namespace
} // namespace nk7x::test
