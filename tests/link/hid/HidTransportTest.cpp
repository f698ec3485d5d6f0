#include <gtest/gtest.h>

#include <cerrno>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "link/hid/FakeSimNode.h"
#include "link/hid/HidPath.h"
#include "link/hid/HidTestUtil.h"
#include "link/hid/HidTransport.h"
#include "support/Wait.h"

namespace nk7x {
namespace {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<uint8_t>;

long long MsSince(Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

// Paths of emulated interfaces only, so that a machine with real HID devices gives the same answers.
std::vector<std::string> SimPaths(CHidTransport& t) {
    std::vector<std::string> out;
    while (const char* p = t.NextPath()) {
        if (std::string(p).rfind("sim#", 0) == 0)
            out.push_back(p);
    }
    return out;
}

bool HasRealHidNodes() {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/sys/class/hidraw", ec)) {
        (void)entry;
        return true;
    }
    return false;
}

class SimKeyboard : public ::testing::Test {
  protected:
    void SetUp() override {
        m_itf = m_sim.AddInterface("kbd", 1, test::LoadFixture("0C45_0820_0001_0080.rdesc"));
    }
    std::string PathOf(int collection) const {
        char markers[64];
        std::snprintf(markers, sizeof markers, "sim#vid_0c45&pid_0820&mi_01&col%02x#", collection);
        return markers + m_sim.SocketPath(m_itf);
    }
    Bytes Report(uint8_t id, size_t length, uint8_t fill = 0) {
        Bytes r(length, fill);
        r[0] = id;
        return r;
    }

    test::FakeSimFolder m_sim;
    int m_itf = 0;
};

TEST_F(SimKeyboard, ListsOnePathPerCollection) {
    m_sim.AddInterface("kbd", 0, test::LoadFixture("FFFF_0002_0001_0006.rdesc"));
    CHidTransport t;
    ASSERT_EQ(t.EnumeratePaths(), 1);
    const std::vector<std::string> paths = SimPaths(t);
    const std::string boot = "sim#vid_0c45&pid_0820&mi_00#" + m_sim.Folder() + "/kbd-mi00.sock";
    const std::vector<std::string> expected = {boot, PathOf(1), PathOf(2), PathOf(3), PathOf(4)};
    EXPECT_EQ(paths, expected);
}

TEST(SimFolder, NineInterfacesInOrderAndCursorRules) {
    test::FakeSimFolder sim;
    for (int i = 1; i <= 9; ++i)
        sim.AddInterface("dev" + std::to_string(i), 0, test::LoadFixture("FFFF_0002_0001_0006.rdesc"), 0xffff,
                         2);
    CHidTransport t;
    ASSERT_EQ(t.EnumeratePaths(), 1);
    std::vector<std::string> first = SimPaths(t);
    ASSERT_EQ(first.size(), 9u);
    for (int i = 1; i <= 9; ++i)
        EXPECT_EQ(first[static_cast<size_t>(i - 1)],
                  "sim#vid_ffff&pid_0002&mi_00#" + sim.Folder() + "/dev" + std::to_string(i) + "-mi00.sock");
    // Past the end the cursor stays there until the list is built again.
    EXPECT_EQ(t.NextPath(), nullptr);
    EXPECT_EQ(t.NextPath(), nullptr);
    ASSERT_EQ(t.EnumeratePaths(), 1);
    EXPECT_EQ(SimPaths(t), first);
    t.ReleasePaths();
    EXPECT_EQ(t.PathCount(), 0);
    EXPECT_EQ(t.NextPath(), nullptr);
}

TEST(SimFolder, IncompleteOrBrokenInterfacesAreLeftOut) {
    test::FakeSimFolder sim;
    sim.AddInterface("good", 1, test::LoadFixture("0C45_0820_0001_0080.rdesc"));
    sim.AddInterface("bad", 1, Bytes{0xA1, 0x01}); // unbalanced collection
    const int gone = sim.AddInterface("gone", 1, test::LoadFixture("0C45_0820_0001_0080.rdesc"));
    ::unlink((sim.Folder() + "/gone-mi01.info").c_str());
    (void)gone;
    CHidTransport t;
    ASSERT_EQ(t.EnumeratePaths(), 1);
    const std::vector<std::string> paths = SimPaths(t);
    ASSERT_EQ(paths.size(), 4u);
    for (const std::string& p : paths)
        EXPECT_NE(p.find("/good-mi01.sock"), std::string::npos) << p;
}

TEST(NoDevices, EmptyListIsSuccess) {
    ::unsetenv("NK7X_SIM_DIR");
    if (HasRealHidNodes())
        GTEST_SKIP() << "this machine has hidraw nodes";
    CHidTransport t;
    EXPECT_EQ(t.EnumeratePaths(), 1);
    EXPECT_EQ(t.PathCount(), 0);
    EXPECT_EQ(t.NextPath(), nullptr);
    // A named but absent emulator folder lists nothing either.
    ::setenv("NK7X_SIM_DIR", "/nonexistent/nk7x-sim", 1);
    EXPECT_EQ(t.EnumeratePaths(), 1);
    EXPECT_EQ(t.PathCount(), 0);
    ::unsetenv("NK7X_SIM_DIR");
}

TEST_F(SimKeyboard, OpenProbesIdentityCapsAndItems) {
    CHidTransport t;
    ASSERT_EQ(t.Open(PathOf(4), true, true), 1);
    EXPECT_TRUE(t.IsHandleOpen());
    EXPECT_EQ(t.LastOpenError(), HidOpenError::None);
    EXPECT_EQ(t.Attributes().vendorId, 0x0c45);
    EXPECT_EQ(t.Attributes().productId, 0x0820);
    EXPECT_EQ(t.Attributes().versionNumber, 0x0100);
    EXPECT_EQ(t.Caps().usagePage, 0xFF1C);
    EXPECT_EQ(t.Caps().usage, 0x92);
    EXPECT_EQ(t.Caps().inputReportByteLength, 64);
    EXPECT_EQ(t.Caps().outputReportByteLength, 64);
    EXPECT_EQ(t.Caps().numberInputValueCaps, 1);
    EXPECT_EQ(t.InputItemCount(), 1u);
    EXPECT_EQ(t.Items(HidReportType::Output).size(), 1u);
    EXPECT_EQ(t.DevicePath(), PathOf(4));
    ASSERT_NE(t.ParsedDescriptor(), nullptr);
    EXPECT_EQ(t.ParsedDescriptor()->number, 4u);

    ASSERT_EQ(t.Open(PathOf(3), true, true), 1);
    EXPECT_EQ(t.Caps().usagePage, 0x0C);
    EXPECT_EQ(t.Caps().inputReportByteLength, 3);
    ASSERT_EQ(t.InputItemCount(), 1u);
    EXPECT_TRUE(t.InputItems()[0].isButton);
    EXPECT_EQ(t.InputItems()[0].usageListCapacity, 1u);
    ASSERT_NE(t.InputReportBuffer(), nullptr);

    t.Close();
    EXPECT_FALSE(t.IsHandleOpen());
    EXPECT_EQ(t.ParsedDescriptor(), nullptr);
    EXPECT_EQ(t.InputItemCount(), 0u);
    t.Close(); // closing a closed transport does nothing
    EXPECT_FALSE(t.IsHandleOpen());
}

TEST_F(SimKeyboard, OpenFailuresSayWhy) {
    CHidTransport t;
    std::string longPath = PathOf(4);
    longPath.insert(longPath.find("#/") + 1, std::string(kHidMaxPathChars, '/'));
    EXPECT_EQ(t.Open(longPath, true, true), 0);
    EXPECT_EQ(t.LastOpenError(), HidOpenError::PathTooLong);
    EXPECT_FALSE(t.IsHandleOpen());

    EXPECT_EQ(t.Open("not a path", true, true), 0);
    EXPECT_EQ(t.LastOpenError(), HidOpenError::BadPath);
    EXPECT_EQ(t.Open("sim#vid_0c45&pid_0820&mi_01&col04#" + m_sim.Folder() + "/none-mi01.sock", true, true),
              0);
    EXPECT_EQ(t.LastOpenError(), HidOpenError::NotFound);
    // A collection the interface does not have.
    EXPECT_EQ(t.Open(PathOf(5), true, true), 0);
    EXPECT_EQ(t.LastOpenError(), HidOpenError::NotFound);
    // The node answers with another identity than the path was made for.
    std::string other = PathOf(4);
    other.replace(other.find("pid_0820"), 8, "pid_0821");
    EXPECT_EQ(t.Open(other, true, true), 0);
    EXPECT_EQ(t.LastOpenError(), HidOpenError::NotFound);
    EXPECT_FALSE(t.IsHandleOpen());

    m_sim.Unplug(m_itf);
    EXPECT_EQ(t.Open(PathOf(4), true, true), 0);
    EXPECT_EQ(t.LastOpenError(), HidOpenError::NotFound);
}

TEST_F(SimKeyboard, PathOfExactlyTheLimitIsNotRefusedForLength) {
    CHidTransport t;
    std::string path = "sim#vid_0c45&pid_0820#/";
    path += std::string(kHidMaxPathChars - 1 - path.size(), 'x');
    ASSERT_EQ(path.size(), kHidMaxPathChars - 1);
    EXPECT_EQ(t.Open(path, true, true), 0);
    EXPECT_NE(t.LastOpenError(), HidOpenError::PathTooLong);
    path += 'x';
    EXPECT_EQ(t.Open(path, true, true), 0);
    EXPECT_EQ(t.LastOpenError(), HidOpenError::PathTooLong);
}

// The open error of `path` as seen by an unprivileged user (a child that drops root, if need be).
HidOpenError OpenErrorAsUser(const std::string& path, int* err) {
    if (::geteuid() != 0) {
        CHidTransport t;
        (void)t.Open(path, true, true); // the refusal is what is asked for
        *err = t.LastOpenErrno();
        return t.LastOpenError();
    }
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return HidOpenError::None;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(pipeFds[0]);
        int answer[2] = {-1, 0};
        if (::setgid(65534) == 0 && ::setuid(65534) == 0) {
            CHidTransport t;
            (void)t.Open(path, true, true); // the refusal is what is asked for
            answer[0] = static_cast<int>(t.LastOpenError());
            answer[1] = t.LastOpenErrno();
        }
        [[maybe_unused]] ssize_t w = ::write(pipeFds[1], answer, sizeof answer);
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    int answer[2] = {-1, 0};
    [[maybe_unused]] ssize_t r = ::read(pipeFds[0], answer, sizeof answer);
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    *err = answer[1];
    return static_cast<HidOpenError>(answer[0]);
}

TEST(HidrawNode, PermissionDeniedIsToldApartFromAbsent) {
    char dir[] = "/tmp/nk7x-hidraw-XXXXXX";
    ASSERT_NE(::mkdtemp(dir), nullptr);
    ::chmod(dir, 0755);
    const std::string node = std::string(dir) + "/hidraw9";
    FILE* f = std::fopen(node.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    ::chmod(node.c_str(), 0600);
    int err = 0;
    EXPECT_EQ(OpenErrorAsUser("hid#vid_0c45&pid_0820&mi_01#" + node, &err), HidOpenError::PermissionDenied);
    EXPECT_EQ(err, EACCES);
    ::unlink(node.c_str());
    EXPECT_EQ(OpenErrorAsUser("hid#vid_0c45&pid_0820&mi_01#" + node, &err), HidOpenError::NotFound);
    EXPECT_EQ(err, ENOENT);
    ::rmdir(dir);
}

TEST_F(SimKeyboard, OpenOnAnOpenTransportClosesTheFirst) {
    CHidTransport t;
    ASSERT_EQ(t.Open(PathOf(4), true, true), 1);
    ASSERT_EQ(m_sim.Accept(m_itf), 1u);
    ASSERT_EQ(t.Open(PathOf(3), true, true), 1);
    EXPECT_TRUE(m_sim.PeerClosed(m_itf, 0, 1000));
    EXPECT_EQ(m_sim.Accept(m_itf), 2u);
    EXPECT_EQ(t.Caps().usagePage, 0x0C);
}

TEST_F(SimKeyboard, TwoOpenersShareTheNode) {
    CHidTransport a, b;
    ASSERT_EQ(a.Open(PathOf(4), true, true), 1);
    ASSERT_EQ(b.Open(PathOf(4), true, false), 1);
    ASSERT_TRUE(m_sim.Send(m_itf, Report(4, 64, 0x11)));
    Bytes buf(64);
    uint32_t n = 0;
    EXPECT_EQ(a.ReadReport(buf.data(), 64, &n, 1000), 1);
    EXPECT_EQ(n, 64u);
    EXPECT_EQ(b.ReadReport(buf.data(), 64, &n, 1000), 1);
    EXPECT_EQ(buf[1], 0x11);
}

TEST_F(SimKeyboard, WritesOneWholeOutputReportOfItsCollection) {
    CHidTransport t;
    ASSERT_EQ(t.Open(PathOf(4), true, true), 1);
    Bytes frame = Report(4, 64);
    for (size_t i = 1; i < frame.size(); ++i)
        frame[i] = static_cast<uint8_t>(i);
    uint32_t n = 99;
    ASSERT_EQ(t.WriteReport(frame.data(), 64, &n, 1000), 1);
    EXPECT_EQ(n, 64u);
    EXPECT_EQ(m_sim.Receive(m_itf, 1000), frame);
    // Not an output report of this collection, too short, or no buffer: refused, nothing sent.
    Bytes foreign = Report(3, 64);
    EXPECT_EQ(t.WriteReport(foreign.data(), 64, &n, 1000), 0);
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(t.WriteReport(frame.data(), 10, &n, 1000), 0);
    EXPECT_EQ(t.WriteReport(nullptr, 64, nullptr, 1000), 0);
    EXPECT_TRUE(m_sim.Receive(m_itf, 100).empty());

    CHidTransport readOnly;
    ASSERT_EQ(readOnly.Open(PathOf(4), true, false), 1);
    EXPECT_EQ(readOnly.WriteReport(frame.data(), 64, &n, 1000), 0);
}

TEST_F(SimKeyboard, ReadTimesOutOnASilentDevice) {
    CHidTransport t;
    ASSERT_EQ(t.Open(PathOf(4), true, true), 1);
    Bytes buf(64);
    uint32_t n = 77;
    const auto start = Clock::now();
    EXPECT_EQ(t.ReadReport(buf.data(), 64, &n, 1000), 0);
    const long long ms = MsSince(start);
    EXPECT_EQ(n, 0u);
    EXPECT_GE(ms, 990);
    EXPECT_LT(ms, 1900) << "not twice the time-out";
    // A time-out of 0 only looks: it is neither a default time-out nor an endless wait.
    const auto quick = Clock::now();
    EXPECT_EQ(t.ReadReport(buf.data(), 64, &n, 0), 0);
    EXPECT_LT(MsSince(quick), 500);
}

TEST_F(SimKeyboard, ReadsKeepOnlyTheirCollectionsReports) {
    CHidTransport consumer, command;
    ASSERT_EQ(consumer.Open(PathOf(3), true, true), 1);
    ASSERT_EQ(command.Open(PathOf(4), true, true), 1);
    ASSERT_EQ(m_sim.Accept(m_itf), 2u);
    ASSERT_TRUE(m_sim.Send(m_itf, Report(4, 64, 0xAB)));
    ASSERT_TRUE(m_sim.Send(m_itf, Bytes{0x03, 0x01, 0x04}));

    Bytes buf(64, 0xEE);
    uint32_t n = 0;
    ASSERT_EQ(consumer.ReadReport(buf.data(), 3, &n, 1000), 1);
    EXPECT_EQ(n, 3u);
    EXPECT_EQ(Bytes(buf.begin(), buf.begin() + 3), (Bytes{0x03, 0x01, 0x04}));
    ASSERT_EQ(CHidTransport::DecodeReport(consumer.InputItems(), consumer.InputItemCount(), buf.data(), n,
                                          HidReportType::Input, consumer.ParsedDescriptor()),
              1);
    EXPECT_EQ(consumer.InputItems()[0].usageList[0], 0x401);

    ASSERT_EQ(command.ReadReport(buf.data(), 64, &n, 1000), 1);
    EXPECT_EQ(n, 64u);
    EXPECT_EQ(buf[0], 4);
    EXPECT_EQ(buf[63], 0xAB);
    // Only the notification is left for the command link: it is dropped and the wait goes on.
    const auto start = Clock::now();
    EXPECT_EQ(command.ReadReport(buf.data(), 64, &n, 300), 0);
    EXPECT_GE(MsSince(start), 290);
    EXPECT_EQ(n, 0u);
    // The failed read left the buffer as it was: the dropped report never reached it.
    EXPECT_EQ(buf[0], 4);
    EXPECT_EQ(buf[1], 0xAB);
    // A buffer shorter than the longest input report is refused, as on every HID stack.
    EXPECT_EQ(command.ReadReport(buf.data(), 63, &n, 0), 0);
}

TEST_F(SimKeyboard, CloseFromAnotherThreadEndsAnEndlessRead) {
    CHidTransport t;
    ASSERT_EQ(t.Open(PathOf(3), true, true), 1);
    std::atomic<int> result{-1};
    std::atomic<uint32_t> got{99};
    std::atomic<int> readerId{0};
    Bytes buf(3);
    std::thread reader([&] {
        readerId = test::CurrentThreadId();
        uint32_t n = 5;
        result = t.ReadReport(buf.data(), 3, &n, kHidInfinite);
        got = n;
    });
    EXPECT_TRUE(test::WaitUntilBlocked(readerId)) << "the read never started waiting";
    EXPECT_EQ(result.load(), -1);
    const auto start = Clock::now();
    t.Close();
    reader.join();
    EXPECT_LT(MsSince(start), 2000); // the read is endless: only the close ends it
    EXPECT_EQ(result.load(), 0);
    EXPECT_EQ(got.load(), 0u);
    EXPECT_FALSE(t.IsHandleOpen());
    // The closed transport refuses at once.
    EXPECT_EQ(t.ReadReport(buf.data(), 3, nullptr, kHidInfinite), 0);
}

TEST_F(SimKeyboard, DestructionWhileAReadWaits) {
    auto t = std::make_unique<CHidTransport>();
    ASSERT_EQ(t->Open(PathOf(4), true, true), 1);
    CHidTransport* raw = t.get();
    std::atomic<int> result{-1};
    std::atomic<int> readerId{0};
    Bytes buf(64);
    std::thread reader([&] {
        readerId = test::CurrentThreadId();
        result = raw->ReadReport(buf.data(), 64, nullptr, kHidInfinite);
    });
    EXPECT_TRUE(test::WaitUntilBlocked(readerId)) << "the read never started waiting";
    EXPECT_EQ(result.load(), -1);
    const auto start = Clock::now();
    t.reset();
    reader.join();
    EXPECT_LT(MsSince(start), 2000); // the read is endless: only the destruction ends it
    EXPECT_EQ(result.load(), 0);
}

TEST_F(SimKeyboard, CloseRacingTransfersThatAreJustStarting) {
    CHidTransport t;
    Bytes buf(64);
    for (int i = 0; i < 40; ++i) {
        ASSERT_EQ(t.Open(PathOf(4), true, true), 1);
        // Either transfer may be cut short by the close: only that nothing hangs or crashes counts.
        std::thread reader([&] { (void)t.ReadReport(buf.data(), 64, nullptr, kHidInfinite); });
        std::thread writer([&] {
            Bytes frame(64, 0);
            frame[0] = 4;
            (void)t.WriteReport(frame.data(), 64, nullptr, kHidInfinite);
        });
        if (i % 2)
            std::this_thread::sleep_for(std::chrono::microseconds(200 * (i % 5)));
        t.Close();
        reader.join();
        writer.join();
        m_sim.DropConnections(m_itf);
    }
    EXPECT_FALSE(t.IsHandleOpen());
}

TEST_F(SimKeyboard, PeerGoingAwayFailsAWaitingReadAtOnce) {
    CHidTransport t;
    ASSERT_EQ(t.Open(PathOf(4), true, true), 1);
    ASSERT_EQ(m_sim.Accept(m_itf), 1u);
    std::atomic<int> result{-1};
    std::atomic<int> readerId{0};
    std::atomic<Clock::time_point> endedAt{};
    Bytes buf(64);
    std::thread reader([&] {
        readerId = test::CurrentThreadId();
        result = t.ReadReport(buf.data(), 64, nullptr, kHidInfinite);
        endedAt = Clock::now();
    });
    EXPECT_TRUE(test::WaitUntilBlocked(readerId)) << "the read never started waiting";
    EXPECT_EQ(result.load(), -1);
    const auto unplugged = Clock::now();
    m_sim.Unplug(m_itf);
    reader.join();
    EXPECT_EQ(result.load(), 0);
    // The read is endless: only the unplug ends it.
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(endedAt.load() - unplugged).count(),
              2000);
    // Writing to the vanished device fails too, without a signal killing the program.
    Bytes frame(64, 0);
    frame[0] = 4;
    uint32_t n = 9;
    EXPECT_EQ(t.WriteReport(frame.data(), 64, &n, 500), 0);
    EXPECT_EQ(n, 0u);
}

TEST_F(SimKeyboard, BootKeyboardReportsGainTheirZeroId) {
    const int boot = m_sim.AddInterface("boot", 0, test::LoadFixture("FFFF_0002_0001_0006.rdesc"), 0xffff, 2);
    CHidTransport t;
    ASSERT_EQ(t.Open("sim#vid_ffff&pid_0002&mi_00#" + m_sim.SocketPath(boot), true, true), 1);
    EXPECT_EQ(t.Caps().inputReportByteLength, 9);
    ASSERT_TRUE(m_sim.Send(boot, Bytes{0x00, 0x00, 0x04, 0, 0, 0, 0, 0})); // data only, as hidraw gives it
    Bytes buf(9, 0xEE);
    uint32_t n = 0;
    ASSERT_EQ(t.ReadReport(buf.data(), 9, &n, 1000), 1);
    EXPECT_EQ(n, 9u);
    EXPECT_EQ(buf, (Bytes{0x00, 0x00, 0x00, 0x04, 0, 0, 0, 0, 0}));
    ASSERT_EQ(CHidTransport::DecodeReport(t.InputItems(), t.InputItemCount(), buf.data(), n,
                                          HidReportType::Input, t.ParsedDescriptor()),
              1);
    EXPECT_EQ(t.InputItems()[1].usageList[0], 0x04);
}

// A keyboard interface whose vendor collections share report id 4: input in collection 2, output
// (with input report 5) in collection 3, feature in collection 4.
class SimSharedIds : public ::testing::Test {
  protected:
    void SetUp() override {
        m_itf = m_sim.AddInterface("shared", 2, test::LoadFixture("FFFF_0003_0001_0006.rdesc"), 0xffff, 3);
        for (int c = 1; c <= 4; ++c)
            ASSERT_EQ(m_col[c - 1].Open(PathOf(c), true, true), 1) << c;
        ASSERT_EQ(m_sim.Accept(m_itf), 4u);
    }
    std::string PathOf(int collection) const {
        char markers[64];
        std::snprintf(markers, sizeof markers, "sim#vid_ffff&pid_0003&mi_02&col%02x#", collection);
        return markers + m_sim.SocketPath(m_itf);
    }
    static Bytes Report(uint8_t id, size_t length, uint8_t fill) {
        Bytes r(length, fill);
        r[0] = id;
        return r;
    }
    // Reads one report of collection `c` into a buffer of its longest input report.
    Bytes Read(int c, uint32_t timeoutMs) {
        CHidTransport& t = m_col[c - 1];
        Bytes buf(t.Caps().inputReportByteLength + 8u, 0xEE);
        uint32_t n = 0;
        if (t.ReadReport(buf.data(), static_cast<uint32_t>(buf.size()), &n, timeoutMs) != 1)
            return {};
        buf.resize(n);
        return buf;
    }

    test::FakeSimFolder m_sim;
    int m_itf = 0;
    CHidTransport m_col[4];
};

TEST_F(SimSharedIds, InterfaceIsListedAndAClashOfOneTypeIsNot) {
    m_sim.AddInterface("clash", 0, test::LoadFixture("FFFF_0004_0001_0006.rdesc"), 0xffff, 4);
    CHidTransport t;
    ASSERT_EQ(t.EnumeratePaths(), 1);
    const std::vector<std::string> expected = {PathOf(1), PathOf(2), PathOf(3), PathOf(4)};
    EXPECT_EQ(SimPaths(t), expected);
    EXPECT_EQ(m_col[1].Caps().inputReportByteLength, 16);
    EXPECT_EQ(m_col[1].Caps().outputReportByteLength, 0);
    EXPECT_EQ(m_col[2].Caps().inputReportByteLength, 4);
    EXPECT_EQ(m_col[2].Caps().outputReportByteLength, 64);
    EXPECT_EQ(m_col[3].Caps().featureReportByteLength, 8);
}

TEST_F(SimSharedIds, EachCollectionReadsOnlyItsOwnInputIds) {
    const Bytes in4 = Report(4, 16, 0x44);
    const Bytes in5 = Bytes{0x05, 0x01, 0x02, 0x03};
    const Bytes in1 = Bytes{0x01, 0x02, 0x00, 0x04, 0, 0, 0, 0, 0};
    ASSERT_TRUE(m_sim.Send(m_itf, in4));
    ASSERT_TRUE(m_sim.Send(m_itf, in5));
    ASSERT_TRUE(m_sim.Send(m_itf, in1));

    EXPECT_EQ(Read(1, 1000), in1);
    EXPECT_EQ(Read(2, 1000), in4);
    // Collection 3 owns id 4 only as an output report: the input report 4 is not for it.
    EXPECT_EQ(Read(3, 1000), in5);
    for (int c = 1; c <= 3; ++c)
        EXPECT_TRUE(Read(c, 200).empty()) << c;
    // A collection with no input report refuses to read at all, rather than wait out the time-out.
    const auto start = Clock::now();
    EXPECT_TRUE(Read(4, 10000).empty());
    EXPECT_LT(MsSince(start), 2000);

    // Collection 3's items do not decode another collection's input report 4.
    CHidTransport& out = m_col[2];
    ASSERT_EQ(out.InputItemCount(), 1u);
    EXPECT_EQ(CHidTransport::DecodeReport(out.InputItems(), out.InputItemCount(), in4.data(),
                                          static_cast<uint32_t>(in4.size()), HidReportType::Input,
                                          out.ParsedDescriptor()),
              1);
    EXPECT_FALSE(out.InputItems()[0].isSet);
    CHidTransport& in = m_col[1];
    ASSERT_EQ(in.InputItemCount(), 1u);
    ASSERT_EQ(CHidTransport::DecodeReport(in.InputItems(), in.InputItemCount(), in4.data(),
                                          static_cast<uint32_t>(in4.size()), HidReportType::Input,
                                          in.ParsedDescriptor()),
              1);
    EXPECT_TRUE(in.InputItems()[0].isSet);
    EXPECT_EQ(in.InputItems()[0].value, 0x44u);
}

TEST_F(SimSharedIds, EachCollectionWritesOnlyItsOwnOutputIds) {
    const Bytes out4 = Report(4, 64, 0x33);
    uint32_t n = 99;
    // Report 4 is an input report of collection 2, a feature of collection 4, unknown to 1.
    for (int c : {1, 2, 4}) {
        EXPECT_EQ(m_col[c - 1].WriteReport(out4.data(), 64, &n, 1000), 0) << c;
        EXPECT_EQ(n, 0u) << c;
    }
    // Collection 3's own input id is no output report either.
    const Bytes in5 = Report(5, 64, 0x55);
    EXPECT_EQ(m_col[2].WriteReport(in5.data(), 64, &n, 1000), 0);
    EXPECT_TRUE(m_sim.Receive(m_itf, 100).empty());

    ASSERT_EQ(m_col[2].WriteReport(out4.data(), 64, &n, 1000), 1);
    EXPECT_EQ(n, 64u);
    EXPECT_EQ(m_sim.Receive(m_itf, 1000), out4);
    const Bytes leds = {0x01, 0x02};
    ASSERT_EQ(m_col[0].WriteReport(leds.data(), 2, &n, 1000), 1);
    EXPECT_EQ(m_sim.Receive(m_itf, 1000), leds);
    EXPECT_TRUE(m_sim.Receive(m_itf, 100).empty());
}

TEST(HidPath, ParsesWhatItFormats) {
    HidPathParts p;
    ASSERT_TRUE(ParseHidPath("hid#vid_0c45&pid_0820&mi_01&col04#/dev/hidraw3", p));
    EXPECT_EQ(p.kind, HidNodeKind::Hidraw);
    EXPECT_EQ(p.vendorId, 0x0c45);
    EXPECT_EQ(p.productId, 0x0820);
    EXPECT_EQ(p.interfaceNumber, 1);
    EXPECT_EQ(p.collection, 4u);
    EXPECT_EQ(p.node, "/dev/hidraw3");
    // A node path may hold what looks like markers.
    ASSERT_TRUE(ParseHidPath("SIM#VID_0C45&PID_0820#/run/a#vid_1&col09/x-mi01.sock", p));
    EXPECT_EQ(p.kind, HidNodeKind::Emulated);
    EXPECT_EQ(p.interfaceNumber, -1);
    EXPECT_EQ(p.collection, 0u);
    EXPECT_EQ(p.node, "/run/a#vid_1&col09/x-mi01.sock");
    for (const char* bad : {"", "hid#", "hid##/dev/x", "usb#vid_1&pid_2#/dev/x", "hid#vid_1#/dev/x",
                            "hid#vid_1&pid_2&col00#/dev/x", "hid#vid_10000&pid_2#/dev/x",
                            "hid#vid_1&pid_2&xx#/d", "hid#vid_1&pid_2#"})
        EXPECT_FALSE(ParseHidPath(bad, p)) << bad;
}

} // namespace
} // namespace nk7x
