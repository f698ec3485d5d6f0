// Renders the shoot panel with the shipped patterns for the docs when NK7X_SCREENSHOT_DIR is set,
// and checks that it is drawn in the page's dark colours with the pattern picture filled in.
#include "ShootTestSupport.h"

#include <QDir>
#include <QImage>

#include <cstdlib>

namespace nk7x::test {
namespace {

using ShootPictureTest = ShootTest;

// The share of pixels inside `area` close to `colour`.
double ShareOf(const QImage& image, const QRect& area, QColor colour) {
    int near = 0, all = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            ++all;
            if (std::abs(c.red() - colour.red()) + std::abs(c.green() - colour.green()) +
                    std::abs(c.blue() - colour.blue()) <
                40)
                ++near;
        }
    }
    return all ? static_cast<double>(near) / all : 0.0;
}

TEST_F(ShootPictureTest, PanelWithThePatternOfTheSecondGun) {
    ASSERT_TRUE(Window().Click("shoot_gun_op_1"));
    ASSERT_TRUE(Window().Click("bullet_op_11"));
    Window().show();
    QApplication::processEvents();
    const QImage shot = Window().grab().toImage();
    ASSERT_FALSE(shot.isNull());
    EXPECT_EQ(shot.size(), QSize(760, 330));

    QDir().mkpath(QStringLiteral(NK7X_BINARY_DIR "/shoot"));
    EXPECT_TRUE(shot.save(QStringLiteral(NK7X_BINARY_DIR "/shoot/screenshot-shoot-panel.png")));
    if (const char* out = std::getenv("NK7X_SCREENSHOT_DIR")) {
        QDir().mkpath(QString::fromLocal8Bit(out));
        EXPECT_TRUE(shot.save(
            QDir(QString::fromLocal8Bit(out)).filePath(QStringLiteral("screenshot-shoot-panel.png"))));
    }

    // Dark: the panel's background colour covers much of the picture.
    EXPECT_GT(ShareOf(shot, shot.rect(), QColor(0x18, 0x1b, 0x21)), 0.3);
    // The picture of gun 2 has its dots and the selected bullet's mark.
    ShootPatternView* view = Panel().PatternView(1);
    ASSERT_TRUE(view->isVisible());
    const QRect area(view->mapTo(&Window(), QPoint(0, 0)), view->size());
    EXPECT_GT(ShareOf(shot, area, QColor(0x8f, 0xc4, 0xff)), 0.002) << "bullet dots";
    EXPECT_GT(ShareOf(shot, area, QColor(0xff, 0xc5, 0x6b)), 0.0005) << "the selected bullet";
    EXPECT_FALSE(Panel().PatternView(0)->isVisible()) << "one gun's picture at a time";
}

} // namespace
} // namespace nk7x::test
