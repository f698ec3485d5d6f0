// The mouse pad page in the main window against the emulated pad: the LEDs on the picture and the
// colours streamed to the pad, a lighting change that keeps the pad's own record bytes, and the
// phone on the pad in the power indicator.
#include "app/MainWnd.h"
#include "panels/DeviceOptionUI.h"
#include "panels/MpDevicePowerUI.h"
#include "panels/light/LightControlUI.h"
#include "panels/pages/BrindovaMousePadDevice.h"
#include "panels/profile/DeviceProfileUI.h"
#include "support/PrivateWindowFolders.h"
#include "support/TestSupport.h"
#include "tools/sim/PadMemory.h"
#include "tools/sim/SimDevice.h"
#include "ui/UiNotify.h"
#include "ui/controls/DeviceKeyButtonUI.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace nk7x::test {
namespace {

using Bytes = std::vector<uint8_t>;

class PadPageTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_folders.IsValid());
        SimOptions o;
        o.folder = m_sim.Path();
        o.kind = SimKind::Pad;
        m_pad = std::make_unique<SimDevice>(o);
        ASSERT_EQ(m_pad->Start(), 1) << m_pad->LastError();
    }
    void TearDown() override {
        m_window.reset();
        m_pad.reset();
    }
    void OpenWindow() {
        m_window = std::make_unique<MainWnd>(m_folders.Options());
        m_window->Create();
        ASSERT_TRUE(QTest::qWaitFor([&] { return m_window->isVisible(); }, 5000));
        // The page is built when the device first comes.
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return !m_window->Devices().PagesOf(DeviceFamily::MousePad).empty(); }, 8000));
        const auto pages = m_window->Devices().PagesOf(DeviceFamily::MousePad);
        ASSERT_EQ(pages.size(), 1u) << "one page for the pad";
        m_page = qobject_cast<CBrindovaMousePadDevice*>(pages[0]);
        ASSERT_NE(m_page, nullptr);
        ASSERT_TRUE(QTest::qWaitFor([&] { return m_page->ConnectsDone() >= 1; }, 8000))
            << "the page is filled";
        ASSERT_EQ(m_window->Devices().CurrentPage(), m_page);
    }
    // A notification of one of the page's own controls, as the control raises it.
    bool Raise(const char* name, const char* type, qint64 value) {
        QWidget* control = m_page->findChild<QWidget*>(QString::fromLatin1(name));
        return control && RaiseNotify(control, QString::fromLatin1(type), value);
    }
    // The colours the pad received last, once they differ from `before` and are not all dark.
    bool WaitForNewColours(const Bytes& before) {
        return QTest::qWaitFor(
            [&] {
                const Bytes live = m_pad->LiveLighting();
                const Bytes leds(live.begin(), live.begin() + 45);
                return live != before &&
                       std::any_of(leds.begin(), leds.end(), [](uint8_t b) { return b > 0; });
            },
            8000);
    }

    PrivateWindowFolders m_folders;
    TempSimFolder m_sim;
    std::unique_ptr<SimDevice> m_pad;
    std::unique_ptr<MainWnd> m_window;
    CBrindovaMousePadDevice* m_page = nullptr;
};

} // namespace

TEST_F(PadPageTest, TheLedsOnThePictureAreStreamedToThePad) {
    OpenWindow();
    QWidget* ring = m_page->findChild<QWidget*>(QStringLiteral("mousepad_device_key_light"));
    ASSERT_NE(ring, nullptr);
    ASSERT_EQ(m_page->KeyButtonTableSize(), 15);
    for (int i = 0; i < 15; ++i) {
        CDeviceKeyButtonUI* led = m_page->KeyButton(i);
        ASSERT_NE(led, nullptr) << "LED " << i;
        EXPECT_EQ(led->parentWidget(), ring);
        EXPECT_TRUE(ring->rect().contains(led->geometry())) << "LED " << i << " lies on the picture";
    }
    EXPECT_EQ(m_page->ButtonTableSize(), 0) << "a pad has no keys";
    EXPECT_TRUE(m_page->ListEntry()->IsShown());
    ASSERT_NE(m_page->LightPanel(), nullptr);
    EXPECT_EQ(m_page->LightPanel()->LayoutStyle(), DeviceKind::MousePad);
    QWidget* tabs = m_page->ProfilePanel()->findChild<QWidget*>(QStringLiteral("profile_tab_bar"));
    ASSERT_NE(tabs, nullptr);
    EXPECT_TRUE(tabs->isHidden());

    // The default profile runs the multi-colour wave: the pad gets one 45-byte frame after another
    // and the picture shows the same colours.
    const uint64_t framesBefore = m_pad->Counters().liveFrames;
    ASSERT_TRUE(WaitForNewColours(Bytes(kSimLiveLightingBytes, 0)));
    const Bytes first = m_pad->LiveLighting();
    ASSERT_TRUE(WaitForNewColours(first)) << "the wave moves on";
    EXPECT_GE(m_pad->Counters().liveFrames, framesBefore + 2);
    for (const SimFrameRecord& f : m_pad->FrameLog())
        EXPECT_TRUE(f.command != 18 || f.length == 45) << "a frame of " << int(f.length) << " bytes";
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_page->KeyButton(7)->IsLightShown(); }, 3000));

    if (const char* out = std::getenv("NK7X_SCREENSHOT_DIR")) {
        // A few frames more, so that the LEDs on the picture have caught up with the pad.
        const uint64_t now = m_pad->Counters().liveFrames;
        ASSERT_TRUE(QTest::qWaitFor([&] { return m_pad->Counters().liveFrames >= now + 4; }, 5000));
        EXPECT_TRUE(m_window->grab().save(
            QDir(QString::fromLocal8Bit(out)).filePath(QStringLiteral("screenshot-mousepad.png"))));
    }
}

TEST_F(PadPageTest, ALightingChangeKeepsThePadsOwnBytes) {
    Bytes record = SimFactoryPadSettingsRecord();
    record[kSimPadRecordOwnByte] = 0x6E;
    for (size_t i = kSimPadRecordOwnTail; i < kSimPadRecordOwnTailEnd; ++i)
        record[i] = static_cast<uint8_t>(0xD0 + i);
    ASSERT_TRUE(m_pad->SetParameters(0, record));
    OpenWindow();

    // Static (mode 3) chosen in the page's list, then a lower brightness.
    ASSERT_TRUE(Raise("light_combo_modeSelect", "itemselect", 3));
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_pad->SettingsRecord(0)[kSimPadRecordMode] == 3; }, 3000));
    ASSERT_TRUE(Raise("deng_light_slider", "valuechanged", 2));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return m_pad->SettingsRecord(0)[kSimPadRecordBrightness] == 2; }, 3000));
    const Bytes written = m_pad->SettingsRecord(0);
    EXPECT_EQ(written[kSimPadRecordOwnByte], 0x6E);
    EXPECT_EQ(Bytes(written.begin() + kSimPadRecordOwnTail, written.begin() + kSimPadRecordOwnTailEnd),
              Bytes(record.begin() + kSimPadRecordOwnTail, record.begin() + kSimPadRecordOwnTailEnd));
    EXPECT_EQ(m_page->Pad().Profile().GetLightInfo().mode, 3) << "the profile keeps the choice";
    EXPECT_FALSE(m_page->findChild<QWidget*>(QStringLiteral("mousepad_write_notice"))->isVisibleTo(m_page));
}

TEST_F(PadPageTest, ThePowerIndicatorShowsThePhoneOnThePad) {
    OpenWindow();
    CMpDevicePowerUI* power = m_page->PowerIndicator();
    ASSERT_NE(power, nullptr);
    EXPECT_EQ(power->GetKind(), 3);
    QWidget* phone = power->findChild<QWidget*>(QStringLiteral("device_phone_type"));
    ASSERT_NE(phone, nullptr);

    struct Case {
        int type;
        const char* image;
        const char* key;
    };
    for (const Case& c : {Case{1, "file='power/Phone_type_iphone.png'", "Phone_type_iphone"},
                          Case{2, "file='power/Phone_type_samsung.png'", "Phone_type_samsung"},
                          Case{0, "file='power/Phone_type_no_device.png'", "Phone_type_no_device"}}) {
        ASSERT_TRUE(m_pad->SetPowerStatus(100, 0, c.type));
        m_page->Pad().StatusPoll();
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return CMpDevicePowerUI::BackgroundImage(phone) == QLatin1String(c.image); }, 3000))
            << "phone type " << c.type << ": " << CMpDevicePowerUI::BackgroundImage(phone).toStdString();
        EXPECT_EQ(phone->property("tooltipKey").toString(), QLatin1String(c.key));
        EXPECT_EQ(m_page->Pad().LastStatus()[5], c.type);
    }
}

} // namespace nk7x::test
