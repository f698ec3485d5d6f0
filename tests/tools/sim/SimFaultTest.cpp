// Faults the emulated keyboard injects: stale, missing, slow and refused replies, and unplugging in
// the middle of a transfer; once, a number of times or for good; for one command or any.
#include <thread>

#include "tests/tools/sim/SimTestSupport.h"

namespace nk7x::test {
namespace {

using Ms = std::chrono::milliseconds;

class SimFaults : public SimFixture {
  protected:
    void SetUp() override {
        SimFixture::SetUp();
        ASSERT_TRUE(m_client.Connect(m_device->SocketPath()));
    }
    void Arm(const char* faultList) {
        std::string error;
        ASSERT_EQ(m_device->AddFaults(faultList, &error), 1) << error;
    }
    RawClient m_client;
};

TEST(SimFaultList, ParsesEveryKindWithCommandAndRepeat) {
    std::vector<SimFault> f;
    std::string error;
    ASSERT_TRUE(
        ParseSimFaults("stale, noreply@7, slow=250@0x05:always, status=0xFE@6:3, unplug@21+2", f, &error))
        << error;
    ASSERT_EQ(f.size(), 5u);
    EXPECT_EQ(f[0].kind, SimFaultKind::StaleReply);
    EXPECT_EQ(f[0].command, -1);
    EXPECT_EQ(f[0].count, 1);
    EXPECT_EQ(f[1].kind, SimFaultKind::NoReply);
    EXPECT_EQ(f[1].command, 7);
    EXPECT_EQ(f[2].kind, SimFaultKind::SlowReply);
    EXPECT_EQ(f[2].value, 250);
    EXPECT_EQ(f[2].command, 5);
    EXPECT_EQ(f[2].count, 0);
    EXPECT_EQ(f[3].kind, SimFaultKind::Status);
    EXPECT_EQ(f[3].value, 0xFE);
    EXPECT_EQ(f[3].count, 3);
    EXPECT_EQ(f[4].kind, SimFaultKind::Unplug);
    EXPECT_EQ(f[4].command, 21);
    EXPECT_EQ(f[4].skip, 2);
    EXPECT_EQ(f[0].skip, 0);

    // The text form reads back to the same faults.
    std::string text;
    for (const SimFault& x : f)
        text += (text.empty() ? "" : ",") + FormatSimFault(x);
    std::vector<SimFault> again;
    ASSERT_TRUE(ParseSimFaults(text, again, &error)) << text << ": " << error;
    ASSERT_EQ(again.size(), f.size());
    for (size_t i = 0; i < f.size(); ++i) {
        EXPECT_EQ(again[i].kind, f[i].kind);
        EXPECT_EQ(again[i].command, f[i].command);
        EXPECT_EQ(again[i].value, f[i].value);
        EXPECT_EQ(again[i].count, f[i].count);
        EXPECT_EQ(again[i].skip, f[i].skip);
    }
}

TEST(SimFaultList, RefusesMalformedItemsAndKeepsTheListUntouched) {
    for (const char* bad : {"", "late", "slow", "slow=x", "slow=70000", "status", "status=0x100", "stale=3",
                            "noreply@", "noreply@256", "unplug@21+", "unplug+x", "stale:0", "stale:sometimes",
                            "stale,,noreply", "unplug@-1"}) {
        std::vector<SimFault> f{SimFault{}};
        std::string error;
        EXPECT_FALSE(ParseSimFaults(bad, f, &error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
        EXPECT_EQ(f.size(), 1u) << bad;
    }
}

TEST_F(SimFaults, StaleReplyComesFirstWithAWrongEchoThenTheRealOne) {
    Arm("stale@3");
    ASSERT_TRUE(m_client.Send(ReadRequest(3, 34)));
    auto first = m_client.ReceiveReply();
    auto second = m_client.ReceiveReply();
    ASSERT_TRUE(first && second);
    EXPECT_NE((*first)[3], 3);
    EXPECT_NE((*first)[3], 0);
    EXPECT_EQ((*second)[3], 3);
    EXPECT_EQ((*second)[8 + 5], 126);
    EXPECT_EQ(m_device->Counters().staleRepliesSent, 1u);

    // Once only: the next frame has one reply.
    ASSERT_TRUE(m_client.Send(ReadRequest(3, 34)));
    auto only = m_client.ReceiveReply();
    ASSERT_TRUE(only);
    EXPECT_EQ((*only)[3], 3);
    EXPECT_FALSE(m_client.ReceiveReply(50).has_value());
    EXPECT_TRUE(m_device->Faults().empty());
}

TEST_F(SimFaults, FaultForOneCommandLeavesOthersAlone) {
    Arm("stale@7");
    auto begin = m_client.Exchange(Request(1));
    ASSERT_TRUE(begin);
    EXPECT_EQ((*begin)[3], 1);
    EXPECT_FALSE(m_client.ReceiveReply(50).has_value());
    EXPECT_EQ(m_device->Faults().size(), 1u); // still waiting for command 7
}

TEST_F(SimFaults, NoReplyTakesTheFrameButNeverAnswers) {
    Arm("noreply@6");
    ASSERT_TRUE(m_client.Send(Request(6, {0x42}, 10)));
    // Once the frame is taken, a reply would already be on its way.
    ASSERT_TRUE(m_device->WaitForFrames(1, kDueMs));
    EXPECT_FALSE(m_client.ReceiveReply(150).has_value());
    EXPECT_EQ(m_device->Parameters()[10], 0x42);
    const std::vector<SimFrameRecord> log = m_device->FrameLog();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_FALSE(log[0].answered);
    // The device answers again afterwards.
    auto r = m_client.Exchange(Request(6, {0x43}, 10));
    ASSERT_TRUE(r);
    EXPECT_EQ((*r)[7], kSimStatusOk);
}

TEST_F(SimFaults, SlowReplyArrivesLateAndLaterFramesWaitBehindIt) {
    Arm("slow=250@5");
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(m_client.Send(ReadRequest(5, 1, 0)));
    ASSERT_TRUE(m_client.Send(Request(1)));
    auto first = m_client.ReceiveReply();
    const auto firstAt = std::chrono::steady_clock::now() - start;
    auto second = m_client.ReceiveReply();
    ASSERT_TRUE(first && second);
    EXPECT_EQ((*first)[3], 5);
    EXPECT_EQ((*second)[3], 1); // answered in order
    EXPECT_GE(firstAt, Ms(250));
    EXPECT_LT(firstAt, Ms(2000)); // late by its delay, not by ten times it
}

TEST_F(SimFaults, StatusFaultRefusesOnceThenPersistentAndCounted) {
    Arm("status=0xFE@6");
    auto r = m_client.Exchange(Request(6, {9}, 0x20));
    ASSERT_TRUE(r);
    EXPECT_EQ((*r)[3], 6);
    EXPECT_EQ((*r)[7], 0xFE);
    EXPECT_EQ(m_device->Parameters()[0x20], 0); // a refused frame is not applied
    r = m_client.Exchange(Request(6, {9}, 0x20));
    ASSERT_TRUE(r);
    EXPECT_EQ((*r)[7], kSimStatusOk);
    EXPECT_EQ(m_device->Parameters()[0x20], 9);

    Arm("status=0xFF:always");
    for (int i = 0; i < 3; ++i) {
        r = m_client.Exchange(Request(static_cast<uint8_t>(1 + i)));
        ASSERT_TRUE(r);
        EXPECT_EQ((*r)[7], 0xFF);
    }
    m_device->ClearFaults();
    r = m_client.Exchange(Request(1));
    ASSERT_TRUE(r);
    EXPECT_EQ((*r)[7], kSimStatusOk);

    Arm("status=0xFF@1:2");
    EXPECT_EQ((*m_client.Exchange(Request(1)))[7], 0xFF);
    EXPECT_EQ((*m_client.Exchange(Request(1)))[7], 0xFF);
    EXPECT_EQ((*m_client.Exchange(Request(1)))[7], kSimStatusOk);
}

TEST_F(SimFaults, UnplugInTheMiddleOfATransfer) {
    Arm("unplug@21");
    // The first frames of the macro download go through ...
    auto r = m_client.Exchange(Request(1));
    ASSERT_TRUE(r);
    // ... then the device disappears on the macro frame, before answering it.
    ASSERT_TRUE(m_client.Send(Request(21, {0xAA, 0x55}, 0)));
    bool eof = false;
    for (int i = 0; i < 5 && !eof; ++i) {
        auto m = m_client.Receive(kDueMs, &eof);
        EXPECT_FALSE(m && !m->empty() && (*m)[0] == 4 && (*m)[3] == 21) << "the frame was answered";
    }
    EXPECT_TRUE(eof);
    EXPECT_FALSE(m_device->IsPlugged());
    EXPECT_FALSE(FileExists(m_device->SocketPath()));
    EXPECT_FALSE(FileExists(m_device->InfoPath()));
    EXPECT_FALSE(FileExists(m_device->DescriptorPath()));
    EXPECT_EQ(m_device->MacroArea()[0], 0); // gone before acting on the frame
    EXPECT_EQ(m_device->Counters().unplugs, 1u);
    EXPECT_FALSE(m_client.Send(Request(1)) && m_client.ReceiveReply(100).has_value());

    // Plugged in again, it answers as before.
    ASSERT_EQ(m_device->Start(), 1) << m_device->LastError();
    ASSERT_TRUE(m_client.Connect(m_device->SocketPath()));
    r = m_client.Exchange(Request(21, {0xAA, 0x55}, 0));
    ASSERT_TRUE(r);
    EXPECT_EQ((*r)[7], kSimStatusOk);
    EXPECT_EQ(m_device->MacroArea()[0], 0xAA);
}

TEST_F(SimFaults, UnplugPartWayThroughAChunkedWriteKeepsTheFramesBefore) {
    Arm("unplug@6+1");
    ASSERT_TRUE(m_client.Exchange(Request(1))); // other commands do not count
    auto first = m_client.Exchange(Request(6, Bytes(56, 0x11), 0));
    ASSERT_TRUE(first);
    EXPECT_EQ((*first)[7], kSimStatusOk);
    ASSERT_TRUE(m_client.Send(Request(6, Bytes(56, 0x22), 56)));
    bool eof = false;
    while (!eof && m_client.Receive(kDueMs, &eof)) {
    }
    EXPECT_TRUE(eof);
    EXPECT_FALSE(m_device->IsPlugged());
    const Bytes area = m_device->Parameters();
    EXPECT_EQ(Bytes(area.begin(), area.begin() + 56), Bytes(56, 0x11));
    EXPECT_EQ(Bytes(area.begin() + 56, area.begin() + 112), Bytes(56, 0));
}

TEST_F(SimFaults, FaultsFromTheOptionsAreArmedAtStart) {
    Plug([&] {
        SimOptions o = Options();
        o.faults = "status=0xFF@0xAA:always";
        return o;
    }());
    ASSERT_TRUE(m_client.Connect(m_device->SocketPath()));
    for (int i = 0; i < 2; ++i) {
        auto r = m_client.Exchange(Request(0xAA));
        ASSERT_TRUE(r);
        EXPECT_EQ((*r)[7], 0xFF);
    }
}

TEST_F(SimFaults, StopWhileAReplyIsDelayedDoesNotHang) {
    Arm("slow=20000");
    ASSERT_TRUE(m_client.Send(Request(1)));
    ASSERT_TRUE(m_device->WaitForFrames(1, kDueMs));
    const auto start = std::chrono::steady_clock::now();
    m_device->Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - start, Ms(4000)); // not the 20 s of the delay
    bool eof = false;
    EXPECT_FALSE(m_client.Receive(kDueMs, &eof).has_value());
    EXPECT_TRUE(eof);
}

} // namespace
} // namespace nk7x::test
