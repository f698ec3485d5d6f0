// The keyboard picture as the window shows it: one opaque picture above the key buttons draws the
// board, the lights and the caps, and every change of a button reaches the screen through it.
#include "keyboard_test_support.h"

#include "ui/controls/DeviceKeyButtonUI.h"
#include "ui/controls/KeyPictureUI.h"
#include "ui/controls/SelectPanelUI.h"

#include <QScreen>
#include <QTest>
#include <QWindow>

#include <algorithm>
#include <cstdlib>

namespace nk7x::test {
namespace {

// Live colours as the pages pack them: red in the low byte, blue in the middle, green on top.
constexpr quint32 kRed = 0x0000FF;
constexpr quint32 kBlue = 0x00FF00;
constexpr quint32 kGreen = 0xFF0000;

class KeyPicture : public ::testing::Test {
  protected:
    void SetUp() override {
        RegisterControlsOnce();
        m_panel.resize(900, 320);
        PopulateKeyboardKeys(&m_panel, &EnglishTexts());
        m_panel.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_panel));
        m_picture = m_panel.findChild<CKeyPictureUI*>(QStringLiteral("key_panel_picture"));
        ASSERT_NE(m_picture, nullptr);
        for (int n = 0; n < kKeyboardLayoutKeys; ++n)
            Light(n)->SetLiveColor(0x202020, 255, true);
        Settle();
    }

    CDeviceKeyButtonUI* Light(int n) {
        return m_panel.findChild<CDeviceKeyButtonUI*>(QStringLiteral("light_%1").arg(n));
    }
    CDeviceKeyButtonUI* Key(int n) {
        return m_panel.findChild<CDeviceKeyButtonUI*>(QStringLiteral("key_%1").arg(n));
    }
    static void Settle() {
        for (int i = 0; i < 4; ++i) {
            QApplication::processEvents();
            QTest::qWait(10);
        }
    }
    // What the window shows now: its backing store, not a fresh rendering.
    QImage OnScreen() {
        Settle();
        return m_panel.screen()->grabWindow(m_panel.winId()).toImage().convertToFormat(QImage::Format_RGB32);
    }
    static QColor Average(const QImage& image, const QRect& area) {
        long r = 0, g = 0, b = 0, n = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x) {
                const QRgb p = image.pixel(x, y);
                r += qRed(p);
                g += qGreen(p);
                b += qBlue(p);
                ++n;
            }
        return n ? QColor(int(r / n), int(g / n), int(b / n)) : QColor();
    }
    static int MaxDifference(const QImage& a, const QImage& b) {
        const QImage x = a.convertToFormat(QImage::Format_ARGB32);
        const QImage y = b.convertToFormat(QImage::Format_ARGB32);
        int most = 0;
        for (int row = 0; row < x.height(); ++row)
            for (int col = 0; col < x.width(); ++col) {
                const QRgb p = x.pixel(col, row), q = y.pixel(col, row);
                most = std::max({most, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                                 std::abs(qBlue(p) - qBlue(q)), std::abs(qAlpha(p) - qAlpha(q))});
            }
        return most;
    }
    // The middle of a key, clear of its caption's usual place near the centre line.
    static QRect Inner(const QRect& key) {
        return QRect(key.left() + key.width() / 4, key.top() + key.height() / 5, key.width() / 2,
                     key.height() / 6);
    }

    CSelectPanelUI m_panel;
    CKeyPictureUI* m_picture = nullptr;
};

TEST_F(KeyPicture, CoversEveryKeyAndDrawsWhatTheButtonsDrawThemselves) {
    ASSERT_TRUE(m_picture->IsCovering());
    EXPECT_TRUE(m_picture->isVisible());
    EXPECT_TRUE(m_picture->testAttribute(Qt::WA_TransparentForMouseEvents));
    for (int n = 0; n < kKeyboardLayoutKeys; ++n) {
        EXPECT_TRUE(m_picture->geometry().contains(Key(n)->geometry())) << n;
        EXPECT_TRUE(m_picture->geometry().contains(Light(n)->geometry())) << n;
    }
    EXPECT_TRUE(Light(3)->DrawsCover()) << "a light draws the cap over it";
    EXPECT_TRUE(Key(3)->DrawnWithLightBelow());
    Light(3)->SetLiveColor(kRed, 255, true);
    Light(40)->SetLiveColor(kGreen, 120, true);
    Key(7)->SetDragSelected(true);
    const QImage drawn = m_panel.grab().toImage();
    // Over a body it cannot cover the picture steps aside: the buttons paint themselves, each
    // layer on its own, over the panel's own body.
    m_picture->SetBackdrop(QPixmap(), QRect());
    EXPECT_FALSE(m_picture->IsCovering());
    EXPECT_FALSE(m_picture->isVisible());
    EXPECT_FALSE(Light(3)->DrawsCover());
    const QImage plain = m_panel.grab().toImage();
    // A light and its cap are blended in one integer pass there: a level or two apart at most.
    ASSERT_EQ(drawn.size(), plain.size());
    EXPECT_LE(MaxDifference(drawn, plain), 3);
}

TEST_F(KeyPicture, LightsCaptionsMarksAndSizesReachTheScreen) {
    const QRect place = Light(30)->geometry();
    const QImage before = OnScreen();
    Light(30)->SetLiveColor(kRed, 255, true);
    QImage now = OnScreen();
    QColor c = Average(now, Inner(place));
    EXPECT_GT(c.red(), 120) << "a new live colour shows at once";
    EXPECT_LT(c.green(), 60);
    EXPECT_EQ(Average(now, Inner(Light(60)->geometry())), Average(before, Inner(Light(60)->geometry())))
        << "a key far off stays as it was";

    Light(30)->SetLiveColor(kBlue, 255, true);
    c = Average(OnScreen(), Inner(place));
    EXPECT_GT(c.blue(), 120);
    EXPECT_LT(c.red(), 60);

    // Every light at once, as a wave frame sets them.
    for (int n = 0; n < kKeyboardLayoutKeys; ++n)
        Light(n)->SetLiveColor(kGreen, 255, true);
    now = OnScreen();
    for (int n : {0, 34, 75, 108, 124})
        EXPECT_GT(Average(now, Inner(Light(n)->geometry())).green(), 120) << n;

    // A caption set from outside, as a language change sets it.
    const QRect cap = Key(45)->geometry();
    const QImage captioned = OnScreen().copy(cap);
    Key(45)->setText(QString());
    EXPECT_NE(OnScreen().copy(cap), captioned);

    // A drag mark.
    const QImage unmarked = OnScreen().copy(Key(50)->geometry());
    Key(50)->SetDragSelected(true);
    EXPECT_NE(OnScreen().copy(Key(50)->geometry()), unmarked);

    // A key taken out of the picture leaves the body behind, not its last colours.
    Light(60)->SetLiveColor(kGreen, 255, true);
    EXPECT_GT(Average(OnScreen(), Inner(Light(60)->geometry())).green(), 120);
    Light(60)->hide();
    Key(60)->hide();
    EXPECT_LT(Average(OnScreen(), Inner(Light(60)->geometry())).green(), 60);
    Light(60)->show();
    Key(60)->show();
    EXPECT_GT(Average(OnScreen(), Inner(Light(60)->geometry())).green(), 120);

    // A new panel size places and draws everything again.
    m_panel.resize(1100, 390);
    now = OnScreen();
    EXPECT_TRUE(m_picture->geometry().contains(Key(95)->geometry()));
    EXPECT_GT(Average(now, Inner(Light(95)->geometry())).green(), 120);
}

TEST_F(KeyPicture, APressedCapShowsPressedAndStillClicks) {
    CDeviceKeyButtonUI* key = Key(64);
    const QRect place = key->geometry();
    const QImage up = OnScreen().copy(place);
    int clicks = 0;
    QObject::connect(key, &QAbstractButton::clicked, [&] { ++clicks; });
    QTest::mousePress(key, Qt::LeftButton, {}, key->rect().center());
    EXPECT_TRUE(key->isDown());
    EXPECT_NE(OnScreen().copy(place), up) << "the cap's pressed look shows under the picture";
    QTest::mouseRelease(key, Qt::LeftButton, {}, key->rect().center());
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(OnScreen().copy(place), up);
}

} // namespace
} // namespace nk7x::test
