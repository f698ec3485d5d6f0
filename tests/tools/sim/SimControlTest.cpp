// Several connections at once, the consumer-control notifications, the control socket and the
// nk7x-sim program.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <fstream>

#include "tests/tools/sim/SimTestSupport.h"
#include "tools/sim/SimControlClient.h"

extern char** environ;

namespace nk7x::test {
namespace {

class SimControl : public SimFixture {
  protected:
    std::string Ask(const std::string& request) {
        std::string answer, error;
        const SimControlResult r = SimControlRequest(m_device->ControlPath(), request, answer, error);
        EXPECT_EQ(r, SimControlResult::Answered) << error;
        return answer;
    }
};

TEST_F(SimControl, TwoConnectionsAreServedAndEachSeesEveryInputReport) {
    RawClient a(m_device->SocketPath());
    RawClient b(m_device->SocketPath());
    ASSERT_TRUE(a.IsConnected() && b.IsConnected());

    ASSERT_TRUE(a.Send(ReadRequest(3, 34)));
    auto ra = a.ReceiveReply();
    auto rb = b.ReceiveReply(); // b sees the reply to a's frame, as on a shared node
    ASSERT_TRUE(ra && rb);
    EXPECT_EQ(*ra, *rb);

    ASSERT_TRUE(b.Send(Request(6, {7}, 3)));
    auto fromB = b.ReceiveReply();
    ASSERT_TRUE(fromB);
    EXPECT_EQ((*fromB)[3], 6);
    ASSERT_TRUE(a.ReceiveReply()); // and a sees b's
    EXPECT_EQ(m_device->Parameters()[3], 7);

    const std::vector<SimFrameRecord> log = m_device->FrameLog();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_NE(log[0].connection, log[1].connection);
    EXPECT_EQ(m_device->ConnectionCount(), 2);
    EXPECT_EQ(m_device->Counters().connectionsAccepted, 2u);

    // One connection closing leaves the other served.
    b.Close();
    auto again = a.Exchange(Request(1));
    ASSERT_TRUE(again);
    EXPECT_EQ((*again)[3], 1);
}

TEST_F(SimControl, NotificationIsAConsumerReportFollowedByItsRelease) {
    RawClient a(m_device->SocketPath());
    RawClient b(m_device->SocketPath());
    ASSERT_TRUE(a.Exchange(Request(1))); // both are accepted by now
    ASSERT_TRUE(b.ReceiveReply());
    for (uint16_t code : {uint16_t(0x401), uint16_t(0x402), uint16_t(0x500 + 17), uint16_t(0x600 + 17)}) {
        EXPECT_EQ(m_device->SendNotification(code), 2);
        for (RawClient* c : {&a, &b}) {
            auto press = c->Receive(kDueMs);
            auto release = c->Receive(kDueMs);
            ASSERT_TRUE(press && release);
            EXPECT_EQ(*press, (Bytes{3, static_cast<uint8_t>(code & 0xFF), static_cast<uint8_t>(code >> 8)}));
            EXPECT_EQ(*release, (Bytes{3, 0, 0}));
        }
    }
    EXPECT_EQ(m_device->Counters().notificationsSent, 4u);
}

TEST_F(SimControl, AReaderThatNeverReadsDoesNotStallTheDevice) {
    RawClient idle(m_device->SocketPath());
    RawClient busy(m_device->SocketPath());
    ASSERT_TRUE(idle.IsConnected() && busy.IsConnected());
    for (int i = 0; i < 600; ++i)
        ASSERT_TRUE(busy.Exchange(Request(1))) << "frame " << i;
    EXPECT_GT(m_device->Counters().droppedReports, 0u);
}

TEST_F(SimControl, StatusNotifyAndFaultsThroughTheControlSocket) {
    RawClient client(m_device->SocketPath());
    ASSERT_TRUE(client.Exchange(Request(1)));

    const std::string status = Ask("status");
    EXPECT_EQ(status.rfind("ok\n", 0), 0u) << status;
    EXPECT_NE(status.find("keys=126\n"), std::string::npos);
    EXPECT_NE(status.find("plugged=yes\n"), std::string::npos);
    EXPECT_NE(status.find("connections=1\n"), std::string::npos);
    EXPECT_NE(status.find("frames=1\n"), std::string::npos);
    EXPECT_NE(status.find("in_config=yes\n"), std::string::npos);
    EXPECT_NE(status.find("faults=none\n"), std::string::npos);

    EXPECT_EQ(Ask("notify 0x401"), "ok\nconnections=1\n");
    auto press = client.Receive(kDueMs);
    ASSERT_TRUE(press);
    EXPECT_EQ(*press, (Bytes{3, 0x01, 0x04}));
    ASSERT_TRUE(client.Receive(kDueMs));

    EXPECT_EQ(Ask("fault status=0xFE@2"), "ok\n");
    EXPECT_EQ(Ask("fault"), "ok\nstatus=0xFE@0x02:once\n");
    auto r = client.Exchange(Request(2));
    ASSERT_TRUE(r);
    EXPECT_EQ((*r)[7], 0xFE);
    EXPECT_EQ(Ask("fault noreply:always"), "ok\n");
    EXPECT_EQ(Ask("fault clear"), "ok\n");
    EXPECT_TRUE(m_device->Faults().empty());
    EXPECT_EQ(Ask("fault late").rfind("error: ", 0), 0u);
}

TEST_F(SimControl, DumpsShowTheDeviceMemory) {
    ASSERT_TRUE(m_device->SetParameters(0x10, {0xDE, 0xAD}));
    EXPECT_EQ(Ask("dump params 16 2"), "ok\n0010: de ad\n");
    EXPECT_EQ(Ask("dump params 0x0 0x20"), "ok\n0000: 00 01 04 02 00 01 ff ff ff 00 00 00 00 00 00 00\n"
                                           "0010: de ad 00 00 00 00 03 00 00 00 00 00 00 00 00 00\n");
    EXPECT_EQ(Ask("dump params 4090 7").rfind("error: ", 0), 0u);

    const std::string keys = Ask("dump keytable");
    EXPECT_EQ(keys.rfind("ok\n000: 20 00 29\n", 0), 0u) << keys.substr(0, 40); // Esc at position 0
    EXPECT_EQ(std::count(keys.begin(), keys.end(), '\n'), 1 + 126);

    const std::string leds = Ask("dump leds");
    EXPECT_EQ(std::count(leds.begin(), leds.end(), '\n'), 1 + 8); // 126 bytes, 16 a line

    const std::string info = Ask("dump info");
    EXPECT_EQ(info.rfind("ok\n0000: 05 01 20 08 01 7e 20 01 08 ", 0), 0u) << info;

    EXPECT_EQ(Ask("dump lighting 7").substr(0, 9), "ok\n0e00: ");
    EXPECT_EQ(Ask("dump lighting 8").rfind("error: no lighting page 8", 0), 0u);
    const std::string macros = Ask("dump macros");
    EXPECT_EQ(std::count(macros.begin(), macros.end(), '\n'), 1 + 32 * 128 / 16);
    EXPECT_EQ(Ask("dump status"), "ok\n0000: 64 00 00 00 00 00\n");
    EXPECT_EQ(Ask("dump nothing").rfind("error: ", 0), 0u);
    EXPECT_EQ(Ask("dump").rfind("error: ", 0), 0u);
}

TEST_F(SimControl, SetUnplugPlugAndResetThroughTheControlSocket) {
    EXPECT_EQ(Ask("set params 1 05 02"), "ok\n");
    EXPECT_EQ(m_device->Parameters()[1], 5);
    EXPECT_EQ(m_device->Parameters()[2], 2);
    EXPECT_EQ(Ask("set params 4095 0102").rfind("error: ", 0), 0u);
    EXPECT_EQ(Ask("set params 1 0g").rfind("error: ", 0), 0u);
    EXPECT_EQ(Ask("set status 320200000003"), "ok\n");
    EXPECT_EQ(m_device->StatusBlock(), (Bytes{0x32, 2, 0, 0, 0, 3}));

    EXPECT_EQ(Ask("unplug"), "ok\n");
    EXPECT_FALSE(m_device->IsPlugged());
    EXPECT_FALSE(FileExists(m_device->SocketPath()));
    EXPECT_NE(Ask("status").find("plugged=no\n"), std::string::npos);
    EXPECT_EQ(Ask("plug"), "ok\n");
    EXPECT_TRUE(m_device->IsPlugged());
    EXPECT_TRUE(RawClient(m_device->SocketPath()).IsConnected());

    EXPECT_EQ(Ask("reset"), "ok\n");
    EXPECT_EQ(m_device->Parameters()[1], 1);
    EXPECT_EQ(Ask("bogus").rfind("error: unknown request", 0), 0u);
    EXPECT_EQ(Ask("   ").rfind("error: ", 0), 0u);
}

TEST(SimControlClientTest, NoEmulatorIsReportedAsSuch) {
    TempFolder folder;
    std::string answer, error;
    EXPECT_EQ(SimControlRequest(folder.Path() + "/kbd1.ctl", "status", answer, error),
              SimControlResult::NotRunning);
    EXPECT_NE(error.find("no emulator"), std::string::npos);
}

// The nk7x-sim program, run as a user runs it.
class SimProgram : public ::testing::Test {
  protected:
    void SetUp() override {
        m_binary = std::string(NK7X_BINARY_DIR) + "/bin/nk7x-sim";
        if (access(m_binary.c_str(), X_OK) != 0)
            GTEST_SKIP() << "build the nk7x-sim target first: " << m_binary;
    }
    // Runs the program with NK7X_SIM_DIR = dir; stdout and stderr go to `output`.
    pid_t Spawn(const std::vector<std::string>& args, const std::string& dir, const std::string& output) {
        std::vector<std::string> env = {"NK7X_SIM_DIR=" + dir, "PATH=/usr/bin:/bin"};
        std::vector<char*> argv{const_cast<char*>(m_binary.c_str())};
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        std::vector<char*> envp;
        for (std::string& e : env)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        pid_t pid = -1;
        if (posix_spawn(&pid, m_binary.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0)
            pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        return pid;
    }
    int Run(const std::vector<std::string>& args, const std::string& dir, std::string& text) {
        const std::string output = m_root.Path() + "/out-" + std::to_string(m_runs++);
        const pid_t pid = Spawn(args, dir, output);
        if (pid < 0)
            return -1;
        int status = 0;
        waitpid(pid, &status, 0);
        std::ifstream in(output);
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        unlink(output.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string m_binary;
    int m_runs = 0;
    TempFolder m_root;
};

TEST_F(SimProgram, RunsUntilSigtermAndAnswersCtl) {
    const std::string dir = m_root.Path() + "/sim";
    const std::string log = m_root.Path() + "/device.log";
    const pid_t pid = Spawn({"--keys", "170", "--name", "kb7", "--fault", "stale@3"}, dir, log);
    ASSERT_GT(pid, 0);
    // Both the control socket and the interface's socket are up before anything is asked of them.
    ASSERT_TRUE(WaitUntil([&] { return FileExists(dir + "/kb7.ctl") && FileExists(dir + "/kb7-mi01.sock"); }))
        << "the emulator did not start";
    struct stat st {};
    ASSERT_EQ(stat(dir.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    std::string text;
    EXPECT_EQ(Run({"ctl", "--name", "kb7", "status"}, dir, text), 0) << text;
    EXPECT_NE(text.find("keys=170\n"), std::string::npos) << text;
    EXPECT_NE(text.find("faults=stale@0x03:once\n"), std::string::npos) << text;
    EXPECT_EQ(Run({"ctl", "--name", "kb7", "dump", "params", "0", "2"}, dir, text), 0);
    EXPECT_EQ(text, "0000: 00 01\n");
    EXPECT_EQ(Run({"ctl", "--name", "kb7", "dump", "nothing"}, dir, text), 1);
    EXPECT_NE(text.find("error: "), std::string::npos);

    RawClient client(dir + "/kb7-mi01.sock");
    ASSERT_TRUE(client.IsConnected());
    ASSERT_TRUE(client.Send(ReadRequest(3, 34)));
    auto stale = client.ReceiveReply();
    auto real = client.ReceiveReply();
    ASSERT_TRUE(stale && real);
    EXPECT_NE((*stale)[3], 3);
    EXPECT_EQ((*real)[8 + 5], 170);

    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_TRUE(std::filesystem::is_empty(dir));
}

TEST_F(SimProgram, UsageErrorsAndMissingEmulatorHaveTheirOwnExitCodes) {
    const std::string dir = m_root.Path() + "/sim";
    std::string text;
    EXPECT_EQ(Run({"--help"}, dir, text), 0);
    EXPECT_NE(text.find("usage: nk7x-sim"), std::string::npos);
    EXPECT_EQ(Run({"ctl", "--help"}, dir, text), 0);
    EXPECT_NE(text.find("dump keytable"), std::string::npos);
    EXPECT_EQ(Run({"--keys", "0"}, dir, text), 2);
    EXPECT_EQ(Run({"--kind", "toaster"}, dir, text), 2);
    EXPECT_NE(text.find("keyboard, mouse or receiver"), std::string::npos);
    EXPECT_EQ(Run({"--fault", "sideways"}, dir, text), 2);
    EXPECT_EQ(Run({"--frobnicate"}, dir, text), 2);
    EXPECT_EQ(Run({"ctl"}, dir, text), 2);
    EXPECT_EQ(Run({"ctl", "status"}, dir, text), 3);
    EXPECT_NE(text.find("no emulator is running"), std::string::npos) << text;

    const std::string notAFolder = m_root.Path() + "/plain";
    std::ofstream(notAFolder) << "x";
    EXPECT_EQ(Run({}, notAFolder, text), 1);
    EXPECT_NE(text.find("not a folder"), std::string::npos) << text;
}

} // namespace
} // namespace nk7x::test
