#include "PanelsTestSupport.h"

#include "devices/DeviceBase.h"
#include "devices/PlainDevice.h"
#include "devices/keyboard/KeyboardDevice.h"
#include "devices/keyboard/KeyboardTestSupport.h"
#include "tools/sim/SimDevice.h"
#include "ui/controls/DeviceKeyButtonUI.h"

#include <QElapsedTimer>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <thread>

namespace nk7x::test {
namespace {

// A device whose operations only count; its link is never open.
class CountingDevice : public CPlainDevice {
  public:
    LinkResult RefreshLighting() override {
        ++refreshes;
        return kResultOk;
    }
    void OnConnect() override { ++connects; }
    void OnSyncRequest() override { ++syncs; }
    void StatusPoll() override { ++polls; }
    int refreshes = 0;
    int connects = 0;
    int syncs = 0;
    int polls = 0;
};

class PaintCounter : public QWidget {
  public:
    using QWidget::QWidget;
    int paints = 0;

  protected:
    void paintEvent(QPaintEvent*) override { ++paints; }
};

TEST(EntryTimers, HandlersWithoutAnOpenLinkRunOnceAndStop) {
    HostWindow host;
    CDeviceOptionUI* e = host.AddEntry();
    ASSERT_NE(e, nullptr);
    CountingDevice device;
    device.SetPowerMode(1);
    QWidget page;
    page.show(); // a page out of sight gets no lighting runs
    e->AttachPage(&device, &page);
    EXPECT_EQ(e->GetPage(), &page);
    EXPECT_EQ(e->GetDevice(), &device);

    e->StartTimers();
    EXPECT_TRUE(e->TimerArmed(CDeviceOptionUI::kConnectTimer));
    e->OnTimer(CDeviceOptionUI::kConnectTimer);
    EXPECT_EQ(device.connects, 1);
    EXPECT_FALSE(e->TimerArmed(CDeviceOptionUI::kConnectTimer));
    EXPECT_TRUE(e->TimerArmed(CDeviceOptionUI::kRefreshTimer));
    EXPECT_FALSE(e->TimerArmed(CDeviceOptionUI::kStatusTimer)) << "no status poll on a closed link";

    // The first lighting run comes after 5 ms and is the last one on a closed link.
    ASSERT_TRUE(QTest::qWaitFor([&] { return device.refreshes == 1; }, 1000));
    EXPECT_FALSE(e->TimerArmed(CDeviceOptionUI::kRefreshTimer));
    QTest::qWait(80);
    EXPECT_EQ(device.refreshes, 1);

    e->ArmTimer(CDeviceOptionUI::kStatusTimer, 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return device.polls == 1; }, 1000));
    EXPECT_FALSE(e->TimerArmed(CDeviceOptionUI::kStatusTimer));

    e->ArmTimer(CDeviceOptionUI::kSyncTimer, 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return device.syncs == 1; }, 1000));

    int hookA = 0;
    int hookB = 0;
    e->SetTimerHook(CDeviceOptionUI::kHookTimerA, [&] { ++hookA; });
    e->SetTimerHook(CDeviceOptionUI::kHookTimerB, [&] { ++hookB; });
    e->ArmTimer(CDeviceOptionUI::kHookTimerA, 0);
    e->ArmTimer(CDeviceOptionUI::kHookTimerB, 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return hookA == 1 && hookB == 1; }, 1000));
    QTest::qWait(20);
    EXPECT_EQ(hookA, 1) << "one-shot";
    EXPECT_FALSE(e->TimerArmed(CDeviceOptionUI::kHookTimerA));
}

TEST(EntryTimers, ArmingFromAnotherThreadReachesTheUiThread) {
    HostWindow host;
    CDeviceOptionUI* e = host.AddEntry();
    ASSERT_NE(e, nullptr);
    CountingDevice device;
    QWidget page;
    page.show(); // a page out of sight gets no lighting runs
    e->AttachPage(&device, &page);
    std::thread reader([e] { e->ArmTimer(CDeviceOptionUI::kSyncTimer, 500); });
    reader.join();
    ASSERT_TRUE(QTest::qWaitFor([&] { return e->TimerArmed(CDeviceOptionUI::kSyncTimer); }, 1000));
    e->ArmTimer(CDeviceOptionUI::kSyncTimer, 0); // re-arming restarts it
    ASSERT_TRUE(QTest::qWaitFor([&] { return device.syncs == 1; }, 1000));
}

TEST(EntryTimers, APageThatGoesStopsTheTimers) {
    HostWindow host;
    CDeviceOptionUI* e = host.AddEntry();
    ASSERT_NE(e, nullptr);
    CountingDevice device;
    auto page = std::make_unique<QWidget>();
    e->AttachPage(&device, page.get());
    e->StartTimers();
    page.reset();
    EXPECT_FALSE(e->TimerArmed(CDeviceOptionUI::kConnectTimer));
    EXPECT_EQ(e->GetDevice(), nullptr);
    e->OnTimer(CDeviceOptionUI::kConnectTimer);
    EXPECT_EQ(device.connects, 0);
}

TEST(EntryTimers, PreviewRepaintsOnlyForTheSelectedEntryWithPreviewOn) {
    HostWindow host;
    CDeviceOptionUI* e = host.AddEntry();
    ASSERT_NE(e, nullptr);
    e->SetGroup(QStringLiteral("preview_test_group"));
    auto* preview = new PaintCounter(&host);
    preview->setMinimumSize(40, 40);
    host.layout()->addWidget(preview);
    CountingDevice device;
    QWidget page;
    page.show(); // a page out of sight gets no lighting runs
    e->AttachPage(&device, &page);
    e->SetPreviewControl(preview);
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
    QTest::qWait(20);

    // A run that should paint is waited for; one that should not is given a short while.
    auto paintsAfterRun = [&] {
        const int before = preview->paints;
        e->OnTimer(CDeviceOptionUI::kRefreshTimer);
        QTest::qWait(30);
        return preview->paints - before;
    };
    auto runPaints = [&] {
        const int before = preview->paints;
        e->OnTimer(CDeviceOptionUI::kRefreshTimer);
        return QTest::qWaitFor([&] { return preview->paints > before; }, 5000);
    };
    EXPECT_EQ(paintsAfterRun(), 0) << "not selected";
    e->SelectEntry(true);
    EXPECT_TRUE(runPaints());
    device.SetPreview(false);
    EXPECT_EQ(paintsAfterRun(), 0) << "preview off";
    EXPECT_EQ(device.refreshes, 3);
}

TEST(EntryTimers, PreviewOfKeyButtonsOrOutOfSightIsNotRepaintedByTheRun) {
    HostWindow host;
    CDeviceOptionUI* e = host.AddEntry();
    ASSERT_NE(e, nullptr);
    e->SetGroup(QStringLiteral("preview_keys_group"));
    auto* preview = new PaintCounter(&host);
    preview->setMinimumSize(40, 40);
    host.layout()->addWidget(preview);
    CountingDevice device;
    QWidget page;
    page.show(); // a page out of sight gets no lighting runs
    e->AttachPage(&device, &page);
    e->SetPreviewControl(preview);
    e->SelectEntry(true);
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
    QTest::qWait(20);

    auto paintsAfterRun = [&] {
        const int before = preview->paints;
        e->OnTimer(CDeviceOptionUI::kRefreshTimer);
        QTest::qWait(30);
        return preview->paints - before;
    };
    const int first = preview->paints;
    e->OnTimer(CDeviceOptionUI::kRefreshTimer);
    ASSERT_TRUE(QTest::qWaitFor([&] { return preview->paints > first; }, 5000))
        << "a preview drawing the colours itself";
    preview->hide();
    EXPECT_EQ(paintsAfterRun(), 0) << "hidden";
    preview->show();
    QTest::qWait(20);
    // Key buttons repaint themselves when their colour changes.
    auto* key = new CDeviceKeyButtonUI(preview);
    key->setGeometry(0, 0, 10, 10);
    key->show();
    QTest::qWait(20);
    EXPECT_EQ(paintsAfterRun(), 0) << "key buttons";
    EXPECT_EQ(device.refreshes, 3);
}

// The keyboard with its connection, lighting runs and status polls counted (UI thread only).
class CountingKeyboard : public CKeyboardDevice {
  public:
    ~CountingKeyboard() override { StopKeyEventThread(); }
    void OnConnect() override {
        CKeyboardDevice::OnConnect();
        ++connects;
    }
    LinkResult RefreshLighting() override {
        ++refreshes;
        return CKeyboardDevice::RefreshLighting();
    }
    void StatusPoll() override { ++polls; }
    std::atomic<int> connects{0};
    std::atomic<int> refreshes{0};
    int polls = 0;
};

class EntryOnKeyboard : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "nk7x-entry-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_root = pattern;
        std::filesystem::create_directories(m_root / "sim");
        std::filesystem::create_directories(m_root / "data");
        ::setenv("NK7X_SIM_DIR", (m_root / "sim").c_str(), 1);
        ::setenv("XDG_DATA_HOME", (m_root / "data").c_str(), 1);
        ::setenv("NK7X_PROGRAM_DIR", NK7X_SOURCE_DIR, 1);
        SimOptions options;
        options.folder = (m_root / "sim").string();
        m_sim = std::make_unique<SimDevice>(options);
        ASSERT_EQ(m_sim->Start(), 1) << m_sim->LastError();
        m_kbd = std::make_unique<CountingKeyboard>();
        m_kbd->SetView(&m_view);
        m_kbd->SetProfileName("profile-one");
        m_kbd->SetLightingName("tavro_light");
        m_kbd->SetPowerMode(1);
        ASSERT_EQ(m_kbd->Link().OpenPath(m_sim->CommandPath()), 1);
    }
    void TearDown() override {
        m_host.reset();
        m_kbd.reset();
        if (m_sim)
            m_sim->Stop();
        ::unsetenv("NK7X_SIM_DIR");
        ::unsetenv("XDG_DATA_HOME");
        ::unsetenv("NK7X_PROGRAM_DIR");
        std::error_code ec;
        std::filesystem::remove_all(m_root, ec);
    }
    std::filesystem::path m_root;
    std::unique_ptr<SimDevice> m_sim;
    RecordingView m_view;
    std::unique_ptr<CountingKeyboard> m_kbd;
    std::unique_ptr<HostWindow> m_host = std::make_unique<HostWindow>();
    QWidget m_page;
};

TEST_F(EntryOnKeyboard, ConnectThenLightingEvery50msUntilTheLinkCloses) {
    CDeviceOptionUI* e = m_host->AddEntry();
    ASSERT_NE(e, nullptr);
    e->AttachPage(m_kbd.get(), &m_page);
    m_page.show();

    QElapsedTimer clock;
    clock.start();
    e->StartTimers();
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_kbd->connects == 1; }, 5000));
    EXPECT_GE(clock.elapsed(), 450) << "connection runs 500 ms after the timers start";
    EXPECT_TRUE(e->TimerArmed(CDeviceOptionUI::kStatusTimer)) << "power mode set and link open";
    EXPECT_TRUE(e->TimerArmed(CDeviceOptionUI::kRefreshTimer) || m_kbd->refreshes > 0);

    // Lighting keeps streaming at its 50 ms pace.
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_kbd->refreshes >= 1; }, 1000));
    const int start = m_kbd->refreshes;
    const int shownBefore = m_view.shownColours;
    QElapsedTimer paced;
    paced.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_kbd->refreshes >= start + 4; }, 10000));
    const int runs = m_kbd->refreshes - start;
    // A slow machine makes fewer runs, never more: at most one per 50 ms (and the one due).
    EXPECT_LE(runs, paced.elapsed() / 50 + 2);
    EXPECT_GE(m_view.shownColours - shownBefore, runs) << "each run repaints the keys";
    EXPECT_TRUE(e->TimerArmed(CDeviceOptionUI::kRefreshTimer));

    // Out of sight the keyboard runs its effects alone: the chain rests, and wakes when the page
    // is shown again.
    m_page.hide();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !e->TimerArmed(CDeviceOptionUI::kRefreshTimer); }, 1000))
        << "the lighting run kept waking a hidden page";
    const int hiddenFrom = m_kbd->refreshes;
    QTest::qWait(200);
    EXPECT_EQ(m_kbd->refreshes, hiddenFrom);
    EXPECT_FALSE(e->TimerArmed(CDeviceOptionUI::kRefreshTimer));
    m_page.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_kbd->refreshes > hiddenFrom; }, 1000));

    // While open the status poll re-arms; after the link closes neither timer restarts.
    e->OnTimer(CDeviceOptionUI::kStatusTimer);
    EXPECT_EQ(m_kbd->polls, 1);
    EXPECT_TRUE(e->TimerArmed(CDeviceOptionUI::kStatusTimer));
    m_kbd->Link().ClosePath();
    // A run that was due finds the link closed and does not re-arm.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !e->TimerArmed(CDeviceOptionUI::kRefreshTimer); }, 5000));
    const int stopped = m_kbd->refreshes;
    QTest::qWait(200);
    EXPECT_EQ(m_kbd->refreshes, stopped);
    e->OnTimer(CDeviceOptionUI::kStatusTimer); // the poll that was still pending
    EXPECT_EQ(m_kbd->polls, 2);
    EXPECT_FALSE(e->TimerArmed(CDeviceOptionUI::kStatusTimer));

    // The next connection starts the chain again.
    ASSERT_EQ(m_kbd->Link().OpenPath(m_sim->CommandPath()), 1);
    e->StartTimers();
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_kbd->connects == 2; }, 5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_kbd->refreshes >= stopped + 3; }, 2000));
    EXPECT_TRUE(e->TimerArmed(CDeviceOptionUI::kStatusTimer));
}

} // namespace
} // namespace nk7x::test
