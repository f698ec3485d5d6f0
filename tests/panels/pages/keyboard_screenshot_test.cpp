// The filled keyboard page drawn offscreen with live colours on its keys; the picture is kept in
// the build folder (pages/keyboard_page.png) for a look.
#include "keyboard_test_support.h"

#include "ui/Theme.h"
#include "ui/controls/DeviceKeyButtonUI.h"
#include "ui/controls/LiveColor.h"
#include "ui/controls/SkinImage.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QStackedWidget>

#include <cmath>
#include <set>

namespace nk7x::test {
namespace {

TEST(KeyboardPagePicture, TheFilledPageShowsEveryKeyInItsColour) {
    SkinImage::SetImageFolder(SkinPath(""));
    KeyboardPageWindow window;
    ASSERT_NE(window.page, nullptr);
    QFile qss(SkinPath("theme.qss"));
    ASSERT_TRUE(qss.open(QIODevice::ReadOnly));
    window.SetBaseStyleSheet(QString::fromUtf8(qss.readAll()));
    window.show();
    window.page->setGeometry(window.rect());
    QApplication::processEvents();

    // A rainbow across the board, as the preview paints it.
    for (int n = 0; n < kKeyboardLayoutKeys; ++n) {
        auto* light = window.Find<CDeviceKeyButtonUI>(QStringLiteral("light_%1").arg(n));
        ASSERT_NE(light, nullptr);
        const QRectF r = KeyUnitRect(n);
        const QColor c = QColor::fromHsvF(std::fmod(r.center().x() / kBoardUnitsWide, 1.0), 0.85, 1.0);
        light->SetLiveColor(PackLiveColor(quint8(c.red()), quint8(c.green()), quint8(c.blue())), 255, true);
    }
    auto* functions = window.Find<QStackedWidget>("device_function_switch");
    ASSERT_NE(functions, nullptr);
    functions->setCurrentIndex(3);
    KeyboardSettingsControls c;
    c.pollingOption = 3;
    c.key6Flag = true;
    c.repeatRate = 20;
    c.repeatDelayOption = 1;
    ShowKeyboardSettings(window.page, c, &EnglishTexts());
    QApplication::processEvents();

    const QImage shot = window.grab().toImage();
    ASSERT_EQ(shot.size(), QSize(800, 560));
    QDir().mkpath(QStringLiteral(NK7X_BINARY_DIR "/pages"));
    EXPECT_TRUE(shot.save(QStringLiteral(NK7X_BINARY_DIR "/pages/keyboard_page.png")));

    // Each key's middle shows a strong colour of its own light, not the dark page.
    std::set<int> hues;
    for (int n = 0; n < kKeyboardLayoutKeys; ++n) {
        auto* key = window.Find<QWidget>(QStringLiteral("key_%1").arg(n));
        const QRect g(key->mapTo(&window, QPoint(0, 0)), key->size());
        // The most colourful of a few points on the cap (the caption covers some of them).
        QColor px;
        for (int i = 1; i <= 4; ++i)
            for (int j = 1; j <= 4; ++j) {
                const QColor sample =
                    shot.pixelColor(g.left() + g.width() * i / 5, g.top() + g.height() * j / 5);
                if (sample.saturationF() * sample.valueF() > px.saturationF() * px.valueF())
                    px = sample;
            }
        EXPECT_GT(px.saturationF(), 0.3) << "key " << n << " shows no colour";
        EXPECT_GT(px.valueF(), 0.35) << "key " << n << " is dark";
        hues.insert(px.hsvHue() / 30);
    }
    EXPECT_GE(hues.size(), 8u) << "the rainbow did not reach the picture";
    // The settings page is drawn below the picture in the theme's dark colours.
    const QColor bg = shot.pixelColor(4, 550);
    EXPECT_LT(bg.valueF(), 0.2);
}

} // namespace
} // namespace nk7x::test
