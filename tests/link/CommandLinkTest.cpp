// The command link against the emulated keyboard, through the real transport.
#include "link/DeviceCommandLink.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <numeric>
#include <thread>

#include "LinkTestSupport.h"
#include "tools/sim/SimDevice.h"

using namespace nk7x;
using namespace nk7x::test;
using Clock = std::chrono::steady_clock;

namespace {

long long MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

std::vector<uint8_t> Pattern(size_t n, uint8_t seed) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = static_cast<uint8_t>(seed + i * 7);
    return v;
}

// 32 lower-case hex pairs in groups of four: three blanks after the first three groups, then two.
bool IsHexLine(const std::string& line) {
    const std::string layout = "hh hh hh hh   hh hh hh hh   hh hh hh hh   hh hh hh hh  "
                               "hh hh hh hh  hh hh hh hh  hh hh hh hh  hh hh hh hh";
    if (line.size() != layout.size())
        return false;
    for (size_t i = 0; i < line.size(); ++i) {
        const bool hex = (line[i] >= '0' && line[i] <= '9') || (line[i] >= 'a' && line[i] <= 'f');
        if (layout[i] == 'h' ? !hex : line[i] != ' ')
            return false;
    }
    return true;
}

class CommandLinkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SimOptions options;
        options.folder = m_folder.Path();
        m_sim = std::make_unique<SimDevice>(options);
        ASSERT_EQ(m_sim->Start(), 1) << m_sim->LastError();
        ASSERT_EQ(m_link.OpenPath(m_sim->CommandPath()), 1);
        ASSERT_TRUE(m_link.IsOpen());
    }
    void TearDown() override {
        m_link.ClosePath();
        m_sim->Stop();
    }

    // The frames the device received with command `code`, after a round trip that makes sure
    // everything sent before it has arrived.
    std::vector<SimFrameRecord> Received(uint8_t code) {
        EXPECT_EQ(m_link.BeginConfig(), kResultOk);
        std::vector<SimFrameRecord> out;
        for (const SimFrameRecord& f : m_sim->FrameLog())
            if (f.command == code)
                out.push_back(f);
        return out;
    }
    static std::vector<std::pair<int, int>> LengthsAndOffsets(const std::vector<SimFrameRecord>& frames) {
        std::vector<std::pair<int, int>> v;
        for (const SimFrameRecord& f : frames)
            v.emplace_back(f.length, f.offset);
        return v;
    }

    TempSimFolder m_folder;
    std::unique_ptr<SimDevice> m_sim;
    CDeviceCommandLink m_link;
};

} // namespace

TEST(CommandLinkClosed, EveryOperationFailsWithoutTrafficOrLog) {
    CDeviceCommandLink link;
    DebugCapture capture;
    uint8_t request[64] = {4, 0, 0, 1};
    uint8_t reply[64] = {};
    uint32_t transferred = 99;
    EXPECT_EQ(link.Exchange(request, 64, reply, 64, &transferred), kResultFailed);
    EXPECT_EQ(transferred, 0u);
    EXPECT_EQ(link.BeginConfig(), kResultFailed);
    EXPECT_EQ(link.StreamLighting(reply, 64), kResultFailed);
    EXPECT_FALSE(link.Probe());
    EXPECT_TRUE(capture.Lines().empty());
    EXPECT_EQ(link.DataSize(), 512);
    EXPECT_EQ(link.ChunkSize(), 56);
    EXPECT_FALSE(link.IsBusy());
}

TEST_F(CommandLinkTest, ShortRequestGoesOutAsSixtyFourBytesAndIsLoggedWhole) {
    const FrameBytes full = CommandRequest::Make(1, 0, 0, nullptr).Serialise();
    DebugCapture capture;
    uint8_t reply[64] = {};
    uint32_t transferred = 0;
    m_sim->ClearFrameLog();
    ASSERT_EQ(m_link.Exchange(full.data(), 10, reply, 64, &transferred), kResultOk);
    EXPECT_EQ(transferred, 64u);
    EXPECT_EQ(reply[3], 1);

    const std::vector<SimFrameRecord> log = m_sim->FrameLog();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].size, 64u);
    EXPECT_TRUE(log[0].checksumValid);
    for (size_t i = 10; i < 64; ++i)
        ASSERT_EQ(log[0].raw[i], 0) << "byte " << i;

    const std::vector<std::string> lines = capture.Lines();
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0], "命令");
    EXPECT_EQ(lines[1], "04 01 00 01   00 00 00 00   00 00 00 00   00 00 00 00  "
                        "00 00 00 00  00 00 00 00  00 00 00 00  00 00 00 00");
    EXPECT_EQ(lines[2], "00 00 00 00   00 00 00 00   00 00 00 00   00 00 00 00  "
                        "00 00 00 00  00 00 00 00  00 00 00 00  00 00 00 00");
    EXPECT_EQ(lines[3], "返回");
    // The reply lines show the device's answer: report id, echo and a success status.
    EXPECT_TRUE(IsHexLine(lines[4])) << lines[4];
    EXPECT_TRUE(IsHexLine(lines[5])) << lines[5];
    EXPECT_EQ(lines[4].substr(0, 2), "04");
    EXPECT_EQ(lines[4].substr(9, 2), "01");
    EXPECT_NE(lines[4].substr(23, 2), "ff");
    EXPECT_NE(lines[4].substr(23, 2), "fe");
}

TEST_F(CommandLinkTest, ParameterWritesAreCutIntoFiftySixByteFramesAtTheirOffsets) {
    const std::vector<uint8_t> data = Pattern(120, 3);
    m_sim->ClearFrameLog();
    ASSERT_EQ(m_link.WriteParameters(data.data(), data.size(), 0), kResultOk);
    const std::vector<SimFrameRecord> frames = Received(6);
    EXPECT_EQ(LengthsAndOffsets(frames), (std::vector<std::pair<int, int>>{{56, 0}, {56, 56}, {8, 112}}));
    for (const SimFrameRecord& f : frames)
        EXPECT_TRUE(f.checksumValid);
    const std::vector<uint8_t> params = m_sim->Parameters();
    EXPECT_TRUE(std::equal(data.begin(), data.end(), params.begin()));

    // Read back from a base offset: the same cut, shifted.
    std::vector<uint8_t> back(100, 0);
    m_sim->ClearFrameLog();
    ASSERT_EQ(m_link.ReadParameters(back.data(), back.size(), 20), kResultOk);
    EXPECT_EQ(LengthsAndOffsets(Received(5)), (std::vector<std::pair<int, int>>{{56, 20}, {44, 76}}));
    EXPECT_TRUE(std::equal(back.begin(), back.end(), data.begin() + 20));
}

TEST_F(CommandLinkTest, AreasBeyondSixteenBitsAreRefusedBeforeAnyFrame) {
    std::vector<uint8_t> data(120, 1);
    m_sim->ClearFrameLog();
    EXPECT_EQ(m_link.WriteParameters(data.data(), data.size(), 0xFFC0), kResultFailed);
    EXPECT_EQ(m_link.ReadParameters(data.data(), data.size(), 0xFFC0), kResultFailed);
    EXPECT_EQ(m_link.ReadBlock(data.data(), 57, 0), kResultFailed);
    EXPECT_TRUE(Received(6).empty());
    EXPECT_TRUE(Received(5).empty());
    EXPECT_TRUE(Received(26).empty());
}

TEST_F(CommandLinkTest, KeyTablesFollowTheDataSize) {
    DeviceInfoRecord info{};
    ASSERT_EQ(m_link.ReadDeviceInfo(info), kResultOk);
    const std::vector<uint8_t> deviceInfo = m_sim->DeviceInfo();
    EXPECT_TRUE(std::equal(info.begin(), info.end(), deviceInfo.begin()));
    ASSERT_EQ(info[5], 126);
    ASSERT_EQ(m_link.SetDataSize(info[5] * 3u), 1);

    std::vector<uint8_t> keys(378, 0);
    m_sim->ClearFrameLog();
    ASSERT_EQ(m_link.ReadKeyTable(keys.data()), kResultOk);
    std::vector<std::pair<int, int>> expected;
    for (int p = 0; p < 336 + 1; p += 56)
        expected.emplace_back(p < 336 ? 56 : 42, p);
    EXPECT_EQ(LengthsAndOffsets(Received(7)), expected);
    EXPECT_EQ(keys, m_sim->KeyTable());

    std::vector<uint8_t> leds(126, 0);
    m_sim->ClearFrameLog();
    ASSERT_EQ(m_link.ReadKeyIndexTable(leds.data()), kResultOk);
    EXPECT_EQ(LengthsAndOffsets(Received(27)),
              (std::vector<std::pair<int, int>>{{56, 0}, {56, 56}, {14, 112}}));
    EXPECT_EQ(leds, m_sim->LedTable());

    // Writing the table back: page 0 only; any other page is refused before a frame is sent.
    std::rotate(keys.begin(), keys.begin() + 3, keys.end());
    m_sim->ClearFrameLog();
    EXPECT_EQ(m_link.WriteKeyTable(keys.data(), 1), kResultBadPage);
    EXPECT_EQ(m_link.WriteKeyTable(keys.data(), -1), kResultBadPage);
    EXPECT_TRUE(Received(9).empty());
    ASSERT_EQ(m_link.WriteKeyTable(keys.data(), 0), kResultOk);
    EXPECT_EQ(Received(9).size(), 7u);
    EXPECT_EQ(m_sim->KeyTable(), keys);
}

TEST_F(CommandLinkTest, DataSizeAboveFiveHundredTwelveIsRefused) {
    ASSERT_EQ(m_link.SetDataSize(378), 1);
    EXPECT_EQ(m_link.SetDataSize(513), 0);
    EXPECT_EQ(m_link.DataSize(), 378);
    EXPECT_EQ(m_link.SetDataSize(0x10000 + 10), 0); // not cut to 16 bits
    EXPECT_EQ(m_link.DataSize(), 378);
    EXPECT_EQ(m_link.SetDataSize(512), 1);
    EXPECT_EQ(m_link.DataSize(), 512);
}

TEST_F(CommandLinkTest, LightingPagesBlocksAndAreasLandWhereAsked) {
    const std::vector<uint8_t> colours = Pattern(378, 9);
    m_sim->ClearFrameLog();
    ASSERT_EQ(m_link.WriteLightingPage(colours.data(), colours.size(), 2, 512), kResultOk);
    const std::vector<SimFrameRecord> frames = Received(11);
    ASSERT_EQ(frames.size(), 7u);
    EXPECT_EQ(frames.front().offset, 1024);
    EXPECT_EQ(frames.back().offset, 1024 + 336);
    const std::vector<uint8_t> page = m_sim->LightingPage(2);
    ASSERT_GE(page.size(), colours.size());
    EXPECT_TRUE(std::equal(colours.begin(), colours.end(), page.begin()));

    uint8_t block[6] = {};
    m_sim->ClearFrameLog();
    ASSERT_EQ(m_link.ReadBlock(block, 6, 0), kResultOk);
    const std::vector<SimFrameRecord> reads = Received(26);
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0].length, 6);
    EXPECT_EQ(reads[0].offset, 0);
    const std::vector<uint8_t> status = m_sim->StatusBlock();
    EXPECT_TRUE(std::equal(block, block + 6, status.begin()));

    const std::vector<uint8_t> macros = Pattern(130, 1);
    const std::vector<uint8_t> shoot = Pattern(60, 2);
    m_sim->ClearFrameLog();
    ASSERT_EQ(m_link.WriteMacroArea(macros.data(), macros.size()), kResultOk);
    ASSERT_EQ(m_link.WriteShootArea(shoot.data(), shoot.size()), kResultOk);
    EXPECT_EQ(LengthsAndOffsets(Received(21)),
              (std::vector<std::pair<int, int>>{{56, 0}, {56, 56}, {18, 112}}));
    EXPECT_EQ(LengthsAndOffsets(Received(23)), (std::vector<std::pair<int, int>>{{56, 0}, {4, 56}}));
    const std::vector<uint8_t> macroArea = m_sim->MacroArea();
    const std::vector<uint8_t> shootArea = m_sim->ShootArea();
    EXPECT_TRUE(std::equal(macros.begin(), macros.end(), macroArea.begin()));
    EXPECT_TRUE(std::equal(shoot.begin(), shoot.end(), shootArea.begin()));
}

TEST_F(CommandLinkTest, SilentDeviceTimesOutWithinOneTimeout) {
    m_sim->AddFaults("noreply");
    const FrameBytes request = CommandRequest::Make(1, 0, 0, nullptr).Serialise();
    uint8_t reply[64] = {};
    uint32_t transferred = 99;
    const auto start = Clock::now();
    EXPECT_EQ(m_link.Exchange(request.data(), 64, reply, 64, &transferred), kResultFailed);
    const long long ms = MsSince(start);
    EXPECT_GE(ms, 950);
    EXPECT_LT(ms, 1900) << "the exchange waited for more than its one time-out";
    EXPECT_EQ(transferred, 0u);
    EXPECT_EQ(reply[3], 0); // a failed read leaves the buffer alone
    EXPECT_FALSE(m_link.IsBusy());
}

TEST_F(CommandLinkTest, LongTimeoutsWaitForASlowReceiver) {
    // 2300 ms is past two short reads (2 x 1000 ms) but well inside one long one.
    m_sim->AddFaults("slow=2300@1");
    m_link.SetLongTimeouts(true);
    const auto start = Clock::now();
    EXPECT_EQ(m_link.BeginConfig(), kResultOk);
    EXPECT_GE(MsSince(start), 2200);
}

TEST_F(CommandLinkTest, ClosingFromAnotherThreadAbortsAWaitingExchange) {
    m_sim->AddFaults("noreply");
    std::thread closer([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        m_link.ClosePath();
    });
    const auto start = Clock::now();
    EXPECT_EQ(m_link.BeginConfig(), kResultFailed);
    const long long ms = MsSince(start);
    closer.join();
    EXPECT_LT(ms, 700) << "the exchange waited for its time-out instead of the abort";
    EXPECT_FALSE(m_link.IsOpen());
    EXPECT_EQ(m_link.BeginConfig(), kResultFailed);

    // The same link opens again when the device is back.
    ASSERT_EQ(m_link.OpenPath(m_sim->CommandPath()), 1);
    EXPECT_EQ(m_link.BeginConfig(), kResultOk);
}

TEST_F(CommandLinkTest, StaleFirstReplyIsSkippedByTheEchoCheck) {
    m_sim->AddFaults("stale@3");
    DeviceInfoRecord info{};
    ASSERT_EQ(m_link.ReadDeviceInfo(info), kResultOk);
    EXPECT_EQ(info[5], 126);
    EXPECT_EQ(m_sim->Counters().staleRepliesSent, 1u);
    // The next exchange is not thrown off by what the first one skipped.
    EXPECT_EQ(m_link.EndConfig(), kResultOk);
    EXPECT_EQ(m_link.ReadDeviceInfo(info), kResultOk);
    EXPECT_EQ(info[5], 126);
}

TEST_F(CommandLinkTest, DeviceStatusBecomesItsResultCode) {
    std::vector<uint8_t> data(60, 7);
    m_sim->AddFaults("status=0xFF@6");
    EXPECT_EQ(m_link.WriteParameters(data.data(), data.size(), 0), kResultDeviceFailed);
    m_sim->AddFaults("status=0xFE@5");
    EXPECT_EQ(m_link.ReadParameters(data.data(), data.size(), 0), kResultDeviceRefused);

    // A refused device information read leaves the caller's record as it was.
    DeviceInfoRecord info;
    info.fill(0xAB);
    m_sim->AddFaults("status=0xFE@3");
    EXPECT_EQ(m_link.ReadDeviceInfo(info), kResultDeviceRefused);
    EXPECT_TRUE(std::all_of(info.begin(), info.end(), [](uint8_t b) { return b == 0xAB; }));

    m_sim->AddFaults("status=0xFF@0xAA");
    EXPECT_FALSE(m_link.Probe());
    EXPECT_TRUE(m_link.Probe());

    m_sim->AddFaults("status=0xFE@18");
    EXPECT_EQ(m_link.StreamLighting(data.data(), data.size()), kResultDeviceRefused);
}

TEST_F(CommandLinkTest, UnplugDuringATransferFailsPromptlyAndTheLinkRecovers) {
    const std::vector<uint8_t> data = Pattern(120, 5);
    m_sim->AddFaults("unplug@6");
    const auto start = Clock::now();
    EXPECT_EQ(m_link.WriteParameters(data.data(), data.size(), 0), kResultFailed);
    EXPECT_LT(MsSince(start), 700);
    EXPECT_FALSE(m_sim->IsPlugged());
    size_t sent = 0;
    for (const SimFrameRecord& f : m_sim->FrameLog())
        sent += f.command == 6;
    EXPECT_EQ(sent, 1u) << "frames after the failed one must not be sent";

    // With the device gone the request cannot be written: -1, and no reply is logged.
    DebugCapture capture;
    const auto again = Clock::now();
    EXPECT_EQ(m_link.BeginConfig(), kResultWriteFailed);
    EXPECT_LT(MsSince(again), 700);
    EXPECT_EQ(capture.Lines().size(), 3u);

    // Plugged in again, the same link object reopens.
    m_link.ClosePath();
    ASSERT_EQ(m_sim->Start(), 1);
    ASSERT_EQ(m_link.OpenPath(m_sim->CommandPath()), 1);
    EXPECT_EQ(m_link.BeginConfig(), kResultOk);
}

TEST_F(CommandLinkTest, LiveLightingGivesWayToALoggedExchange) {
    m_sim->AddFaults("slow=500@1");
    std::thread configuring([this] { EXPECT_EQ(m_link.BeginConfig(), kResultOk); });
    const auto start = Clock::now();
    while (!m_link.IsBusy() && MsSince(start) < 1000)
        std::this_thread::yield();
    ASSERT_TRUE(m_link.IsBusy());

    const std::vector<uint8_t> colours = Pattern(112, 4);
    LinkResult result;
    std::vector<std::string> lines;
    {
        DebugCapture capture;
        result = m_link.StreamLighting(colours.data(), colours.size());
        lines = capture.Lines();
    }
    EXPECT_LT(MsSince(start), 450) << "the stream waited for the other exchange";
    configuring.join();
    EXPECT_EQ(result, kResultOk);
    // The capture is process-wide: the configuring thread's own log of its exchange ("命令" and
    // its frame) may land in it, in any order; only the stream's lines are the point here.
    std::erase_if(lines, [](const std::string& line) {
        return line != "放弃灯光数据" && (line == "命令" || line.find("04 ") == 0 || line.find("00 ") == 0);
    });
    EXPECT_EQ(lines, (std::vector<std::string>{"放弃灯光数据", "放弃灯光数据"}));
    EXPECT_TRUE(Received(18).empty());
}

TEST_F(CommandLinkTest, LiveLightingSendsNothingWithLongTimeoutsAndStreamsOtherwise) {
    const std::vector<uint8_t> colours = Pattern(112, 8);
    m_link.SetLongTimeouts(true);
    m_sim->ClearFrameLog();
    EXPECT_EQ(m_link.StreamLighting(colours.data(), colours.size()), kResultOk);
    EXPECT_TRUE(Received(18).empty());

    m_link.SetLongTimeouts(false);
    DebugCapture capture;
    m_sim->ClearFrameLog();
    EXPECT_EQ(m_link.StreamLighting(colours.data(), colours.size()), kResultOk);
    EXPECT_TRUE(capture.Lines().empty()) << "the live stream is not logged";
    EXPECT_EQ(LengthsAndOffsets(Received(18)), (std::vector<std::pair<int, int>>{{56, 0}, {56, 56}}));
    const std::vector<uint8_t> live = m_sim->LiveLighting();
    EXPECT_TRUE(std::equal(colours.begin(), colours.end(), live.begin()));
}

TEST_F(CommandLinkTest, EndConfigWaitsTenMillisecondsFirst) {
    auto fastest = [](auto&& op) {
        long long best = 1 << 30;
        for (int i = 0; i < 5; ++i) {
            const auto start = Clock::now();
            EXPECT_EQ(op(), kResultOk);
            best = std::min<long long>(
                best, std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count());
        }
        return best;
    };
    const long long begin = fastest([this] { return m_link.BeginConfig(); });
    const long long end = fastest([this] { return m_link.EndConfig(); });
    EXPECT_GE(end - begin, 9000) << "BeginConfig " << begin << " us, EndConfig " << end << " us";
}

TEST_F(CommandLinkTest, ConcurrentCommandAndLightingFramesStayWhole) {
    ASSERT_EQ(m_link.SetDataSize(378), 1);
    const std::vector<uint8_t> expectedKeys = m_sim->KeyTable();
    const std::vector<uint8_t> colours = Pattern(378, 11);
    std::atomic<int> failures{0};
    std::thread reader([&] {
        std::vector<uint8_t> keys(378);
        for (int i = 0; i < 15; ++i)
            if (m_link.ReadKeyTable(keys.data()) != kResultOk || keys != expectedKeys)
                ++failures;
    });
    std::thread lighter([&] {
        for (int i = 0; i < 15; ++i) {
            if (m_link.WriteLightingPage(colours.data(), colours.size(), 1, 512) != kResultOk)
                ++failures;
            if (m_link.StreamLighting(colours.data(), colours.size()) != kResultOk)
                ++failures;
        }
    });
    reader.join();
    lighter.join();
    EXPECT_EQ(failures.load(), 0);
    const std::vector<uint8_t> page = m_sim->LightingPage(1);
    EXPECT_TRUE(std::equal(colours.begin(), colours.end(), page.begin()));
}

TEST_F(CommandLinkTest, ProbeAnswersForTheEmulatedKeyboard) {
    EXPECT_TRUE(m_link.Probe());
}

// Replies the emulator never gives, from a device whose answers the test writes.
TEST(CommandLinkScripted, ProbeNeedsSuccessAndDataByteFF) {
    TempSimFolder folder;
    std::atomic<int> mode{0};
    ScriptedDevice device(folder.Path(), "probe", [&](const Frame64& req) -> std::vector<Frame64> {
        switch (mode.load()) {
        case 0:
            return {MakeReply(req, 0x00, {0xFF})};
        case 1:
            return {MakeReply(req, 0x00, {0x00})};
        case 2:
            return {MakeReply(req, 0x01, {0xFE})};
        default:
            return {MakeReply(req, 0xFE, {0xFF})};
        }
    });
    ASSERT_TRUE(device.Started());
    CDeviceCommandLink link;
    ASSERT_EQ(link.OpenPath(device.CommandPath()), 1);
    EXPECT_TRUE(link.Probe());
    mode = 1;
    EXPECT_FALSE(link.Probe());
    mode = 2;
    EXPECT_FALSE(link.Probe());
    mode = 3;
    EXPECT_FALSE(link.Probe());
    link.ClosePath();
}

TEST(CommandLinkScripted, RepliesThatDoNotEchoAreSkippedUntilOneDoes) {
    TempSimFolder folder;
    ScriptedDevice device(folder.Path(), "stale", [](const Frame64& req) -> std::vector<Frame64> {
        Frame64 other1 = MakeReply(req, 0x00, {1});
        Frame64 other2 = MakeReply(req, 0xFF, {2});
        other1[3] = static_cast<uint8_t>(req[3] + 1);
        other2[3] = static_cast<uint8_t>(req[3] + 2);
        return {other1, other2, MakeReply(req, 0x00, {3})};
    });
    ASSERT_TRUE(device.Started());
    CDeviceCommandLink link;
    ASSERT_EQ(link.OpenPath(device.CommandPath()), 1);
    const FrameBytes request = CommandRequest::Make(5, 1, 0, nullptr).Serialise();
    uint8_t reply[64] = {};
    ASSERT_EQ(link.Exchange(request.data(), 64, reply, 64, nullptr), kResultOk);
    EXPECT_EQ(reply[3], 5);
    EXPECT_EQ(reply[8], 3) << "only the reply that echoes the command is the answer";
    EXPECT_EQ(link.ForeignRepliesSkipped(), 2u);
    // Through the command layer the status judged is the echoing reply's, not another's 0xFF.
    uint8_t data[1] = {};
    EXPECT_EQ(link.ReadParameters(data, 1, 0), kResultOk);
    EXPECT_EQ(data[0], 3);
    link.ClosePath();
}

TEST(CommandLinkScripted, AnExchangeWhoseReplyNeverEchoesFailsAndHandsBackNothing) {
    TempSimFolder folder;
    ScriptedDevice device(folder.Path(), "foreign", [](const Frame64& req) -> std::vector<Frame64> {
        Frame64 other = MakeReply(req, 0x00, {0x55, 0x55, 0x55});
        other[3] = static_cast<uint8_t>(req[3] ^ 0x80);
        return {other, other};
    });
    ASSERT_TRUE(device.Started());
    CDeviceCommandLink link;
    ASSERT_EQ(link.OpenPath(device.CommandPath()), 1);
    std::vector<uint8_t> data(26, 0xAB);
    const auto start = Clock::now();
    EXPECT_EQ(link.ReadParameters(data.data(), data.size(), 0), kResultFailed);
    EXPECT_LT(MsSince(start), 1900) << "one time-out in total, not one per read";
    EXPECT_TRUE(std::all_of(data.begin(), data.end(), [](uint8_t b) { return b == 0xAB; }))
        << "a failed read must not hand back another frame's data";
    link.ClosePath();
}

TEST(CommandLinkScripted, ADeviceThatPutsNoAddressInItsRepliesIsStillAnswered) {
    // Replies carry the command and data but not the request's length and offset.
    TempSimFolder folder;
    ScriptedDevice device(folder.Path(), "noaddr", [](const Frame64& req) -> std::vector<Frame64> {
        Frame64 r = MakeReply(req, 0x00, {static_cast<uint8_t>(req[5] + 1)});
        r[4] = 0x5A; // whatever the firmware leaves there
        r[5] = 0;
        r[6] = 0;
        return {r};
    });
    ASSERT_TRUE(device.Started());
    CDeviceCommandLink link;
    ASSERT_EQ(link.OpenPath(device.CommandPath()), 1);
    std::vector<uint8_t> data(112, 0);
    ASSERT_EQ(link.ReadParameters(data.data(), data.size(), 0), kResultOk);
    EXPECT_EQ(data[0], 1);
    EXPECT_EQ(data[56], 57) << "the second chunk's reply";
    link.ClosePath();
}

TEST(CommandLinkScripted, RepliesWaitingBeforeAFrameGoesOutAreDropped) {
    // Every request is answered twice: a later request would take the first one's second copy as
    // its reply unless the queue is emptied before the frame is written.
    TempSimFolder folder;
    std::atomic<uint8_t> tag{0};
    ScriptedDevice device(folder.Path(), "double", [&](const Frame64& req) -> std::vector<Frame64> {
        const uint8_t t = ++tag;
        return {MakeReply(req, 0x00, {t}), MakeReply(req, 0x00, {t})};
    });
    ASSERT_TRUE(device.Started());
    CDeviceCommandLink link;
    ASSERT_EQ(link.OpenPath(device.CommandPath()), 1);
    uint8_t data[1] = {};
    for (uint8_t round = 1; round <= 5; ++round) {
        ASSERT_EQ(link.ReadParameters(data, 1, 0), kResultOk);
        // The duplicate may arrive after the exchange; wait for it so the next frame meets it.
        const auto until = Clock::now() + std::chrono::milliseconds(100);
        while (Clock::now() < until && device.RequestCount() < round)
            std::this_thread::yield();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_EQ(data[0], round) << "round " << int{round} << " read an earlier frame's reply";
    }
    EXPECT_GE(link.StaleReportsDropped(), 3u);
    link.ClosePath();
}

// Another program on the same device: every opener of the node receives every reply, so the link
// sees the other program's replies between its own frames.
TEST_F(CommandLinkTest, AnotherProgramOnTheSameDeviceNeitherCorruptsNorIsCorrupted) {
    CDeviceCommandLink other;
    ASSERT_EQ(other.OpenPath(m_sim->CommandPath()), 1);
    ASSERT_EQ(m_link.SetDataSize(378), 1);
    ASSERT_EQ(other.SetDataSize(378), 1);
    const std::vector<uint8_t> keys = m_sim->KeyTable();

    // Our settings live at 0..99; the other program writes its own at 200..225 and streams lighting.
    const std::vector<uint8_t> ours = Pattern(100, 3);
    const std::vector<uint8_t> theirs = Pattern(26, 91);
    ASSERT_EQ(m_link.WriteParameters(ours.data(), ours.size(), 0), kResultOk);

    std::atomic<bool> stop{false};
    std::atomic<int> otherFailures{0};
    std::atomic<int> otherRounds{0};
    std::thread streamer([&] {
        const std::vector<uint8_t> colours = Pattern(112, 40);
        while (!stop) {
            if (other.StreamLighting(colours.data(), colours.size()) != kResultOk)
                ++otherFailures;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    });
    std::thread writer([&] {
        std::vector<uint8_t> table(378);
        std::vector<uint8_t> back(26);
        while (!stop) {
            if (other.WriteParameters(theirs.data(), theirs.size(), 200) != kResultOk)
                ++otherFailures;
            if (other.ReadParameters(back.data(), back.size(), 200) != kResultOk || back != theirs)
                ++otherFailures;
            if (other.ReadKeyTable(table.data()) != kResultOk || table != keys)
                ++otherFailures;
            ++otherRounds;
        }
    });

    int failures = 0;
    for (int i = 0; i < 25; ++i) {
        std::vector<uint8_t> table(378);
        std::vector<uint8_t> settings(100);
        DeviceInfoRecord info{};
        if (m_link.ReadKeyTable(table.data()) != kResultOk || table != keys)
            ++failures;
        if (m_link.ReadParameters(settings.data(), settings.size(), 0) != kResultOk || settings != ours)
            ++failures;
        if (m_link.ReadDeviceInfo(info) != kResultOk || info[5] != 126)
            ++failures;
        if (m_link.WriteParameters(ours.data(), ours.size(), 0) != kResultOk)
            ++failures;
    }
    stop = true;
    streamer.join();
    writer.join();
    other.ClosePath();

    EXPECT_EQ(failures, 0) << "our exchanges took the other program's replies";
    EXPECT_EQ(otherFailures.load(), 0) << "the other program's exchanges took ours";
    EXPECT_GT(otherRounds.load(), 0);
    EXPECT_GT(m_link.ForeignRepliesSkipped() + m_link.StaleReportsDropped(), 0u)
        << "the other program's replies never reached this link: the test proved nothing";
    const std::vector<uint8_t> stored = m_sim->Parameters();
    EXPECT_TRUE(std::equal(ours.begin(), ours.end(), stored.begin()));
    EXPECT_TRUE(std::equal(theirs.begin(), theirs.end(), stored.begin() + 200));
}
