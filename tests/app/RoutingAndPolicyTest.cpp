#include "app/LightSyncWorker.h"
#include "app/ScalePolicy.h"
#include "app/ServiceAnswer.h"
#include "platform/DebugLog.h"
#include "platform/WorkerSlots.h"
#include "ui/NotifyRouter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <string>
#include <thread>
#include <vector>

using namespace nk7x;
using Clock = std::chrono::steady_clock;

namespace {

UiNotify Msg(const QString& type, const QString& name) {
    UiNotify m;
    m.type = type;
    m.name = name;
    return m;
}

} // namespace

TEST(NumberedName, SplitsAtTheLastUnderscore) {
    NumberedName a = SplitNumberedName("color_option_3");
    EXPECT_EQ(a.prefix, "color_option_");
    EXPECT_EQ(a.number, 3);
    EXPECT_EQ(SplitNumberedName("key_12abc").number, 12);
    EXPECT_EQ(SplitNumberedName("key_abc").number, 0);
    EXPECT_EQ(SplitNumberedName("key_").number, 0);
    EXPECT_FALSE(SplitNumberedName("closebtn").hasPrefix());
    EXPECT_EQ(SplitNumberedName("key_99999999999999999999").number, INT_MAX);
}

TEST(NotifyRouter, NumberedNamesReachTheirPrefixWithTheNumber) {
    NotifyRouter r;
    int gotNumber = -1;
    QString gotName;
    r.Add("click", NotifyRouter::Match::Prefix, "key_", [&](const UiNotify& m, int n) {
        gotNumber = n;
        gotName = m.name;
    });
    EXPECT_TRUE(r.Dispatch(Msg("click", "key_12")));
    EXPECT_EQ(gotNumber, 12);
    EXPECT_EQ(gotName, "key_12");
    EXPECT_TRUE(r.Dispatch(Msg("click", "KEY_7"))) << "prefixes are compared without case";
    EXPECT_EQ(gotNumber, 7);
    EXPECT_FALSE(r.Dispatch(Msg("selectchanged", "key_3"))) << "rows belong to one notification type";
    EXPECT_FALSE(r.Dispatch(Msg("click", "key"))) << "no underscore, no prefix";
    EXPECT_FALSE(r.Dispatch(Msg("click", "hotkey_1"))) << "the prefix is the whole part before the number";
}

TEST(NotifyRouter, ExactNamesWinAndCaseRulesHold) {
    NotifyRouter r;
    std::vector<std::string> ran;
    r.Add("click", NotifyRouter::Match::Prefix, "key_butt_",
          [&](const UiNotify&, int) { ran.push_back("prefix"); });
    r.Add("click", NotifyRouter::Match::Name, "key_butt_keysave",
          [&](const UiNotify&, int) { ran.push_back("save"); });
    r.Add("click", NotifyRouter::Match::NameCase, "profile_fun_spread_btn",
          [&](const UiNotify&, int) { ran.push_back("spread"); });
    EXPECT_TRUE(r.Dispatch(Msg("click", "KEY_BUTT_KEYSAVE")));
    EXPECT_TRUE(r.Dispatch(Msg("click", "profile_fun_spread_btn")));
    EXPECT_FALSE(r.Dispatch(Msg("click", "Profile_Fun_Spread_Btn"))) << "this name keeps its case";
    EXPECT_EQ(ran[0], "save");
    EXPECT_EQ(ran[1], "spread");
}

TEST(NotifyRouter, EveryNotificationButTimerIsLogged) {
    NotifyRouter r;
    std::vector<std::string> lines;
    SetDebugSink([&](const std::string& l) { lines.push_back(l); });
    r.Dispatch(Msg("click", "closebtn"));
    r.Dispatch(Msg("timer", "device_select"));
    r.Dispatch(Msg("itemselect", "light_combo_modeSelect"));
    SetDebugSink(nullptr);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "click closebtn");
    EXPECT_EQ(lines[1], "itemselect light_combo_modeSelect");
}

TEST(ScalePolicy, WorkAreaPicksTheScale) {
    EXPECT_EQ(ScaleForWorkArea(1920, 1040), 144);
    EXPECT_EQ(ScaleForWorkArea(1366, 728), 96);
    EXPECT_EQ(ScaleForWorkArea(1501, 961), 144);
    EXPECT_EQ(ScaleForWorkArea(1500, 1200), 96);
    EXPECT_EQ(ScaleForWorkArea(2560, 960), 96);
    std::vector<std::string> lines;
    SetDebugSink([&](const std::string& l) { lines.push_back(l); });
    EXPECT_EQ(CheckedScale(144), 144);
    EXPECT_EQ(CheckedScale(100), 96);
    SetDebugSink(nullptr);
    EXPECT_EQ(lines, std::vector<std::string>{"MAIN_WND DPI SET ERROR"});
}

TEST(ServiceAnswer, BlockCarriesVersionAndTheOptionRows) {
    auto block = BuildServiceAnswer(OptionTableDevices());
    ASSERT_EQ(block.size(), 256u);
    EXPECT_EQ(std::vector<int32_t>(block.begin(), block.begin() + 5), (std::vector<int32_t>{2, 3, 0, 2, 4}));
    EXPECT_EQ(std::vector<int32_t>(block.begin() + 5, block.begin() + 17),
              (std::vector<int32_t>{0, 0, 2, 0x0C45, 0x0820, 1, 0x320F, 0x1004, 3, 0, 0, 7}));
    for (size_t i = 17; i < block.size(); ++i)
        ASSERT_EQ(block[i], 0) << i;
    // Far too many rows: only what fits is sent, and the count says so.
    std::vector<SupportedDevice> many(200, SupportedDevice{1, 2, 3});
    auto full = BuildServiceAnswer(many);
    ASSERT_EQ(full.size(), 256u);
    EXPECT_EQ(full[4], 83);
    EXPECT_EQ(full[5 + 82 * 3 + 2], 3);
}

TEST(WorkerSlots, StopWakesEveryWorkerAndJoinsThem) {
    WorkerSlots workers;
    std::atomic<int> ended{0};
    for (int i = 0; i < WorkerSlots::kSlotCount; ++i) {
        ASSERT_TRUE(workers.Start(i, [&](const StopEvent& stop) {
            while (!stop.WaitFor(std::chrono::seconds(30))) {
            }
            ++ended;
        }));
    }
    EXPECT_FALSE(workers.Start(3, [](const StopEvent&) {})) << "a busy slot";
    EXPECT_FALSE(workers.Start(20, [](const StopEvent&) {}));
    EXPECT_FALSE(workers.Start(-1, [](const StopEvent&) {}));
    auto t0 = Clock::now();
    auto result = workers.StopAll(std::chrono::milliseconds(1000));
    EXPECT_LT(Clock::now() - t0, std::chrono::milliseconds(500));
    EXPECT_EQ(result.joined, 20);
    EXPECT_EQ(result.late, 0);
    EXPECT_EQ(ended.load(), 20);
    EXPECT_FALSE(workers.IsRunning(0));
}

TEST(WorkerSlots, ASlowWorkerIsReportedLateButJoinedNotKilled) {
    WorkerSlots workers;
    std::atomic<bool> finished{false};
    ASSERT_TRUE(workers.Start(5, [&](const StopEvent&) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        finished = true;
    }));
    std::vector<std::string> lines;
    SetDebugSink([&](const std::string& l) { lines.push_back(l); });
    auto result = workers.StopAll(std::chrono::milliseconds(20));
    SetDebugSink(nullptr);
    EXPECT_EQ(result.late, 1);
    EXPECT_TRUE(finished.load()) << "the worker ran to its end";
    EXPECT_EQ(lines, std::vector<std::string>{"所有对象处于非激发状态，超时"});
    // The slot can be used again.
    EXPECT_TRUE(workers.Start(5, [](const StopEvent&) {}));
}

namespace {
struct CountingSource : LightSyncSource {
    std::atomic<bool> flagged{false};
    std::atomic<int> steps{0};
    bool AnyFlagged() override { return flagged; }
    int SpeedIndex() override { return 4; }
    void Step() override { ++steps; }
};
} // namespace

TEST(LightSyncWorker, IdleWorkerSleepsUntilWokenOrStoppedAndFlaggedDevicesAreStepped) {
    CountingSource source;
    WorkerSlots workers;
    ASSERT_TRUE(workers.Start(8, [&](const StopEvent& stop) { RunLightSync(stop, source); }));
    // Flagged after the worker went idle: only the wake-up brings it back before its long net.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(source.steps.load(), 0);
    source.flagged = true;
    const auto woken = Clock::now();
    workers.Wake(8);
    const auto until = woken + std::chrono::seconds(5);
    while (source.steps.load() < 3 && Clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_GE(source.steps.load(), 3) << "the wake-up did not reach the idle worker";
    // Speed 4: one step per 7 ticks of 16 ms, never faster however long the wait took.
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - woken);
    EXPECT_LE(source.steps.load(), elapsed.count() / (7 * 16) + 1);

    // Idle again, a stop ends the long wait at once.
    source.flagged = false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    auto t0 = Clock::now();
    workers.StopAll(std::chrono::milliseconds(1000));
    EXPECT_LT(Clock::now() - t0, std::chrono::milliseconds(2000))
        << "the idle wait is a wait on the stop event";
    EXPECT_EQ(LightSyncPeriod(0), 28);
    EXPECT_EQ(LightSyncPeriod(9), 28) << "an index out of range is taken as the slowest speed";
}
