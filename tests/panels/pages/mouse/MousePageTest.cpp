// The mouse page in the main window against the emulated mouse: the DPI stage controls, the
// settings tabs, and the same mouse by cable and through its receiver as either comes and goes.
#include "app/MainWnd.h"
#include "panels/DeviceOptionUI.h"
#include "panels/keys/KeySetControlUI.h"
#include "panels/pages/BrindovaKeyboardDevice.h"
#include "panels/pages/BrindovaMouseDevice.h"
#include "support/MessageBoxAnswers.h"
#include "support/PrivateWindowFolders.h"
#include "support/TestSupport.h"
#include "tools/sim/SimDevice.h"
#include "ui/controls/DeviceKeyButtonUI.h"
#include "windows/MessageBox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QScreen>
#include <QSlider>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace nk7x::test {
namespace {

class MousePageTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(m_folders.IsValid()); }
    void TearDown() override {
        m_window.reset();
        m_cable.reset();
        m_receiver.reset();
    }
    std::unique_ptr<SimDevice> Start(SimKind kind) {
        SimOptions o;
        o.folder = m_sim.Path();
        o.kind = kind;
        auto device = std::make_unique<SimDevice>(o);
        EXPECT_EQ(device->Start(), 1) << device->LastError();
        return device;
    }
    void OpenWindow() {
        m_window = std::make_unique<MainWnd>(m_folders.Options());
        m_window->Create();
        ASSERT_TRUE(QTest::qWaitFor([&] { return m_window->isVisible(); }, 5000));
        // The page is built when the mouse first comes.
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return !m_window->Devices().PagesOf(DeviceFamily::Mouse).empty(); }, 8000));
        const auto pages = m_window->Devices().PagesOf(DeviceFamily::Mouse);
        ASSERT_EQ(pages.size(), 1u) << "one page for the mouse, whichever way it is connected";
        m_page = qobject_cast<CBrindovaMouseDevice*>(pages[0]);
        ASSERT_NE(m_page, nullptr);
        ASSERT_TRUE(QTest::qWaitFor([&] { return m_page->ConnectsDone() >= 1; }, 8000))
            << "the page is filled";
    }
    template <class T> T* Find(const QString& name) const { return m_page->findChild<T*>(name); }
    void Type(int stage, const QString& text) {
        QLineEdit* edit = Find<QLineEdit>(QStringLiteral("DPI_edit_%1").arg(stage));
        ASSERT_NE(edit, nullptr);
        edit->setText(text);
        emit edit->editingFinished();
    }

    PrivateWindowFolders m_folders;
    TempSimFolder m_sim;
    std::unique_ptr<SimDevice> m_cable;
    std::unique_ptr<SimDevice> m_receiver;
    std::unique_ptr<MainWnd> m_window;
    CBrindovaMouseDevice* m_page = nullptr;
};

} // namespace

TEST_F(MousePageTest, DpiStagesFollowTheMousesStepAndReachIt) {
    m_cable = Start(SimKind::Mouse);
    OpenWindow();
    QSlider* slider = Find<QSlider>(QStringLiteral("DPI_slider_0"));
    ASSERT_NE(slider, nullptr);
    EXPECT_EQ(slider->minimum(), 0);
    EXPECT_EQ(slider->maximum(), 320);

    Type(0, QStringLiteral("75"));
    EXPECT_EQ(slider->value(), 2);
    EXPECT_EQ(Find<QLineEdit>(QStringLiteral("DPI_edit_0"))->text(), "100");
    Type(0, QStringLiteral("1234"));
    EXPECT_EQ(slider->value(), 24);
    EXPECT_EQ(Find<QLineEdit>(QStringLiteral("DPI_edit_0"))->text(), "1200");
    // The record's stage 0 carries the step count (bytes 16-17).
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_cable->SettingsRecord(0)[16] == 24; }, 3000));
    EXPECT_EQ(m_page->Mouse().Profile().GetDpiStages()[0].dpiX, 24);
    // The record carries the size in pixels of the screen the window is on (bytes 60-63).
    const std::vector<uint8_t> record = m_cable->SettingsRecord(0);
    const QSize screen = m_page->screen()->geometry().size() * m_page->screen()->devicePixelRatio();
    ASSERT_GT(screen.width(), 0);
    EXPECT_EQ(record[60] | record[61] << 8, screen.width());
    EXPECT_EQ(record[62] | record[63] << 8, screen.height());

    // Stages go off one by one; the last one that is on cannot be switched off.
    int shown = 0;
    for (int s = 0; s < kMouseDpiStageCount; ++s)
        shown += Find<QWidget>(QStringLiteral("DPI_layout_%1").arg(s))->isHidden() ? 0 : 1;
    ASSERT_GE(shown, 2);
    for (int s = 0; s < shown - 1; ++s)
        Find<QCheckBox>(QStringLiteral("DPI_enable_check_%1").arg(s))->click();
    QCheckBox* last = Find<QCheckBox>(QStringLiteral("DPI_enable_check_%1").arg(shown - 1));
    EXPECT_TRUE(last->isChecked());
    EXPECT_FALSE(last->isEnabled());
    EXPECT_EQ(m_page->Mouse().Profile().GetDpiStages()[0].active, 0);
    // Turning one on again frees the others.
    Find<QCheckBox>(QStringLiteral("DPI_enable_check_0"))->click();
    EXPECT_TRUE(last->isEnabled());

    // The three views as a user sees them.
    if (const char* out = std::getenv("NK7X_SCREENSHOT_DIR")) {
        const char* names[] = {"screenshot-mouse-lighting", "screenshot-mouse-dpi",
                               "screenshot-mouse-settings", "screenshot-mouse-shoot",
                               "screenshot-mouse-buttons"};
        for (int tab = 0; tab < 5; ++tab) {
            m_page->ShowSettingTab(tab);
            QTest::qWait(300); // a few light frames, so the LEDs show the effect
            EXPECT_TRUE(m_window->grab().save(QString::fromLocal8Bit(out) + QLatin1Char('/') +
                                              QString::fromLatin1(names[tab]) + QStringLiteral(".png")));
        }
    }

    // A tab beyond the last shows the first.
    m_page->ShowSettingTab(7);
    EXPECT_EQ(Find<QStackedWidget>(QStringLiteral("mouse_option_layout"))->currentIndex(), 0);
}

TEST_F(MousePageTest, AHiddenWindowKeepsTheMousesLightsMoving) {
    m_cable = Start(SimKind::Mouse);
    OpenWindow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_cable->Counters().liveFrames >= 3; }, 5000));
    m_window->hide();
    ASSERT_FALSE(m_page->isVisible());
    const uint64_t before = m_cable->Counters().liveFrames;
    // The mouse runs no effect of its own: without frames its LEDs would stand still.
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_cable->Counters().liveFrames >= before + 10; }, 5000))
        << "frames while hidden: " << m_cable->Counters().liveFrames - before;
    // The frames leave from the mouse's light thread, not from runs of the window.
    EXPECT_TRUE(m_page->Mouse().StreamingFromLightThread());
    const StreamTiming hidden = m_page->Mouse().StreamStats();
    EXPECT_LT(hidden.worstDelayMs, 40.0) << "a frame leaves close to its tick";

    // Shown again, the frames go on and the LEDs on the picture follow the stream.
    m_window->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_page->isVisible(); }, 3000));
    const uint64_t shown = m_cable->Counters().liveFrames;
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_cable->Counters().liveFrames >= shown + 5; }, 5000));
    CDeviceKeyButtonUI* led = m_page->KeyButton(0);
    ASSERT_NE(led, nullptr);
    const quint32 colour = led->LiveColor();
    const int brightness = led->Brightness();
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return led->LiveColor() != colour || led->Brightness() != brightness; }, 5000))
        << "the picture shows the moving effect";
}

TEST_F(MousePageTest, ButtonsAreListedEditedAndWritten) {
    m_cable = Start(SimKind::Mouse);
    OpenWindow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !m_page->Mouse().ButtonTable().empty(); }, 5000));
    auto* rows = Find<QListWidget>(QStringLiteral("device_setkeyinfo_list"));
    ASSERT_NE(rows, nullptr);
    ASSERT_EQ(rows->count(), kMouseButtonCount);
    ASSERT_NE(m_page->KeySetPanel(), nullptr);
    ASSERT_NE(m_page->MacroPanel(), nullptr);

    // Choosing a button puts it into the editor.
    rows->setCurrentRow(2);
    EXPECT_EQ(m_page->Mouse().SelectedKey(), 2);
    EXPECT_TRUE(m_page->KeySetPanel()->HasKey());
    EXPECT_EQ(m_page->KeySetPanel()->Current().assignment, m_page->Mouse().KeyList()[2].assignment);

    // "Forward" does what "back" did: the row says so, and the mouse's table has it at its position.
    const QString before = rows->item(3)->text();
    ASSERT_TRUE(m_page->Mouse().SetKeyAssignment(3, DefaultButtonCodeTable[4].code));
    EXPECT_NE(rows->item(3)->text(), before);
    m_page->Mouse().QueueProfileKeyAssignmentsWrite(0);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return m_cable->KeyTable()[9] == DefaultButtonCodeTable[4].code.type &&
                   m_cable->KeyTable()[10] == DefaultButtonCodeTable[4].code.b1;
        },
        3000));
}

// The only button that clicks left cannot be taken into the editor: a click on its row says why
// and the editor keeps the button it had; nor can its left click be replaced another way.
TEST_F(MousePageTest, TheLastLeftClickStaysAndTheUserIsToldWhy) {
    m_cable = Start(SimKind::Mouse);
    OpenWindow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !m_page->Mouse().ButtonTable().empty(); }, 5000));
    auto* rows = Find<QListWidget>(QStringLiteral("device_setkeyinfo_list"));
    ASSERT_NE(rows, nullptr);
    m_page->ShowSettingTab(4);
    ASSERT_TRUE(QTest::qWaitFor([&] { return rows->isVisible(); }, 3000));
    QTest::mouseClick(rows->viewport(), Qt::LeftButton, {}, rows->visualItemRect(rows->item(2)).center());
    ASSERT_EQ(m_page->Mouse().SelectedKey(), 2);
    ASSERT_TRUE(m_page->Mouse().IsLastLeftButton(0));

    MessageBoxAnswers answers;
    const QStringList& shown = answers.Shown();
    QTest::mouseClick(rows->viewport(), Qt::LeftButton, {}, rows->visualItemRect(rows->item(0)).center());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !shown.isEmpty(); }, 3000));
    EXPECT_EQ(shown.value(0), m_window->Texts().Text(QStringLiteral("message_text_6")));
    EXPECT_EQ(m_page->Mouse().SelectedKey(), 2) << "the editor keeps its button";
    EXPECT_EQ(rows->currentRow(), 2);
    EXPECT_FALSE(m_page->Mouse().SetKeyAssignment(0, DefaultButtonCodeTable[1].code));
    EXPECT_EQ(m_page->Mouse().KeyList()[0].assignment, DefaultButtonCodeTable[0].code);

    // With the left click on another button as well, the first one may change.
    ASSERT_TRUE(m_page->Mouse().SetKeyAssignment(4, DefaultButtonCodeTable[0].code));
    EXPECT_FALSE(m_page->Mouse().IsLastLeftButton(0));
    QTest::mouseClick(rows->viewport(), Qt::LeftButton, {}, rows->visualItemRect(rows->item(0)).center());
    EXPECT_EQ(m_page->Mouse().SelectedKey(), 0);
}

// With the keyboard and the mouse connected the window fits the work area of every screen from
// 1366 x 768 up, wide ones and tall ones alike, and every tab of the pages stays inside it.
TEST_F(MousePageTest, TheWindowFitsTheWorkAreaWithEveryPage) {
    m_cable = Start(SimKind::Mouse);
    m_receiver = Start(SimKind::Keyboard);
    OpenWindow();
    ASSERT_EQ(m_window->Devices().VisibleEntryCount(), 2);
    for (const QSize area : {QSize(1600, 1152), QSize(1366, 728), QSize(1280, 984), QSize(1920, 1040),
                             QSize(2560, 1400), QSize(1440, 860)}) {
        m_window->ApplyScaleForWorkArea(area.width(), area.height());
        QApplication::processEvents();
        std::printf("work area %dx%d: scale %d, window %dx%d (content needs %dx%d)\n", area.width(),
                    area.height(), m_window->Scale(), m_window->width(), m_window->height(),
                    m_window->minimumSizeHint().width(), m_window->minimumSizeHint().height());
        EXPECT_LE(m_window->width(), area.width()) << area.width() << "x" << area.height();
        EXPECT_LE(m_window->height(), area.height()) << area.width() << "x" << area.height();
        if (const char* out = std::getenv("NK7X_SCREENSHOT_DIR"); out && area == QSize(1366, 728)) {
            EXPECT_TRUE(
                m_window->grab().save(QString::fromLocal8Bit(out) + QStringLiteral("/window-1366.png")));
        }
    }
}

TEST_F(MousePageTest, CableAndReceiverHandOverTheSamePage) {
    m_cable = Start(SimKind::Mouse);
    m_receiver = Start(SimKind::Receiver);
    OpenWindow();
    CDeviceCommandLink& link = m_page->Mouse().Link();
    ASSERT_TRUE(QTest::qWaitFor([&] { return link.IsOpen() && !link.LongTimeouts(); }, 5000))
        << "the cable is preferred";

    // The cable is pulled while the receiver stays: the page goes on through the receiver.
    m_cable->Stop();
    ASSERT_TRUE(QTest::qWaitFor([&] { return link.IsOpen() && link.LongTimeouts(); }, 15000));
    EXPECT_EQ(m_page->Mouse().GetIdentity().kind, DeviceKind::MouseReceiver);
    EXPECT_TRUE(m_page->ListEntry()->IsShown());

    // The cable comes back: it takes over again.
    ASSERT_EQ(m_cable->Start(), 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return link.IsOpen() && !link.LongTimeouts(); }, 15000));
    EXPECT_EQ(m_page->Mouse().GetIdentity().kind, DeviceKind::Mouse);

    // Both gone: the entry goes.
    m_cable->Stop();
    m_receiver->Stop();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !link.IsOpen(); }, 15000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !m_page->ListEntry()->IsShown(); }, 5000));
}

// The report rate, a stage's slider and the pointer checks reach the mouse through the window; a
// drag is written once, when the slider is let go, and the edit follows it all along.
TEST_F(MousePageTest, SettingsControlsReachTheMouseThroughTheWindow) {
    m_cable = Start(SimKind::Mouse);
    OpenWindow();
    ASSERT_EQ(m_window->Devices().CurrentPage(), m_page);
    CMouseDevice& mouse = m_page->Mouse();

    const int rate = mouse.Profile().GetSystemStages().reportRateStage == 1 ? 2 : 1;
    auto* option = Find<QAbstractButton>(QStringLiteral("polling_rate_option_%1").arg(rate));
    ASSERT_NE(option, nullptr);
    option->click();
    EXPECT_EQ(mouse.Profile().GetSystemStages().reportRateStage, rate);

    QSlider* slider = Find<QSlider>(QStringLiteral("DPI_slider_1"));
    QLineEdit* edit = Find<QLineEdit>(QStringLiteral("DPI_edit_1"));
    ASSERT_NE(slider, nullptr);
    ASSERT_NE(edit, nullptr);
    ASSERT_GE(mouse.Profile().GetDpiStages().size(), 2u);
    const int before = mouse.Profile().GetDpiStages()[1].dpiX;
    const int target = before == 40 ? 41 : 40;
    slider->setSliderDown(true);
    slider->setValue(target);
    EXPECT_EQ(edit->text(), QString::number(mouse.Info().DpiForSteps(target)));
    EXPECT_EQ(mouse.Profile().GetDpiStages()[1].dpiX, before) << "nothing is written during a drag";
    slider->setSliderDown(false);
    EXPECT_EQ(mouse.Profile().GetDpiStages()[1].dpiX, target);

    auto* precision = Find<QCheckBox>(QStringLiteral("pointer_precision_check"));
    ASSERT_NE(precision, nullptr);
    const bool was = precision->isChecked();
    precision->click();
    EXPECT_EQ(mouse.Profile().GetSystemStages().pointerPrecision, was ? 0 : 1);
}

// The keyboard's page names its report-rate options as the mouse's does: with the mouse's page
// shown, the keyboard's options leave the mouse alone.
TEST_F(MousePageTest, TheKeyboardsReportRateOptionsLeaveTheMouseAlone) {
    m_cable = Start(SimKind::Mouse);
    m_receiver = Start(SimKind::Keyboard);
    OpenWindow();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return !m_window->Devices().PagesOf(DeviceFamily::Keyboard).empty(); }, 8000));
    CBrindovaUSBDevice* keyboardPage = m_window->Devices().PagesOf(DeviceFamily::Keyboard)[0];
    DeviceHost& host = m_window->Devices();
    auto show = [&host](CBrindovaUSBDevice* page) {
        for (int i = 0; i < host.PageCount(); ++i)
            if (host.Page(i) == page)
                host.ShowEntry(i, true);
        return host.CurrentPage() == page;
    };
    ASSERT_TRUE(show(m_page));

    const int rate = m_page->Mouse().Profile().GetSystemStages().reportRateStage;
    auto* other = keyboardPage->findChild<QAbstractButton*>(
        QStringLiteral("polling_rate_option_%1").arg(rate == 1 ? 2 : 1));
    ASSERT_NE(other, nullptr);
    other->click();
    EXPECT_EQ(m_page->Mouse().Profile().GetSystemStages().reportRateStage, rate);

    // The other way round: the mouse's page filled out of sight with a new rate (as a profile
    // switch or a change made on the mouse fills it) checks the mouse's own option, which is no
    // choice made on the keyboard's page.
    auto* keyboard = qobject_cast<CBrindovaKeyboardDevice*>(keyboardPage);
    ASSERT_NE(keyboard, nullptr);
    ASSERT_TRUE(show(keyboardPage));
    const int keyboardRate = keyboard->Keyboard().Profile().GetSystemStages().pollingRate;
    const int mouseRate = m_page->Mouse().Profile().GetSystemStages().reportRateStage;
    int next = 0;
    while (next == keyboardRate || next == mouseRate)
        ++next;
    m_page->Mouse().SetReportStage(next);
    m_page->Device().RefreshPage();
    QApplication::processEvents();
    auto* checked = m_page->findChild<QAbstractButton*>(QStringLiteral("polling_rate_option_%1").arg(next));
    ASSERT_NE(checked, nullptr);
    EXPECT_TRUE(checked->isChecked()) << "the mouse's page shows its rate";
    ASSERT_EQ(m_page->Mouse().Profile().GetSystemStages().reportRateStage, next);
    EXPECT_EQ(keyboard->Keyboard().Profile().GetSystemStages().pollingRate, keyboardRate);
}

} // namespace nk7x::test
