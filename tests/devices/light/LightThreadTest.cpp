// The light thread: tick rate, link and pause flags, prompt stop, and a consistent vector for readers.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <mutex>
#include <thread>

#include "devices/light/LightThread.h"
#include "devices/light/RingLightEngine.h"
#include "platform/DebugLog.h"
#include "tests/devices/light/LightTestSupport.h"

namespace nk7x::light {
namespace {

using namespace std::chrono_literals;
using test::Settings;
using test::TestThreadClock;

class LightThreadTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SetDebugSink([this](const std::string& line) {
            std::lock_guard lock(m_mutex);
            m_lines.push_back(line);
        });
    }
    void TearDown() override { SetDebugSink({}); }
    std::vector<std::string> Lines() {
        std::lock_guard lock(m_mutex);
        return m_lines;
    }
    std::mutex m_mutex;
    std::vector<std::string> m_lines;
};

// Stops a thread on the test clock. The clock stands still, so only the stop request can end the
// thread's wait; should it fail to, the clock is moved on after a while to end the thread anyway,
// and Stop reports it late (0) instead of the test hanging.
int StopOnStillClock(LightThread& thread, TestThreadClock& ticks) {
    auto stopping = std::async(std::launch::async, [&] { return thread.Stop(); });
    if (stopping.wait_for(nk7x::test::kWaitPatience) != std::future_status::ready)
        ticks.Release();
    return stopping.get();
}

// On the test clock every pass is accounted for: one at the start, then one each time a tick falls due.
TEST_F(LightThreadTest, TicksAtItsPeriodAndStopsPromptly) {
    SteadyLightClock clock;
    KeyboardLightEngine engine(clock);
    engine.SetLightSettings(Settings(4, 4, 4)); // one step per tick
    std::atomic<uint32_t> open{1}, pause{0};
    TestThreadClock ticks;
    LightThread thread(engine, &open, &pause, ticks);
    ASSERT_TRUE(thread.Start());
    EXPECT_FALSE(thread.Start());
    ASSERT_TRUE(ticks.Settle());
    EXPECT_EQ(thread.Passes(), 1u);
    // A tick less a microsecond is not a tick; the last microsecond is.
    ASSERT_TRUE(ticks.Advance(kLightTick - 1us));
    EXPECT_EQ(thread.Passes(), 1u);
    ASSERT_TRUE(ticks.Advance(1us));
    EXPECT_EQ(thread.Passes(), 2u);
    // 500 ms at 15.625 ms a tick is 32 more; a thread waking every millisecond would run hundreds.
    ASSERT_TRUE(ticks.Ticks(32));
    EXPECT_EQ(thread.Passes(), 34u);
    EXPECT_NE(engine.Colour(0), Rgba{});
    // The clock no longer moves, so only the stop request can end the thread's wait.
    EXPECT_EQ(StopOnStillClock(thread, ticks), 1);
    EXPECT_FALSE(thread.Running());
    EXPECT_EQ(thread.Stop(), -1);
    const auto lines = Lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "KB灯光线程设定退出"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "线程退出：：对象处于激发状态\n"), lines.end());
}

TEST_F(LightThreadTest, AThreadThatFellBehindRunsOnePassAndResumesItsRhythmFromThen) {
    SteadyLightClock clock;
    KeyboardLightEngine engine(clock);
    engine.SetLightSettings(Settings(4, 4, 4));
    TestThreadClock ticks;
    LightThread thread(engine, nullptr, nullptr, ticks);
    ASSERT_TRUE(thread.Start());
    ASSERT_TRUE(ticks.Settle());
    ASSERT_EQ(thread.Passes(), 1u);
    // Ten ticks at once (a suspend, a debugger): one pass, not ten to catch up.
    ASSERT_TRUE(ticks.Advance(10 * kLightTick + 3ms));
    EXPECT_EQ(thread.Passes(), 2u);
    // The next pass is a whole tick after that one, not on the old rhythm, which falls 3 ms sooner.
    ASSERT_TRUE(ticks.Advance(kLightTick - 3ms));
    EXPECT_EQ(thread.Passes(), 2u);
    ASSERT_TRUE(ticks.Advance(3ms));
    EXPECT_EQ(thread.Passes(), 3u);
    EXPECT_EQ(StopOnStillClock(thread, ticks), 1);
}

// With a frame sink the thread wakes once a frame: the passes due run in a burst, so the effect keeps
// its pace, and each frame is handed over with the time it was due.
TEST_F(LightThreadTest, AFrameSinkGetsOneFrameAPeriodAndThePassesKeepTheirPace) {
    SteadyLightClock clock;
    KeyboardLightEngine engine(clock);
    engine.SetLightSettings(Settings(4, 4, 4));
    TestThreadClock ticks;
    LightThread thread(engine, nullptr, nullptr, ticks);
    ASSERT_TRUE(thread.Start());
    ASSERT_TRUE(ticks.Settle());
    std::mutex dueLock;
    std::vector<LightThreadClock::TimePoint> dues;
    thread.SetFrameSink(
        [&](LightThreadClock::TimePoint due) {
            std::lock_guard lock(dueLock);
            dues.push_back(due);
        },
        50ms);
    EXPECT_TRUE(thread.HasFrameSink());
    ASSERT_TRUE(ticks.Advance(kLightTick)); // the thread leaves its tick wait and takes the sink
    const uint64_t start = thread.Passes();
    size_t framesBefore = 0;
    {
        std::lock_guard lock(dueLock);
        framesBefore = dues.size();
    }
    for (int i = 0; i < 20; ++i)
        ASSERT_TRUE(ticks.Advance(50ms));
    // A second of passes at 64 a second, whatever the number of wakes.
    EXPECT_NEAR(static_cast<double>(thread.Passes() - start), 64.0, 1.0);
    {
        std::lock_guard lock(dueLock);
        ASSERT_EQ(dues.size(), framesBefore + 20);
        for (size_t i = framesBefore + 1; i < dues.size(); ++i)
            EXPECT_EQ(dues[i] - dues[i - 1], std::chrono::milliseconds(50)) << i;
    }
    // Without the sink the thread runs a pass every tick again, and no more frames.
    thread.SetFrameSink({}, 50ms);
    EXPECT_FALSE(thread.HasFrameSink());
    ASSERT_TRUE(ticks.Advance(50ms));
    const uint64_t back = thread.Passes();
    size_t frames = 0;
    {
        std::lock_guard lock(dueLock);
        frames = dues.size();
    }
    ASSERT_TRUE(ticks.Ticks(4));
    EXPECT_EQ(thread.Passes(), back + 4);
    {
        std::lock_guard lock(dueLock);
        EXPECT_EQ(dues.size(), frames);
    }
    EXPECT_EQ(StopOnStillClock(thread, ticks), 1);
}

TEST_F(LightThreadTest, ClosedLinkAndBackgroundPauseRunNoPasses) {
    SteadyLightClock clock;
    RingLightEngine engine(LightPage::MousePad, 16, clock);
    engine.SetLightSettings(Settings(1, 4, 4), true);
    std::atomic<uint32_t> open{0}, pause{0};
    TestThreadClock ticks;
    LightThread thread(engine, &open, &pause, ticks);
    ASSERT_TRUE(thread.Start());
    ASSERT_TRUE(ticks.Settle());
    ASSERT_TRUE(ticks.Ticks(20)); // several polls of the closed link
    EXPECT_EQ(thread.Passes(), 0u);
    pause = 1;
    open = 1;
    ASSERT_TRUE(ticks.Ticks(20)); // the next poll finds the link open, but paused
    EXPECT_EQ(thread.Passes(), 0u);
    pause = 0;
    ASSERT_TRUE(ticks.Ticks(1));
    EXPECT_EQ(thread.Passes(), 1u);
    // A stop while the link is closed is not held up by the 100 ms poll: the clock stands still,
    // so the poll never ends by itself.
    open = 0;
    ASSERT_TRUE(ticks.Ticks(1));
    EXPECT_EQ(thread.Passes(), 1u);
    EXPECT_EQ(StopOnStillClock(thread, ticks), 1);
    const auto lines = Lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "MS灯光线程设定退出"), lines.end());
}

TEST_F(LightThreadTest, AnUnwatchedPreviewSleepsUntilWatchedAndStillStopsAtOnce) {
    SteadyLightClock clock;
    KeyboardLightEngine engine(clock);
    engine.SetLightSettings(Settings(4, 4, 4));
    std::atomic<uint32_t> open{1}, pause{0};
    TestThreadClock ticks;
    LightThread thread(engine, &open, &pause, ticks);
    EXPECT_TRUE(thread.Watched());
    thread.SetWatched(false);
    ASSERT_TRUE(thread.Start());
    ASSERT_TRUE(ticks.Ticks(10));
    EXPECT_EQ(thread.Passes(), 0u);
    // Watched again: a pass at once, then one a tick.
    thread.SetWatched(true);
    ASSERT_TRUE(ticks.Settle());
    EXPECT_EQ(thread.Passes(), 1u);
    ASSERT_TRUE(ticks.Ticks(8));
    const uint64_t watched = thread.Passes();
    EXPECT_EQ(watched, 9u);
    // Unwatched, not one more pass, however long it stays so.
    thread.SetWatched(false);
    ASSERT_TRUE(ticks.Ticks(10));
    EXPECT_EQ(thread.Passes(), watched);
    // Its sleep has no deadline at all, so only the stop request can end it.
    EXPECT_EQ(StopOnStillClock(thread, ticks), 1);
}

// The real clock: passes come, and never more often than one a tick since the start.
TEST_F(LightThreadTest, OnTheRealClockPassesAreNeverCloserThanATick) {
    SteadyLightClock clock;
    KeyboardLightEngine engine(clock);
    engine.SetLightSettings(Settings(4, 4, 4));
    const auto before = std::chrono::steady_clock::now();
    LightThread thread(engine, nullptr, nullptr);
    ASSERT_TRUE(thread.Start());
    EXPECT_TRUE(nk7x::test::WaitUntil([&] { return thread.Passes() >= 5; }));
    const uint64_t passes = thread.Passes();
    const auto elapsed = std::chrono::steady_clock::now() - before;
    // Pass n falls (n - 1) ticks after the start at the earliest, however late the thread wakes.
    EXPECT_LE(passes, static_cast<uint64_t>(elapsed / kLightTick) + 1)
        << passes << " passes in " << std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count()
        << " ms";
    EXPECT_EQ(thread.Stop(), 1);
}

TEST_F(LightThreadTest, ReadersAndKeyHooksRaceTheThreadSafely) {
    SteadyLightClock clock;
    KeyboardLightEngine engine(clock);
    engine.SetLightSettings(Settings(7, 4, 4, true, true));
    LightThread thread(engine, nullptr, nullptr);
    thread.Start();
    // Key hooks and copies of the vector from this thread while the light thread steps.
    for (int i = 0; i < 2000; ++i) {
        engine.OnReactiveKey(static_cast<uint8_t>(i % 126), KeyEventKind::Press);
        const auto colours = engine.Colours();
        ASSERT_EQ(colours.size(), 126u);
    }
    engine.SetLightSettings(Settings(6, 3, 4));
    // A few whole passes after the change: the static colour is drawn. (The first pass counted may
    // have begun before the change.)
    const uint64_t seen = thread.Passes();
    EXPECT_TRUE(nk7x::test::WaitUntil([&] { return thread.Passes() >= seen + 4; }));
    const auto frame = engine.Colours();
    for (const Rgba& c : frame)
        ASSERT_EQ(c, (Rgba{255, 255, 255, 195}));
    thread.Stop();
}

TEST_F(LightThreadTest, DestructorStopsARunningThread) {
    SteadyLightClock clock;
    KeyboardLightEngine engine(clock);
    TestThreadClock ticks;
    auto thread = std::make_unique<LightThread>(engine, nullptr, nullptr, ticks);
    thread->Start();
    ASSERT_TRUE(ticks.Settle()); // running, and asleep until a tick that never comes
    auto destroying = std::async(std::launch::async, [&] { thread.reset(); });
    if (destroying.wait_for(nk7x::test::kWaitPatience) != std::future_status::ready) {
        ADD_FAILURE() << "the destructor did not wake the thread";
        ticks.Release();
    }
    destroying.get();
    const auto lines = Lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "KB灯光线程设定退出"), lines.end());
}

} // namespace
} // namespace nk7x::light
