// Renders the lighting panel of a keyboard page in three modes to PNG files for the docs when
// NK7X_SCREENSHOT_DIR is set: static colour, a wave with its direction, and the custom colours.
#include "LightPanelTestSupport.h"

#include "ui/LanguageTexts.h"

#include <QDir>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QImage>
#include <QPainter>
#include <QTest>

#include <cstdlib>

namespace nk7x::test {
namespace {

QString OutDir() {
    const char* out = std::getenv("NK7X_SCREENSHOT_DIR");
    return out ? QString::fromLocal8Bit(out) : QString();
}

QImage Render(int mode, const LanguageTexts& texts, bool sameMode, QSize size = {300, 600}) {
    PanelHost p(DeviceKind::Keyboard);
    p.host.ReloadText(texts);
    p.panel->SetLanguageTexts(&texts);
    LightState s;
    s.mode = static_cast<uint8_t>(mode);
    s.brightness = 3;
    s.speed = 2;
    s.direction = 1;
    s.red = 0x2F;
    s.green = 0x9B;
    s.blue = 0xFF;
    p.panel->ShowLightSettings(s);
    p.panel->SetSameModeAvailable(sameMode);
    p.host.resize(size);
    p.host.show();
    QTest::qWait(20);
    return p.host.grab().toImage();
}

TEST(LightPanelScreenshots, StaticWaveAndCustom) {
    if (OutDir().isEmpty())
        GTEST_SKIP() << "NK7X_SCREENSHOT_DIR not set";
    LanguageTexts en;
    ASSERT_TRUE(en.LoadFile(QStringLiteral(NK7X_SOURCE_DIR "/skin/lang/lan_en.json")));
    const QImage shots[] = {Render(6, en, true), Render(1, en, false), Render(19, en, false)};
    const char* names[] = {"lightpanel-static.png", "lightpanel-wave.png", "lightpanel-custom.png"};
    QDir().mkpath(OutDir());
    // A page that gives the panel a wide strip.
    EXPECT_TRUE(
        Render(1, en, true, {880, 330}).save(QDir(OutDir()).filePath(QStringLiteral("lightpanel-wide.png"))));
    // A mode without a colour of its own: the colour groups are switched off.
    EXPECT_TRUE(Render(4, en, true).save(QDir(OutDir()).filePath(QStringLiteral("lightpanel-spectrum.png"))));
    for (int i = 0; i < 3; ++i) {
        ASSERT_FALSE(shots[i].isNull());
        EXPECT_TRUE(shots[i].save(QDir(OutDir()).filePath(QString::fromLatin1(names[i]))));
    }
    // The three side by side, as one picture.
    QImage all(3 * 300 + 2 * 12, 600, QImage::Format_ARGB32);
    all.fill(QColor(0x14, 0x16, 0x1b));
    QPainter painter(&all);
    for (int i = 0; i < 3; ++i)
        painter.drawImage(i * 312, 0, shots[i]);
    painter.end();
    EXPECT_TRUE(all.save(QDir(OutDir()).filePath(QStringLiteral("lightpanel-modes.png"))));
}

} // namespace
} // namespace nk7x::test
