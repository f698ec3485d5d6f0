#include "ProfilePanelTestSupport.h"

#include "ui/FontTable.h"
#include "ui/LanguageTexts.h"
#include "ui/Theme.h"

#include <QImage>
#include <QPixmap>

namespace nk7x::test {
namespace {

// Renders the bar in the dark theme, closed and with its menu open, English and Chinese, and
// keeps the pictures in the build tree for a look.
class ScreenshotTest : public ProfilePanelTest {
  protected:
    QImage Shot(const char* language, bool menuOpen, const char* file) {
        LanguageTexts texts;
        EXPECT_TRUE(texts.LoadFile(
            QStringLiteral(NK7X_SOURCE_DIR "/skin/lang/lan_%1.json").arg(QLatin1String(language))));
        FontTable fonts;
        fonts.Rebuild();
        m_host->SetBaseStyleSheet(
            LoadStyleSheet(QStringLiteral(NK7X_SOURCE_DIR "/skin"), QStringLiteral("theme.qss")));
        m_host->SetScale(96);
        m_host->ApplyFonts(fonts);
        m_host->ReloadText(texts);
        m_panel->ShowMenu(menuOpen);
        m_host->resize(1000, 44);
        m_panel->setGeometry(0, 0, 1000, 44);
        QApplication::processEvents();
        const QImage image = m_host->grab().toImage();
        image.save(QStringLiteral(NK7X_BINARY_DIR "/%1").arg(QLatin1String(file)));
        return image;
    }
};

TEST_F(ScreenshotTest, BarIsDarkAndShowsItsControls) {
    ASSERT_EQ(m_panel->AddProfile(), ProfileResult::Done);
    const QImage closed = Shot("en", false, "profile-bar-en.png");
    ASSERT_FALSE(closed.isNull());
    // The bar's background is the dark panel colour, not the toolkit's light default.
    const QColor corner = closed.pixelColor(2, 2);
    EXPECT_LT(corner.lightness(), 60) << corner.name().toStdString();
    EXPECT_EQ(Control<QWidget>("deng_Op_tab")->property("text").toString(), QStringLiteral("Lighting"));

    const QImage open = Shot("zh", true, "profile-bar-zh-menu.png");
    EXPECT_TRUE(Control<QWidget>("device_reset_btn")->isVisible());
    EXPECT_EQ(Control<QWidget>("deng_Op_tab")->property("text").toString(), QStringLiteral("灯光"));
    EXPECT_NE(open, closed);
}

} // namespace
} // namespace nk7x::test
