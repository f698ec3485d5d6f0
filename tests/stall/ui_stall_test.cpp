// The window stays responsive whatever the keyboard does: with the emulated keyboard answering late,
// not at all, refusing, answering stale or vanishing mid-transfer, a user's lighting edits, a custom
// colour page, a profile switch and a macro download never hold the window's thread for long, the
// profile file stays whole, and the page comes back after a replug.
#include "app/MainWnd.h"
#include "macros/MacroStore.h"
#include "panels/light/LightControlUI.h"
#include "panels/pages/BrindovaKeyboardDevice.h"
#include "panels/profile/DeviceProfileUI.h"
#include "profiles/json/JsonFile.h"
#include "support/KeyboardWindowFixture.h"
#include "support/TestSupport.h"
#include "tools/sim/SimDevice.h"
#include "ui/controls/DeviceKeyButtonUI.h"

#include <QAbstractSlider>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>

using namespace nk7x;

namespace {

constexpr int kStaticMode = 6;
constexpr int kCustomMode = 19;
// Any wait of the window on the keyboard lasts at least an exchange's 1000 ms time-out; a limit well
// under that catches every such wait, while a machine busy with other work (which can hold the
// window's thread for a hundred milliseconds or more) does not fail the test. The longest gap is
// printed: on a quiet machine it stays under 100 ms.
constexpr qint64 kStallLimitMs = 400;

// Ticks on the window's thread and keeps the longest gap between two ticks: the longest time the
// thread was held by anything.
class StallMeter {
  public:
    StallMeter() {
        m_timer.setInterval(2);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const qint64 now = m_clock.elapsed();
            m_longest = std::max(m_longest, now - m_last);
            m_last = now;
        });
    }
    void Start() {
        m_clock.start();
        m_last = 0;
        m_longest = 0;
        m_timer.start();
    }
    qint64 Stop() {
        m_timer.stop();
        return m_longest;
    }

  private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_longest = 0;
};

class UiStallTest : public test::KeyboardWindowFixture<::testing::TestWithParam<const char*>> {
  protected:
    void SetUp() override {
        OpenWindow();
        if (HasFatalFailure())
            return;
        ASSERT_TRUE(m_page->Device().Link().IsOpen());
    }
    void TearDown() override { CloseWindow(); }

    void Slide(const char* name, int value) {
        auto* slider =
            qobject_cast<QAbstractSlider*>(UiWindow::FindSubControlByName(m_page, QString::fromLatin1(name)));
        ASSERT_NE(slider, nullptr) << name;
        slider->setValue(value);
    }
    // A macro in the keyboard's folder, so that a profile switch has something to download.
    void AddMacro() {
        const std::string folder = m_page->Device().DataFolder();
        ASSERT_FALSE(folder.empty());
        MacroStore store(folder);
        MacroInfo info;
        ASSERT_EQ(store.Create(info), MacroResult::Ok);
        const std::vector<MacroEvent> events{{true, 1, 0x04, 20}, {false, 1, 0x04, 0}};
        ASSERT_EQ(store.Save(info, events), MacroResult::Ok);
    }
    // What a user does in a few seconds on the page: every kind of write the page makes.
    void UseThePage() {
        Raise("light_combo_modeSelect", "itemselect", kStaticMode);
        Slide("deng_light_slider", 2);
        Slide("deng_light_slider", 4);
        Raise("deng_Color_Pallet", "colorchanged", qint64(0xFF2060A0u));
        Raise("light_combo_modeSelect", "itemselect", kCustomMode);
        Raise("custom_bright_color_btn", "click", 0);
        for (int k = 10; k < 14; ++k)
            if (CDeviceKeyButtonUI* b = m_page->Button(k))
                Raise(b->objectName().toLatin1().constData(), "click", 0);
        CDeviceProfileUI* profiles = m_page->ProfilePanel();
        ASSERT_NE(profiles, nullptr);
        ASSERT_EQ(profiles->AddProfile(), ProfileResult::Done);
        Raise("device_profile_combo", "itemselect", 0); // the switch runs on its timer
        QTest::qWait(700);
        Raise("light_combo_modeSelect", "itemselect", kStaticMode);
    }
};

} // namespace

TEST_P(UiStallTest, TheWindowNeverWaitsOnTheKeyboard) {
    const std::string fault = GetParam();
    AddMacro();
    ASSERT_EQ(m_device->AddFaults(fault), 1) << fault;
    const int connects = m_page->ConnectsDone();

    StallMeter meter;
    meter.Start();
    UseThePage();
    // Let the worker drain what the edits queued (each frame may wait out its time-out) while the
    // window keeps ticking.
    QTest::qWait(200);
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_page->Device().Worker().WaitIdle(0); }, 20000))
        << "the device's worker never finished";
    const qint64 longest = meter.Stop();
    std::cout << "[ stall    ] " << fault << ": the window's thread was held at most " << longest << " ms\n";
    EXPECT_LT(longest, kStallLimitMs)
        << "fault " << fault << ": the window's thread was held " << longest << " ms";

    // Whatever the keyboard did, the profile on disk is whole.
    const std::string profile = m_page->Keyboard().GetProfileName();
    ASSERT_FALSE(profile.empty());
    std::ifstream in(profile);
    std::stringstream text;
    text << in.rdbuf();
    Json::Value parsed;
    EXPECT_TRUE(ParseJsonText(text.str(), parsed)) << profile;

    m_device->ClearFaults();
    if (!m_device->IsPlugged()) {
        // Pulled out mid-transfer: plugged in again, the page comes back filled.
        ASSERT_EQ(m_device->Start(), 1);
        EXPECT_TRUE(QTest::qWaitFor([&] { return m_page->ConnectsDone() > connects; }, 8000))
            << "the page did not come back after the replug";
    }
    // The link is usable again: a change reaches the keyboard.
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_page->Device().Link().IsOpen(); }, 5000));
    Raise("light_combo_modeSelect", "itemselect", 3);
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_device->Parameters()[1] == 3; }, 5000))
        << "after fault " << fault << " the keyboard no longer takes changes";
}

INSTANTIATE_TEST_SUITE_P(Faults, UiStallTest,
                         ::testing::Values("stale:always", "noreply:always", "slow=1500:always",
                                           "status=0xFF:always", "status=0xFE:always", "unplug@6+1"),
                         [](const ::testing::TestParamInfo<const char*>& param) {
                             std::string name;
                             for (const char* p = param.param; *p && *p != ':' && *p != '@'; ++p)
                                 name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                             return name;
                         });
