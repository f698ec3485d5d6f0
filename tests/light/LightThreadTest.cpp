// The light thread: tick rate, link and pause flags, prompt stop, and a consistent vector for readers.
#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <thread>

#include "devices/light/LightThread.h"
#include "devices/light/RingLightEngine.h"
#include "platform/DebugLog.h"
#include "tests/light/LightTestSupport.h"

namespace nk7x::light {
namespace {

using namespace std::chrono_literals;
using test::Settings;

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

TEST_F(LightThreadTest, TicksAtItsPeriodAndStopsPromptly) {
    SteadyLightClock clock;
    KeyboardLightEngine engine(clock);
    engine.SetLightSettings(Settings(4, 4, 4)); // one step per tick
    std::atomic<uint32_t> open{1}, pause{0};
    LightThread thread(engine, &open, &pause);
    ASSERT_TRUE(thread.Start());
    EXPECT_FALSE(thread.Start());
    std::this_thread::sleep_for(500ms);
    const uint64_t passes = thread.Passes();
    // 500 ms at 15.625 ms a tick is 32 passes; a thread waking every millisecond would run hundreds.
    EXPECT_GE(passes, 20u);
    EXPECT_LE(passes, 36u);
    EXPECT_NE(engine.Colour(0), Rgba{});
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(thread.Stop(), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - before, 200ms);
    EXPECT_FALSE(thread.Running());
    EXPECT_EQ(thread.Stop(), -1);
    const auto lines = Lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "KB灯光线程设定退出"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "线程退出：：对象处于激发状态\n"), lines.end());
}

TEST_F(LightThreadTest, ClosedLinkAndBackgroundPauseRunNoPasses) {
    SteadyLightClock clock;
    RingLightEngine engine(LightPage::MousePad, 16, clock);
    engine.SetLightSettings(Settings(1, 4, 4), true);
    std::atomic<uint32_t> open{0}, pause{0};
    LightThread thread(engine, &open, &pause);
    thread.Start();
    std::this_thread::sleep_for(150ms);
    EXPECT_EQ(thread.Passes(), 0u);
    pause = 1;
    open = 1;
    std::this_thread::sleep_for(150ms);
    EXPECT_EQ(thread.Passes(), 0u);
    pause = 0;
    std::this_thread::sleep_for(150ms);
    EXPECT_GT(thread.Passes(), 0u);
    // A stop while the link is closed is not held up by the 100 ms poll.
    open = 0;
    std::this_thread::sleep_for(30ms);
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(thread.Stop(), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - before, 60ms);
    const auto lines = Lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "MS灯光线程设定退出"), lines.end());
}

TEST_F(LightThreadTest, AnUnwatchedPreviewSleepsUntilWatchedAndStillStopsAtOnce) {
    SteadyLightClock clock;
    KeyboardLightEngine engine(clock);
    engine.SetLightSettings(Settings(4, 4, 4));
    std::atomic<uint32_t> open{1}, pause{0};
    LightThread thread(engine, &open, &pause);
    EXPECT_TRUE(thread.Watched());
    thread.SetWatched(false);
    ASSERT_TRUE(thread.Start());
    std::this_thread::sleep_for(150ms);
    EXPECT_EQ(thread.Passes(), 0u);
    thread.SetWatched(true);
    std::this_thread::sleep_for(150ms);
    const uint64_t watched = thread.Passes();
    EXPECT_GT(watched, 3u);
    thread.SetWatched(false);
    std::this_thread::sleep_for(40ms);
    const uint64_t settled = thread.Passes();
    std::this_thread::sleep_for(150ms);
    EXPECT_EQ(thread.Passes(), settled);
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(thread.Stop(), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - before, 60ms);
}

TEST_F(LightThreadTest, ReadersAndKeyHooksRaceTheThreadSafely) {
    SteadyLightClock clock;
    KeyboardLightEngine engine(clock);
    engine.SetLightSettings(Settings(7, 4, 4, true, true));
    LightThread thread(engine, nullptr, nullptr);
    thread.Start();
    // Key hooks and copies of the vector from this thread while the light thread steps.
    for (int i = 0; i < 2000; ++i) {
        engine.OnReactiveKey(static_cast<uint8_t>(i % 126), 1);
        const auto colours = engine.Colours();
        ASSERT_EQ(colours.size(), 126u);
    }
    engine.SetLightSettings(Settings(6, 3, 4));
    std::this_thread::sleep_for(80ms); // a few ticks: the static colour is drawn
    const auto frame = engine.Colours();
    for (const Rgba& c : frame)
        ASSERT_EQ(c, (Rgba{255, 255, 255, 195}));
    thread.Stop();
}

TEST_F(LightThreadTest, DestructorStopsARunningThread) {
    SteadyLightClock clock;
    KeyboardLightEngine engine(clock);
    {
        LightThread thread(engine, nullptr, nullptr);
        thread.Start();
        std::this_thread::sleep_for(20ms);
    }
    const auto lines = Lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "KB灯光线程设定退出"), lines.end());
}

} // namespace
} // namespace nk7x::light
