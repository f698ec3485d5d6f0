// The emulated mouse pad: its ids, rows and collections, the commands it takes and refuses, its
// settings record (read at n x 25, written at n x 64), the live colours and the status block with
// the phone lying on it, in process and as the nk7x-sim program.
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
#include "tests/tools/sim/SimTestSupport.h"
#include "tools/sim/KeyboardDescriptor.h"
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

class SimPadFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        SimOptions o;
        o.folder = m_folder.Path();
        o.kind = SimKind::Pad;
        Plug(o);
    }
    void Plug(const SimOptions& o) {
        m_link.ClosePath();
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

    TempFolder m_folder;
    std::unique_ptr<SimDevice> m_device;
    CDeviceCommandLink m_link;
};

TEST_F(SimPadFixture, ThePadTakesTheShippedPadIdsAndCollections) {
    EXPECT_EQ(m_device->Options().name, "pad1");
    EXPECT_EQ(m_device->CommandPath(),
              "sim#vid_320f&pid_1004&mi_01&col04#" + m_folder.Path() + "/pad1-mi01.sock");
    EXPECT_EQ(m_device->NotificationPath(),
              "sim#vid_320f&pid_1004&mi_01&col03#" + m_folder.Path() + "/pad1-mi01.sock");
    EXPECT_NE(ReadText(m_device->InfoPath()).find("product=0x1004\n"), std::string::npos);
    const std::string rdesc = ReadText(m_device->DescriptorPath());
    EXPECT_EQ(Bytes(rdesc.begin(), rdesc.end()), KeyboardInterfaceDescriptor())
        << "collections 3 and 4 as every kind has them";

    // Notifications reach the third collection.
    CHidTransport notifications;
    ASSERT_EQ(notifications.Open(m_device->NotificationPath(), true, false), 1);
    ASSERT_TRUE(WaitUntil([&] { return m_device->ConnectionCount() == 2; }));
    EXPECT_EQ(m_device->SendNotification(0x0401), 2);
    uint8_t report[64] = {};
    uint32_t got = 0;
    ASSERT_EQ(notifications.ReadReport(report, sizeof report, &got, kDueMs), 1);
    EXPECT_EQ(report[0], 3);
    EXPECT_EQ(report[1] | report[2] << 8, 0x0401);
}

TEST_F(SimPadFixture, RowsNameInterfacesOfKindThreeAndTheMousepadFamily) {
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
        EXPECT_EQ(RowNumber(interfaces[i]["vendor"]), 0x320F);
        EXPECT_EQ(RowNumber(interfaces[i]["product"]), 0x1004);
        EXPECT_EQ(RowNumber(interfaces[i]["interface"]), 1);
        EXPECT_EQ(RowNumber(interfaces[i]["collection"]), collections[i]);
        EXPECT_EQ(RowNumber(interfaces[i]["kind"]), 3);
        EXPECT_EQ(interfaces[i]["role"].asString(), roles[i]);
        EXPECT_EQ(RowNumber(interfaces[i]["usagePage"]), pages[i]);
        EXPECT_EQ(RowNumber(interfaces[i]["usage"]), usages[i]);
    }
    ASSERT_EQ(rows["options"].size(), 1u);
    EXPECT_EQ(rows["options"][0]["family"].asString(), "mousepad");
    EXPECT_EQ(RowNumber(rows["options"][0]["kind"]), 3);

    const DeviceRows taken = ParseDeviceRows(text, m_device->DeviceRowsPath());
    EXPECT_TRUE(taken.problems.empty()) << taken.problems.front();
    ASSERT_EQ(taken.options.size(), 1u);
    EXPECT_EQ(taken.options[0].family, DeviceFamily::MousePad);

    // In the program's tables the rows meet the shipped pad option: one option row, two interfaces.
    ::setenv("NK7X_SIM_DIR", m_folder.Path().c_str(), 1);
    ReloadDeviceRows();
    int padOptions = 0;
    for (const DeviceOptionRow& row : OptionTable())
        padOptions += row.VendorId() == 0x320F && row.ProductId() == 0x1004 ? 1 : 0;
    int padInterfaces = 0;
    for (const DeviceSlot& slot : InterfaceTable())
        padInterfaces += slot.productId == 0x1004 && slot.kind == DeviceKind::MousePad ? 1 : 0;
    ::unsetenv("NK7X_SIM_DIR");
    ReloadDeviceRows();
    EXPECT_EQ(padOptions, 1);
    EXPECT_EQ(padInterfaces, 2);
}

TEST_F(SimPadFixture, InformationNamesThePadAndItsLedsAndWhatItLacksIsRefused) {
    DeviceInfoRecord info{};
    ASSERT_EQ(m_link.ReadDeviceInfo(info), kResultOk);
    EXPECT_EQ(Bytes(info.begin(), info.end()), m_device->DeviceInfo());
    EXPECT_EQ(info[2] | info[3] << 8, 0x1004);
    EXPECT_EQ(info[4], 3);  // kind: mouse pad
    EXPECT_EQ(info[5], 15); // LEDs
    EXPECT_EQ(info[6], 0);  // no macro memory
    EXPECT_EQ(info[8], 0);  // no colour pages

    // No key table, LED table, colour pages, macro or shoot area.
    ASSERT_EQ(m_link.SetDataSize(3), 1);
    Bytes buffer(512, 0);
    EXPECT_EQ(m_link.ReadKeyTable(buffer.data()), kResultDeviceFailed);
    EXPECT_EQ(m_link.WriteKeyTable(buffer.data(), 0), kResultDeviceFailed);
    EXPECT_EQ(m_link.ReadKeyIndexTable(buffer.data()), kResultDeviceFailed);
    EXPECT_EQ(m_link.WriteLightingPage(buffer.data(), 56, 0, 512), kResultDeviceFailed);
    EXPECT_EQ(m_link.WriteMacroArea(buffer.data(), 56), kResultDeviceFailed);
    EXPECT_EQ(m_link.WriteShootArea(buffer.data(), 56), kResultDeviceFailed);
    for (const char* area : {"dump keytable", "dump leds", "dump macros", "dump shoot"})
        EXPECT_EQ(Ask(area).rfind("error: a mouse pad has no ", 0), 0u) << area;

    // What it has answers; a damaged frame is refused as on every kind.
    EXPECT_EQ(m_link.BeginConfig(), kResultOk);
    EXPECT_TRUE(m_device->InConfig());
    EXPECT_EQ(m_link.EndConfig(), kResultOk);
    EXPECT_TRUE(m_link.Probe());
    RawClient raw(m_device->SocketPath());
    Bytes damaged = ReadRequest(5, 1);
    damaged[1] ^= 0x55;
    auto reply = raw.Exchange(damaged);
    ASSERT_TRUE(reply);
    EXPECT_EQ((*reply)[7], kSimStatusBadFrame);

    const std::string status = Ask("status");
    EXPECT_NE(status.find("kind=pad\n"), std::string::npos) << status;
    EXPECT_NE(status.find("leds=15\n"), std::string::npos) << status;
    EXPECT_EQ(status.find("buttons="), std::string::npos) << status;
    EXPECT_EQ(status.find("macro_capacity="), std::string::npos) << status;
}

TEST_F(SimPadFixture, RecordsAreReadAtEvery25BytesAndWrittenAtEvery64) {
    uint8_t n = 0xEE;
    ASSERT_EQ(m_link.ReadParameters(&n, 1, 0), kResultOk);
    EXPECT_EQ(n, 0);
    Bytes record(kSimPadSettingsRecordBytes);
    ASSERT_EQ(m_link.ReadParameters(record.data(), record.size(), 0), kResultOk);
    EXPECT_EQ(record, m_device->SettingsRecord(0));
    EXPECT_EQ(record, SimFactoryPadSettingsRecord());
    EXPECT_LE(record[kSimPadRecordBrightness], 4);
    EXPECT_LE(record[kSimPadRecordSpeed], 4);
    EXPECT_NE(record[kSimPadRecordOwnByte], 0) << "the pad's own byte holds a value a host must keep";
    for (size_t i = kSimPadRecordOwnTail; i < kSimPadRecordOwnTailEnd; ++i)
        EXPECT_NE(record[i], 0) << "own byte " << i;

    // A 21-byte write at 0 leaves the five bytes only a read reaches.
    const Bytes written(kSimPadSettingsWrittenBytes, 0x33);
    ASSERT_EQ(m_link.WriteParameters(written.data(), written.size(), 0), kResultOk);
    const Bytes after = m_device->SettingsRecord(0);
    EXPECT_EQ(Bytes(after.begin(), after.begin() + 21), written);
    EXPECT_EQ(Bytes(after.begin() + 21, after.end()), Bytes(record.begin() + 21, record.end()));

    // Record 1 is read at 25 and written at 64: a write of record 1 does not show in its read.
    const Bytes record1 = m_device->SettingsRecord(1);
    ASSERT_EQ(record1.size(), kSimPadSettingsRecordBytes);
    const Bytes one(kSimPadSettingsWrittenBytes, 0x71);
    ASSERT_EQ(m_link.WriteParameters(one.data(), one.size(), 64), kResultOk);
    EXPECT_EQ(m_device->SettingsRecord(1), record1);
    const Bytes all = m_device->Parameters();
    EXPECT_EQ(Bytes(all.begin() + 64, all.begin() + 85), one);
    EXPECT_EQ(Ask("dump record 1").substr(0, 9), "ok\n0019: ") << "record 1 starts at 25";

    // The factory state comes back with reset.
    EXPECT_EQ(Ask("reset"), "ok\n");
    EXPECT_EQ(m_device->SettingsRecord(0), SimFactoryPadSettingsRecord());
}

TEST_F(SimPadFixture, LiveColoursAndThePhoneOnThePadAreKept) {
    Bytes frame(45);
    for (size_t i = 0; i < frame.size(); ++i)
        frame[i] = static_cast<uint8_t>(i * 5 + 1);
    ASSERT_EQ(m_link.StreamLighting(frame.data(), frame.size()), kResultOk);
    const Bytes live = m_device->LiveLighting();
    EXPECT_EQ(Bytes(live.begin(), live.begin() + 45), frame);
    EXPECT_EQ(m_device->Counters().liveFrames, 1u);
    EXPECT_EQ(Ask("dump live").substr(0, 57), "ok\n0000: 01 06 0b 10 15 1a 1f 24 29 2e 33 38 3d 42 47 4c\n");

    // A new pad is powered and has no phone on it.
    EXPECT_EQ(m_device->StatusBlock(), (Bytes{100, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Ask("set status 100 0 2"), "ok\n");
    std::array<uint8_t, 6> status{};
    ASSERT_EQ(m_link.ReadBlock(status.data(), status.size(), 0), kResultOk);
    EXPECT_EQ(Bytes(status.begin(), status.end()), (Bytes{100, 0, 0, 0, 0, 2}));
    EXPECT_EQ(Ask("set status 64 1"), "ok\n");
    EXPECT_EQ(m_device->StatusBlock(), (Bytes{64, 1, 0, 0, 0, 2})) << "the phone stays where it lies";
    EXPECT_EQ(Ask("set status 64 1 256").rfind("error: ", 0), 0u);
    EXPECT_EQ(m_device->StatusBlock()[5], 2);

    // Unplugged, the colours go out with the power; the phone and the record stay.
    m_link.ClosePath();
    EXPECT_EQ(Ask("unplug"), "ok\n");
    EXPECT_EQ(Ask("plug"), "ok\n");
    EXPECT_EQ(m_device->LiveLighting(), Bytes(kSimLiveLightingBytes, 0));
    EXPECT_EQ(m_device->StatusBlock()[5], 2);
}

// nk7x-sim run as a user runs it.
class SimPadProgram : public ::testing::Test {
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

TEST_F(SimPadProgram, RunsAPadWhosePhoneTheShellSets) {
    const pid_t pid = Spawn({"--kind", "pad"}, m_root.Path() + "/device.log");
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(WaitUntil([&] { return FileExists(m_dir + "/pad1.ctl"); }))
        << ReadText(m_root.Path() + "/device.log");
    // The line is written once the device is up, which may be a moment after its files appear.
    EXPECT_TRUE(WaitUntil([&] {
        return ReadText(m_root.Path() + "/device.log").find("pad pad1 (320f:1004) plugged in") !=
               std::string::npos;
    })) << ReadText(m_root.Path() + "/device.log");
    EXPECT_NE(ReadText(m_dir + "/pad1.devices.json").find("\"family\": \"mousepad\""), std::string::npos);

    std::string text;
    EXPECT_EQ(Run({"ctl", "--name", "pad1", "set", "status", "90", "2", "1"}, text), 0) << text;
    EXPECT_EQ(Run({"ctl", "--name", "pad1", "dump", "status"}, text), 0) << text;
    EXPECT_EQ(text, "0000: 5a 02 00 00 00 01\n");
    EXPECT_EQ(Run({"ctl", "--name", "pad1", "dump", "record"}, text), 0) << text;
    EXPECT_EQ(text.substr(0, 32), "0000: 00 00 04 02 01 01 ff ff ff") << text;

    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_TRUE(std::filesystem::is_empty(m_dir));
}

TEST_F(SimPadProgram, OptionsOfTheOtherKindsAreUsageErrors) {
    std::string text;
    for (const std::vector<std::string>& args : {std::vector<std::string>{"--kind", "pad", "--keys", "20"},
                                                 {"--kind", "pad", "--buttons", "5"},
                                                 {"--kind", "pad", "--dpi-step", "100"},
                                                 {"--kind", "pad", "--macro-capacity", "4"}}) {
        EXPECT_EQ(Run(args, text), 2) << args[2];
        EXPECT_NE(text.find(args[2]), std::string::npos) << text;
    }
    EXPECT_EQ(Run({"--kind", "toaster"}, text), 2);
    EXPECT_NE(text.find("pad for the mouse pad"), std::string::npos) << text;
    EXPECT_FALSE(FileExists(m_dir) && !std::filesystem::is_empty(m_dir));
}

} // namespace
} // namespace nk7x::test
