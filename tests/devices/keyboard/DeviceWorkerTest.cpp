// The device worker: transfers in order, a newer write replacing a waiting one, a last change
// still written at shut-down; and the keyboard's page operations through it, which return at once
// while the keyboard is slow and bring their results back afterwards.
#include "KeyboardTestSupport.h"

#include <atomic>
#include <chrono>
#include <future>
#include <string>
#include <vector>

#include "devices/DeviceWorker.h"

namespace nk7x::test {
namespace {

using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

TEST(DeviceWorker, JobsRunInOrderAndANewerKeyedJobReplacesAWaitingOne) {
    CDeviceWorker worker;
    ASSERT_TRUE(worker.Start());
    std::promise<void> release;
    std::shared_future<void> gate = release.get_future().share();
    std::mutex mutex;
    std::vector<std::string> ran;
    auto record = [&](std::string what) {
        std::lock_guard<std::mutex> lock(mutex);
        ran.push_back(std::move(what));
    };
    // The first job holds the worker, so the next ones wait in the queue.
    worker.Post("", [&] {
        gate.wait();
        record("first");
    });
    worker.Post("settings", [&] { record("settings-old"); });
    worker.Post("", [&] { record("macros"); });
    worker.Post("settings", [&] { record("settings-new"); });
    worker.Post("", [&] { record("keys"); });
    release.set_value();
    ASSERT_TRUE(worker.WaitIdle(5000));
    EXPECT_EQ(ran, (std::vector<std::string>{"first", "settings-new", "macros", "keys"}));
    EXPECT_EQ(worker.JobsReplaced(), 1u);
    EXPECT_EQ(worker.JobsRun(), 4u);
}

TEST(DeviceWorker, StopRunsWhatIsQueuedAndLaterJobsRunOnTheCaller) {
    CDeviceWorker worker;
    ASSERT_TRUE(worker.Start());
    std::atomic<int> done{0};
    std::promise<void> release;
    std::shared_future<void> gate = release.get_future().share();
    worker.Post("", [&] {
        gate.wait();
        ++done;
    });
    for (int i = 0; i < 3; ++i)
        worker.Post("", [&] { ++done; });
    std::thread stopper([&] { worker.Stop(); });
    release.set_value();
    stopper.join();
    EXPECT_EQ(done.load(), 4) << "a queued change was lost at shut-down";
    EXPECT_FALSE(worker.Running());

    const std::thread::id caller = std::this_thread::get_id();
    std::thread::id ranOn;
    worker.Post("", [&] { ranOn = std::this_thread::get_id(); });
    EXPECT_EQ(ranOn, caller);
}

TEST(DeviceWorker, AJobPostingAFollowUpRunsItAtOnceInsteadOfWaitingForItself) {
    CDeviceWorker worker;
    ASSERT_TRUE(worker.Start());
    std::atomic<bool> inner{false};
    worker.Post("", [&] {
        worker.Post("", [&] { inner = true; });
        EXPECT_TRUE(inner.load()) << "the follow-up was queued behind its own poster";
    });
    ASSERT_TRUE(worker.WaitIdle(5000));
    EXPECT_TRUE(inner.load());
}

// The keyboard as a page drives it: worker running, results back through the view.
class WorkerKeyboardTest : public KeyboardTest {
  protected:
    void SetUp() override {
        KeyboardTest::SetUp();
        ASSERT_EQ(m_kbd->ReadKeyLayout(), kResultOk);
        m_kbd->LoadProfile();
        ASSERT_TRUE(m_kbd->StartWorker());
    }
    void TearDown() override {
        m_kbd->StopWorker();
        KeyboardTest::TearDown();
    }
};

TEST_F(WorkerKeyboardTest, AWriteToASilentKeyboardReturnsAtOnceAndItsFailureArrivesLater) {
    ASSERT_EQ(m_sim->AddFaults("noreply:always"), 1);
    const auto start = Clock::now();
    m_kbd->QueueSettingsWrite(0, 0);
    m_kbd->QueueProfileKeyAssignmentsWrite(0);
    std::atomic<int> macroAnswer{99};
    m_kbd->QueueMacroDownload([&](const MacroDownload& r) { macroAnswer = r.Code(); });
    EXPECT_LT(MsSince(start), 500) << "the caller waited on the keyboard";
    ASSERT_TRUE(m_kbd->Worker().WaitIdle(20000));
    ASSERT_FALSE(m_view.failures.empty());
    EXPECT_EQ(m_view.failures.front(), std::make_pair(KeyboardWrite::Settings, kResultFailed));
    EXPECT_EQ(macroAnswer.load(), 0) << "no macros: nothing to send, and the answer still arrives";
}

TEST_F(WorkerKeyboardTest, TheLatestSettingsReachTheKeyboard) {
    ASSERT_EQ(m_sim->AddFaults("slow=300@1"), 1); // the first write holds the worker for a while
    for (uint8_t mode : {3, 4, 5, 6}) {
        LightState s = m_kbd->GetLightSettings();
        s.mode = mode;
        m_kbd->SetLightSettings(s);
        m_kbd->QueueSettingsWrite(0, 0);
    }
    ASSERT_TRUE(m_kbd->Worker().WaitIdle(10000));
    EXPECT_EQ(m_sim->Parameters()[1], 6);
    EXPECT_GE(m_kbd->Worker().JobsReplaced(), 1u) << "the waiting writes were not folded into one";
    EXPECT_TRUE(m_view.failures.empty());
}

TEST_F(WorkerKeyboardTest, ASyncRequestReadsOnTheWorkerAndAppliesWhatItRead) {
    std::vector<uint8_t> record(26, 0);
    record[1] = 12;
    record[6] = 0x5A;
    ASSERT_TRUE(m_sim->SetParameters(0, record));
    const int updates = m_view.settingsUpdates;
    m_kbd->OnSyncRequest();
    ASSERT_TRUE(m_kbd->Worker().WaitIdle(5000));
    EXPECT_EQ(m_view.settingsUpdates, updates + 1);
    EXPECT_EQ(m_kbd->Profile().GetLightInfo().mode, 12);
    EXPECT_EQ(m_kbd->Profile().GetLightInfo().red, 0x5A);
}

} // namespace
} // namespace nk7x::test
