// Renders both panels as a headset with its sound library shows them and as one reached only
// through the sound card's mixer, keeps the pictures in the build folder (and in
// NK7X_SCREENSHOT_DIR when set), and checks that they are drawn dark, with the equaliser curve
// running through the band handles, or with the notice in its place.
#include "SoundPanelSupport.h"

#include <QCheckBox>
#include <QDir>
#include <QImage>

#include <cstdlib>

namespace nk7x::test {
namespace {

using SoundScreenshotTest = SoundPanelTest;

bool Near(QColor c, QColor want, int tolerance = 60) {
    return std::abs(c.red() - want.red()) + std::abs(c.green() - want.green()) +
               std::abs(c.blue() - want.blue()) <
           tolerance;
}

double ShareOf(const QImage& image, const QRect& area, QColor colour) {
    int near = 0, all = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            ++all;
            near += Near(image.pixelColor(x, y), colour) ? 1 : 0;
        }
    return all ? static_cast<double>(near) / all : 0.0;
}

QImage Shoot(SoundPanelWindow& window, QWidget* panel, const char* file) {
    window.ShowOnly(panel);
    window.show();
    QApplication::processEvents();
    const QImage shot = window.grab().toImage();
    QDir().mkpath(QStringLiteral(NK7X_BINARY_DIR "/soundpanel"));
    EXPECT_TRUE(shot.save(QStringLiteral(NK7X_BINARY_DIR "/soundpanel/") + QString::fromLatin1(file)));
    if (const char* out = std::getenv("NK7X_SCREENSHOT_DIR")) {
        QDir().mkpath(QString::fromLocal8Bit(out));
        EXPECT_TRUE(shot.save(QDir(QString::fromLocal8Bit(out)).filePath(QString::fromLatin1(file))));
    }
    return shot;
}

const QColor kBackground(0x18, 0x1b, 0x21);
const QColor kCurve(0x4d, 0x86, 0xff);

// What a page shows for a headset: a custom curve chosen, the microphone on, monitoring muted.
void Fill(CMagicControlUI& magic, CVoice6533ControlUI& voice) {
    magic.ShowMagicEnabled(true);
    magic.ShowMagicType(2);
    voice.ShowMicOn(true);
    voice.SetMicSlider(72);
    voice.ShowMonitorOn(false);
    voice.SetMonitorSlider(35);
    voice.ShowEqType(13);
    voice.SetCustomEqMode(true);
    const int bands[] = {9, 12, 6, 0, -6, -4, 2, 8, 11, 7};
    for (int b = 0; b < 10; ++b)
        voice.SetBandValue(b, bands[b]);
    for (const char* name : {"Night gaming", "Podcast", "Footsteps"})
        voice.AddCustomEqName(QString::fromUtf8(name));
    voice.SelectCustomEqItem(0);
}

TEST_F(SoundScreenshotTest, FullSupport) {
    Fill(Magic(), Voice());
    Magic().SetFeatureSupport(AllFeatures(true));
    Voice().SetFeatureSupport(AllFeatures(true));
    const QImage eq = Shoot(Window(), &Voice(), "screenshot-headset-eq.png");
    ASSERT_FALSE(eq.isNull());
    EXPECT_GT(ShareOf(eq, eq.rect(), kBackground), 0.25);

    // Between two neighbouring bands the curve runs within their heights: it joins the handles.
    EqChartView* chart = Voice().Chart();
    ASSERT_NE(chart, nullptr);
    ASSERT_TRUE(chart->isVisible());
    const QPoint origin = chart->mapTo(&Window(), QPoint(0, 0));
    for (int b = 0; b + 1 < EqChartView::kBands; ++b) {
        const std::optional<QPointF> p = chart->BandPoint(b);
        const std::optional<QPointF> q = chart->BandPoint(b + 1);
        ASSERT_TRUE(p && q);
        const int x = origin.x() + static_cast<int>((p->x() + q->x()) / 2);
        const int top = origin.y() + static_cast<int>(std::min(p->y(), q->y())) - 6;
        const int bottom = origin.y() + static_cast<int>(std::max(p->y(), q->y())) + 6;
        EXPECT_GT(ShareOf(eq, QRect(x - 1, top, 3, bottom - top + 1), kCurve), 0.0) << "between bands " << b;
    }
    // The handle of a high band sits higher than the one of a cut band.
    EXPECT_LT(chart->BandPoint(1)->y(), chart->BandPoint(4)->y());

    const QImage magic = Shoot(Window(), &Magic(), "screenshot-headset-magic.png");
    EXPECT_GT(ShareOf(magic, magic.rect(), kBackground), 0.25);
    auto* chosen = Window().Magic("magic_option_2");
    const QRect tile(chosen->mapTo(&Window(), QPoint(0, 0)), chosen->size());
    EXPECT_GT(ShareOf(magic, tile, QColor(0x26, 0x40, 0x6f)), 0.4) << "the chosen voice is marked";
}

TEST_F(SoundScreenshotTest, MixerOnly) {
    Fill(Magic(), Voice());
    Magic().SetFeatureSupport(MixerFeatures());
    Voice().SetFeatureSupport(MixerFeatures());
    const QImage mic = Shoot(Window(), &Voice(), "screenshot-headset-mic.png");
    ASSERT_FALSE(mic.isNull());
    EXPECT_GT(ShareOf(mic, mic.rect(), kBackground), 0.25);
    EXPECT_FALSE(Voice().Chart()->isVisible());
    auto* notice = Window().Voice<QLabel>("6533_eq_notice_label");
    ASSERT_TRUE(notice->isVisible());
    // The notice is laid out in full, below the volume row.
    EXPECT_GE(notice->height(), notice->heightForWidth(notice->width()));
    EXPECT_GT(notice->mapTo(&Window(), QPoint(0, 0)).y(),
              Window().Voice("6533_volume_row")->mapTo(&Window(), QPoint(0, 0)).y());
    // The microphone's slider is drawn: its filled part in the accent colour.
    auto* slider = Window().Voice("6533_MicIn_slider");
    const QRect groove(slider->mapTo(&Window(), QPoint(0, 0)), slider->size());
    EXPECT_GT(ShareOf(mic, groove, QColor(0x2f, 0x6b, 0xff)), 0.02);

    const QImage magic = Shoot(Window(), &Magic(), "screenshot-headset-magic-mixer.png");
    EXPECT_TRUE(Window().Magic("magic_notice")->isVisible());
    EXPECT_FALSE(Window().Magic("magic_option_1")->isVisible());
    EXPECT_GT(ShareOf(magic, magic.rect(), kBackground), 0.25);
}

// Every caption of the panels fits its control in both languages (a cut text would be a layout
// that only works in English).
TEST_F(SoundScreenshotTest, CaptionsFitInBothLanguages) {
    Fill(Magic(), Voice());
    for (bool chinese : {false, true}) {
        Window().ReloadText(SoundTexts(chinese));
        Voice().SetLanguageTexts(&SoundTexts(chinese));
        for (QWidget* panel : {static_cast<QWidget*>(&Voice()), static_cast<QWidget*>(&Magic())}) {
            Window().ShowOnly(panel);
            for (QAbstractButton* b : panel->findChildren<QAbstractButton*>()) {
                if (!b->isVisible() || b->text().isEmpty())
                    continue;
                const int needed = b->fontMetrics().horizontalAdvance(b->text());
                const int room = qobject_cast<QCheckBox*>(b) ? b->width() - 20 : b->width() - 8;
                EXPECT_LE(needed, room) << b->objectName().toStdString() << (chinese ? " zh" : " en");
            }
        }
    }
    Shoot(Window(), &Voice(), "screenshot-headset-eq-zh.png");
    Voice().SetFeatureSupport(AllFeatures(false));
    const QImage none = Shoot(Window(), &Voice(), "screenshot-headset-none.png");
    EXPECT_TRUE(Window().Voice("6533_none_notice")->isVisible());
    EXPECT_GT(ShareOf(none, none.rect(), kBackground), 0.5);
}

} // namespace
} // namespace nk7x::test
