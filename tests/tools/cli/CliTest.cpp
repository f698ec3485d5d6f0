// nk7x-cli end to end: the built program against an emulated keyboard in this process.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>

#include <json/reader.h>
#include <json/value.h>

#include "link/CommandFrame.h"
#include "link/DeviceCommandLink.h"
#include "link/LinkTestSupport.h"
#include "tools/cli/CliJson.h"
#include "tools/sim/SimDevice.h"

using namespace nk7x;
using namespace nk7x::test;

namespace {

std::string Hex(const std::vector<uint8_t>& bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string s;
    for (uint8_t b : bytes) {
        s += kDigits[b >> 4];
        s += kDigits[b & 15];
    }
    return s;
}

class CliTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (::access(CliBinary().c_str(), X_OK) != 0)
            GTEST_SKIP() << "nk7x-cli is not built: " << CliBinary();
        SimOptions options;
        options.folder = m_folder.Path();
        m_sim = std::make_unique<SimDevice>(options);
        ASSERT_EQ(m_sim->Start(), 1) << m_sim->LastError();
    }
    void TearDown() override {
        if (m_sim)
            m_sim->Stop();
    }
    CliResult Run(const std::vector<std::string>& args) { return RunCli(args, m_folder.Path()); }

    TempSimFolder m_folder;
    std::unique_ptr<SimDevice> m_sim;
};

} // namespace

TEST(CliUsage, BadCommandLinesExitWithTwo) {
    if (::access(CliBinary().c_str(), X_OK) != 0)
        GTEST_SKIP() << "nk7x-cli is not built";
    TempSimFolder folder;
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{},
                                               {"frobnicate"},
                                               {"params", "1"},
                                               {"params", "0x10", "zz"},
                                               {"--bogus", "list"},
                                               {"list", "extra"},
                                               {"raw"},
                                               {"raw", "0"},
                                               {"write-params", "0", "abc"},
                                               {"--path"},
                                               {"params", "0xFFFF", "2"}}) {
        const CliResult r = RunCli(args, folder.Path());
        EXPECT_EQ(r.exitCode, 2) << "args: " << (args.empty() ? "(none)" : args[0]) << " " << r.err;
        EXPECT_NE(r.err.find("usage"), std::string::npos) << r.err;
    }
    const CliResult help = RunCli({"--help"}, folder.Path());
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("exit codes"), std::string::npos);
}

TEST(CliAbsent, NoDeviceExitsWithThree) {
    if (::access(CliBinary().c_str(), X_OK) != 0)
        GTEST_SKIP() << "nk7x-cli is not built";
    TempSimFolder folder;
    const CliResult list = RunCli({"list"}, folder.Path());
    EXPECT_EQ(list.exitCode, 0);
    EXPECT_EQ(list.out.find("*"), std::string::npos) << list.out;
    const CliResult info = RunCli({"info"}, folder.Path());
    EXPECT_EQ(info.exitCode, 3) << info.err;
    EXPECT_NE(info.err.find("no supported device"), std::string::npos) << info.err;
    const CliResult gone =
        RunCli({"--path", "sim#vid_0c45&pid_0820&mi_01&col04#" + folder.Path() + "/x-mi01.sock", "info"},
               folder.Path());
    EXPECT_EQ(gone.exitCode, 3) << gone.err;
}

// A rows file nested too deep (the user's or an emulator's): skipped, and the tool goes on.
TEST_F(CliTest, ARowsFileNestedTooDeepIsSkipped) {
    std::ofstream(m_folder.Path() + "/deep.devices.json") << std::string(1001, '[');
    const CliResult r = Run({"list"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find(m_sim->CommandPath()), std::string::npos) << r.out;
    const CliResult info = Run({"info"});
    EXPECT_EQ(info.exitCode, 0) << info.err;
}

TEST_F(CliTest, ListMarksTheInterfacesTheTablesName) {
    const CliResult r = Run({"list"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    auto lineOf = [&](const std::string& path) {
        const size_t at = r.out.find(path + " ");
        const size_t at2 = at == std::string::npos ? r.out.find(path + "\n") : at;
        if (at2 == std::string::npos)
            return std::string();
        const size_t begin = r.out.rfind('\n', at2) + 1;
        return r.out.substr(begin, r.out.find('\n', at2) - begin);
    };
    const std::string command = lineOf(m_sim->CommandPath());
    const std::string notify = lineOf(m_sim->NotificationPath());
    const std::string keyboard = lineOf(m_sim->CollectionPath(2));
    EXPECT_EQ(command.substr(0, 1), "*") << r.out;
    EXPECT_NE(command.find("0c45 0820 ff1c 0092"), std::string::npos) << command;
    EXPECT_NE(command.find("keyboard command interface"), std::string::npos) << command;
    EXPECT_EQ(notify.substr(0, 1), "*") << r.out;
    EXPECT_NE(notify.find("000c 0001"), std::string::npos) << notify;
    EXPECT_NE(notify.find("notification"), std::string::npos) << notify;
    ASSERT_FALSE(keyboard.empty()) << r.out;
    EXPECT_EQ(keyboard.substr(0, 1), " ") << keyboard;

    const CliResult j = Run({"--json", "list"});
    ASSERT_EQ(j.exitCode, 0) << j.err;
    const Json::Value doc = ParseJson(j.out);
    ASSERT_TRUE(doc["interfaces"].isArray());
    EXPECT_EQ(doc["interfaces"].size(), 4u);
    int supported = 0;
    for (const Json::Value& e : doc["interfaces"]) {
        if (e["supported"].asBool()) {
            ++supported;
            EXPECT_EQ(e["role"].asString(), e["usagePage"].asInt() == 0xFF1C ? "command" : "notification");
        }
    }
    EXPECT_EQ(supported, 2);
}

TEST_F(CliTest, InfoAndKeyTableShowWhatTheDeviceHolds) {
    const CliResult text = Run({"info"});
    ASSERT_EQ(text.exitCode, 0) << text.err;
    EXPECT_NE(text.out.find("keys:         126"), std::string::npos) << text.out;

    const CliResult info = Run({"--json", "info"});
    ASSERT_EQ(info.exitCode, 0) << info.err;
    const Json::Value doc = ParseJson(info.out);
    EXPECT_EQ(doc["keyCount"].asInt(), 126);
    EXPECT_EQ(doc["record"].asString(), Hex(m_sim->DeviceInfo()));
    EXPECT_EQ(doc["path"].asString(), m_sim->CommandPath());

    const CliResult keys = Run({"--json", "keytable"});
    ASSERT_EQ(keys.exitCode, 0) << keys.err;
    const Json::Value table = ParseJson(keys.out);
    ASSERT_EQ(table["keys"].size(), 126u);
    const std::vector<uint8_t> keyTable = m_sim->KeyTable();
    const std::vector<uint8_t> leds = m_sim->LedTable();
    for (Json::ArrayIndex p = 0; p < table["keys"].size(); ++p) {
        const Json::Value& k = table["keys"][p];
        ASSERT_EQ(k["entry"].asString(), Hex({keyTable[p * 3], keyTable[p * 3 + 1], keyTable[p * 3 + 2]}))
            << p;
        ASSERT_EQ(k["led"].asUInt(), leds[p]) << p;
    }
}

TEST_F(CliTest, ParametersAreWrittenAndReadBack) {
    const CliResult w = Run({"write-params", "0x100", "a1 b2 c3"});
    ASSERT_EQ(w.exitCode, 0) << w.err;
    const std::vector<uint8_t> params = m_sim->Parameters();
    EXPECT_EQ((std::vector<uint8_t>(params.begin() + 0x100, params.begin() + 0x103)),
              (std::vector<uint8_t>{0xA1, 0xB2, 0xC3}));
    const CliResult r = Run({"params", "0x100", "3"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "0100: a1 b2 c3\n");
    EXPECT_TRUE(m_sim->InConfig() == false) << "the tool must end the configuration it began";
}

TEST_F(CliTest, StaysCorrectWhileTheProgramStreamsAndWritesItsSettings) {
    // The configurator's own link streams live colours every 50 ms and rewrites its settings
    // record; every reply reaches the tool's connection too.
    CDeviceCommandLink program;
    ASSERT_EQ(program.OpenPath(m_sim->CommandPath()), 1);
    std::atomic<bool> stop{false};
    std::atomic<int> programFailures{0};
    const std::vector<uint8_t> record(26, 0x42);
    std::thread busy([&] {
        std::vector<uint8_t> colours(378, 0x11);
        std::vector<uint8_t> back(26);
        while (!stop) {
            if (program.StreamLighting(colours.data(), colours.size()) != kResultOk)
                ++programFailures;
            if (program.WriteParameters(record.data(), record.size(), 0) != kResultOk ||
                program.ReadParameters(back.data(), back.size(), 0) != kResultOk || back != record)
                ++programFailures;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    });
    for (int round = 0; round < 4; ++round) {
        const std::string value = round % 2 ? "0a 0b 0c 0d" : "d1 d2 d3 d4";
        const CliResult w = Run({"write-params", "0x200", value});
        EXPECT_EQ(w.exitCode, 0) << w.err;
        const CliResult r = Run({"params", "0x200", "4"});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out, "0200: " + value + "\n") << "round " << round;
        const CliResult info = Run({"--json", "info"});
        ASSERT_EQ(info.exitCode, 0) << info.err;
        EXPECT_EQ(ParseJson(info.out)["record"].asString(), Hex(m_sim->DeviceInfo())) << "round " << round;
    }
    stop = true;
    busy.join();
    program.ClosePath();
    EXPECT_EQ(programFailures.load(), 0) << "the program's link took the tool's replies";
    const std::vector<uint8_t> params = m_sim->Parameters();
    EXPECT_EQ(std::vector<uint8_t>(params.begin(), params.begin() + 26), record);
}

TEST_F(CliTest, RawFramePrintsTheReplyAndLogGoesToStderr) {
    const CliResult r = Run({"--log", "--json", "raw", "3", "--length", "34"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const Json::Value doc = ParseJson(r.out);
    EXPECT_EQ(doc["echo"].asInt(), 3);
    EXPECT_EQ(doc["result"].asInt(), 1);
    EXPECT_EQ(doc["reply"].asString().substr(16, 68), Hex(m_sim->DeviceInfo()));
    EXPECT_NE(r.err.find("命令\n04 "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("返回\n"), std::string::npos) << r.err;
}

TEST_F(CliTest, DeviceFailuresHaveTheirOwnExitCodes) {
    m_sim->AddFaults("status=0xFF@3");
    const CliResult status = Run({"info"});
    EXPECT_EQ(status.exitCode, 6) << status.err;
    EXPECT_NE(status.err.find("0xFF"), std::string::npos) << status.err;

    m_sim->AddFaults("status=0xFE@0x55");
    const CliResult raw = Run({"raw", "0x55"});
    EXPECT_EQ(raw.exitCode, 6) << raw.out << raw.err;

    m_sim->AddFaults("noreply@1");
    const CliResult silent = Run({"info"});
    EXPECT_EQ(silent.exitCode, 5) << silent.err;
}

TEST_F(CliTest, DescriptorOfAFileAndOfAPath) {
    for (const std::string& source : {m_sim->DescriptorPath(), m_sim->CommandPath()}) {
        const CliResult r = Run({"descriptor", source});
        ASSERT_EQ(r.exitCode, 0) << source << ": " << r.err;
        EXPECT_NE(r.out.find("collection 4 (&col04): usage page 0xff1c usage 0x0092, report ids 4\n"),
                  std::string::npos)
            << r.out;
        EXPECT_NE(r.out.find("collection 3 (&col03): usage page 0x000c usage 0x0001, report ids 3\n"),
                  std::string::npos)
            << r.out;
        EXPECT_NE(r.out.find("input    64 bytes"), std::string::npos) << r.out;
    }
    const CliResult j = Run({"--json", "descriptor", m_sim->DescriptorPath()});
    ASSERT_EQ(j.exitCode, 0);
    const Json::Value doc = ParseJson(j.out);
    ASSERT_EQ(doc["collections"].size(), 4u);
    EXPECT_EQ(doc["collections"][3]["output"]["byteLength"].asInt(), 64);
    EXPECT_EQ(doc["collections"][2]["input"]["byteLength"].asInt(), 3);

    const std::string junk = m_folder.Path() + "/junk.rdesc";
    std::ofstream(junk) << "\x05\x01\x09"; // truncated item
    const CliResult bad = Run({"descriptor", junk});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_NE(bad.err.find("does not parse"), std::string::npos) << bad.err;
}

TEST_F(CliTest, NoPermissionExitsWithFourAndNamesTheUdevRule) {
    const std::string socket = m_sim->SocketPath();
    int asUser = -1;
    if (::geteuid() == 0) {
        // Root opens everything: run the tool as an ordinary user who may read the folder but not
        // connect to the device.
        asUser = 65534;
        ASSERT_EQ(::chmod(m_folder.Path().c_str(), 0755), 0);
        ASSERT_EQ(::chmod(socket.c_str(), 0755), 0);
        ::chmod(m_sim->InfoPath().c_str(), 0644);
        ::chmod(m_sim->DescriptorPath().c_str(), 0644);
    } else {
        ASSERT_EQ(::chmod(socket.c_str(), 0), 0);
    }
    const CliResult info = RunCli({"info"}, m_folder.Path(), asUser);
    EXPECT_EQ(info.exitCode, 4) << info.err;
    EXPECT_NE(info.err.find("sudo install -m 644 udev/70-nk7x.rules /etc/udev/rules.d/"), std::string::npos)
        << info.err;
    const CliResult direct = RunCli({"--path", m_sim->CommandPath(), "keytable"}, m_folder.Path(), asUser);
    EXPECT_EQ(direct.exitCode, 4) << direct.err;
}
