// Edits of the lighting panel reaching a real keyboard on the emulator through the main window's
// dispatch: the record in the keyboard's parameter memory, the profile, the panel afterwards, the
// synchronisation flag, and the copy of the effect to every open device.
#include "LightPanelTestSupport.h"

#include <QCheckBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>

namespace nk7x::test {
namespace {

// Record bytes: 1 mode, 2 brightness, 3 speed (4 - speed), 4 direction, 5 multi-colour, 6-8 colour,
// 18 secondary mode.
constexpr size_t kMode = 1, kBright = 2, kSpeed = 3, kDir = 4, kMulti = 5, kRed = 6, kGreen = 7, kBlue = 8,
                 kSecondary = 18;

void PickPalette(CColorPaletteUI* palette, QPoint p) {
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(p), palette->mapToGlobal(QPointF(p)), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(palette, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(p), palette->mapToGlobal(QPointF(p)),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(palette, &release);
}

TEST_F(LightPanelTest, EachEditWritesTheRecord) {
    PickItem(Find<QComboBox>("light_combo_modeSelect"), 5);
    EXPECT_EQ(Record(*m_sim)[kMode], 5);
    EXPECT_EQ(m_kbd->GetLightSettings().mode, 5);
    EXPECT_EQ(m_kbd->Profile().GetLightInfo().mode, 5);
    EXPECT_FALSE(m_page->Group("deng_speed_layout")->isHidden()); // re-laid out for mode 5

    Find<QSlider>("deng_light_slider")->setValue(2);
    EXPECT_EQ(Record(*m_sim)[kBright], 2);
    Find<QSlider>("deng_speed_slider")->setValue(1);
    EXPECT_EQ(Record(*m_sim)[kSpeed], 3); // the keyboard counts speed the other way round
    EXPECT_EQ(m_kbd->GetLightSettings().speed, 1);
    Find<QSlider>("deng_speed_slider")->setValue(4);
    EXPECT_EQ(Record(*m_sim)[kSpeed], 0);

    QLineEdit* red = Find<QLineEdit>("deng_edit_R");
    red->clear();
    QTest::keyClicks(red, "200");
    LeaveEdit(red);
    EXPECT_EQ(Record(*m_sim)[kRed], 200);
    EXPECT_EQ(m_page->panel->GetPaletteColor() >> 16 & 0xFF, 200u);

    Find<QCheckBox>("deng_7color_check")->click();
    EXPECT_EQ(Record(*m_sim)[kMulti], 1);
    Find<QCheckBox>("deng_7color_check")->click();
    EXPECT_EQ(Record(*m_sim)[kMulti], 0);

    // Each of these was one transfer of the record: begin, parameters, end.
    EXPECT_EQ(Writes(*m_sim), 7);
}

TEST_F(LightPanelTest, DirectionIsOneWritePerChoice) {
    Prepare([](LightState& s) {
        s.mode = 1;
        s.direction = 1;
    });
    Find<QRadioButton>("deng_FXR_check")->click();
    EXPECT_EQ(Record(*m_sim)[kDir], 0);
    EXPECT_EQ(m_kbd->GetLightSettings().direction, 0);
    EXPECT_EQ(Writes(*m_sim), 1); // the option that lost its selection is no edit
    Find<QRadioButton>("deng_FXL_check")->click();
    EXPECT_EQ(Record(*m_sim)[kDir], 1);
    EXPECT_EQ(Writes(*m_sim), 2);
}

TEST_F(LightPanelTest, EditBoxesKeepTheirNumbersInRange) {
    QLineEdit* green = Find<QLineEdit>("deng_edit_G");
    green->clear();
    QTest::keyClicks(green, "300");
    LeaveEdit(green);
    EXPECT_EQ(green->text(), QStringLiteral("255"));
    EXPECT_EQ(m_kbd->GetLightSettings().green, 255);
    EXPECT_EQ(Record(*m_sim)[kGreen], 255);

    green->clear();
    LeaveEdit(green);
    EXPECT_EQ(green->text(), QStringLiteral("0"));
    EXPECT_EQ(m_kbd->GetLightSettings().green, 0);
    EXPECT_EQ(Record(*m_sim)[kGreen], 0);

    QLineEdit* blue = Find<QLineEdit>("deng_edit_B");
    blue->setText(QStringLiteral("-7"));
    LeaveEdit(blue);
    EXPECT_EQ(blue->text(), QStringLiteral("0"));
    EXPECT_EQ(Record(*m_sim)[kBlue], 0);
    blue->setText(QStringLiteral("x1"));
    LeaveEdit(blue);
    EXPECT_EQ(blue->text(), QStringLiteral("0"));
    blue->setText(QStringLiteral("128"));
    LeaveEdit(blue);
    EXPECT_EQ(blue->text(), QStringLiteral("128"));
    EXPECT_EQ(Record(*m_sim)[kBlue], 128);
}

TEST(LightRoutesValue, EditTextReadsAsANumberInRange) {
    bool rewrite = false;
    EXPECT_EQ(LightRoutes::EditValue(QStringLiteral("255"), rewrite), 255);
    EXPECT_FALSE(rewrite);
    EXPECT_EQ(LightRoutes::EditValue(QStringLiteral("256"), rewrite), 255);
    EXPECT_TRUE(rewrite);
    EXPECT_EQ(LightRoutes::EditValue(QStringLiteral("99999999999999999999"), rewrite), 255);
    EXPECT_EQ(LightRoutes::EditValue(QStringLiteral(""), rewrite), 0);
    EXPECT_TRUE(rewrite);
    EXPECT_EQ(LightRoutes::EditValue(QStringLiteral("0"), rewrite), 0);
    EXPECT_FALSE(rewrite);
    EXPECT_EQ(LightRoutes::EditValue(QStringLiteral("012"), rewrite), 12);
    EXPECT_TRUE(rewrite);
    EXPECT_EQ(LightRoutes::EditValue(QStringLiteral("4a"), rewrite), 4);
    EXPECT_EQ(LightRoutes::EditValue(QStringLiteral("-3"), rewrite), 0);
}

TEST_F(LightPanelTest, PalettePickEndsMultiColour) {
    m_page->host.show();
    Prepare([](LightState& s) {
        s.mode = 5;
        s.multiColor = 1;
    });
    ASSERT_TRUE(m_page->panel->IsMultiColor());
    m_kbd->Link().SetBackgroundPause(true);
    PickPalette(Find<CColorPaletteUI>("deng_Color_Pallet"), QPoint(1, 1)); // the red corner
    EXPECT_FALSE(m_page->panel->IsMultiColor());
    EXPECT_EQ(m_kbd->GetLightSettings().multiColor, 0);
    const std::vector<uint8_t> r = Record(*m_sim);
    EXPECT_EQ(r[kMulti], 0);
    EXPECT_EQ(r[kRed], 255);
    EXPECT_EQ(r[kGreen], 0);
    EXPECT_EQ(r[kBlue], 0);
    EXPECT_EQ(m_page->panel->GetRedText(), QStringLiteral("255"));
    EXPECT_EQ(m_page->panel->GetGreenText(), QStringLiteral("0"));
    EXPECT_EQ(Find<QWidget>("deng_colordp_btn")->property("bkcolor").toString(), QStringLiteral("#ff0000"));
    EXPECT_FALSE(m_kbd->Link().BackgroundPause()); // a palette pick ends a synchronisation
    // The check the edit cleared does not come back as a second write.
    EXPECT_EQ(Writes(*m_sim), 1);
}

TEST_F(LightPanelTest, SwatchKeepsARunningSynchronisation) {
    Prepare([](LightState& s) {
        s.mode = 5;
        s.multiColor = 1;
    });
    m_kbd->Link().SetBackgroundPause(true);
    Find<QPushButton>("color_option_3")->click();
    const uint32_t swatch = m_page->panel->GetPresetColor(3);
    const LightState s = m_kbd->GetLightSettings();
    EXPECT_EQ(s.red, swatch >> 16 & 0xFF);
    EXPECT_EQ(s.green, swatch >> 8 & 0xFF);
    EXPECT_EQ(s.blue, swatch & 0xFF);
    EXPECT_EQ(s.multiColor, 0);
    EXPECT_EQ(Record(*m_sim)[kGreen], swatch >> 8 & 0xFF);
    EXPECT_TRUE(m_kbd->Link().BackgroundPause());
    EXPECT_FALSE(m_page->panel->IsMultiColor());
    EXPECT_EQ(m_page->panel->GetPaletteColor(), swatch);
    EXPECT_EQ(m_page->panel->GetGreenText(), QString::number(swatch >> 8 & 0xFF));
    EXPECT_EQ(Writes(*m_sim), 1);

    // Any normal edit ends it.
    Find<QSlider>("deng_light_slider")->setValue(1);
    EXPECT_FALSE(m_kbd->Link().BackgroundPause());
}

TEST_F(LightPanelTest, SecondaryModeKeepsASynchronisation) {
    Prepare([](LightState& s) { s.mode = 17; });
    m_kbd->Link().SetBackgroundPause(true);
    PickItem(Find<QComboBox>("light_combo_ZZCCmodeSelect"), 2);
    EXPECT_EQ(m_kbd->GetLightSettings().secondaryMode, 2);
    EXPECT_EQ(Record(*m_sim)[kSecondary], 2);
    EXPECT_TRUE(m_kbd->Link().BackgroundPause());
}

TEST_F(LightPanelTest, CustomColourActions) {
    Prepare([](LightState& s) {
        s.mode = kCustomLightMode;
        s.red = 0x10;
        s.green = 0x20;
        s.blue = 0x30;
    });
    PickItem(Find<QComboBox>("light_combo_custommodeSelect"), 2);
    EXPECT_EQ(m_kbd->Profile().GetCustomGroup(), 2);
    EXPECT_EQ(m_kbd->PanelCustomGroup(), 2);
    int pages = 0;
    for (const SimFrameRecord& f : m_sim->FrameLog())
        pages += f.command == 11 ? 1 : 0;
    EXPECT_GT(pages, 0); // entering the group sends its colours

    Find<QPushButton>("custom_bright_color_btn")->click();
    EXPECT_EQ(m_kbd->KeyColours().at(0), (KeyColour{0x10, 0x20, 0x30, m_kbd->KeyColours().at(0).alpha}));
    Find<QPushButton>("custom_off_color_btn")->click();
    for (const KeyColour& c : m_kbd->KeyColours())
        ASSERT_EQ(c.red | c.green | c.blue, 0);
}

TEST_F(LightPanelTest, NothingHappensWithoutADevice) {
    m_current = nullptr;
    Find<QSlider>("deng_light_slider")->setValue(3);
    Find<QPushButton>("color_option_1")->click();
    Find<QPushButton>("deng_same_mode")->click();
    Find<QPushButton>("custom_bright_color_btn")->click();
    EXPECT_EQ(Writes(*m_sim), 0);
    EXPECT_TRUE(m_stored.empty());
}

TEST_F(LightPanelTest, AnotherPagesPanelEditsNothingHere) {
    AddSecondKeyboard();
    const LightState before = m_kbd->GetLightSettings();
    m_otherPage->panel->SetMultiColor(!before.multiColor);
    EXPECT_EQ(m_page->host.Count(QStringLiteral("selectchanged"), QStringLiteral("deng_7color_check")), 1);
    EXPECT_EQ(m_kbd->GetLightSettings(), before);
    EXPECT_EQ(Writes(*m_sim), 0);
}

TEST_F(LightPanelTest, CopyOutsideTheCommonEffectsDoesNothing) {
    AddSecondKeyboard();
    Prepare([](LightState& s) { s.mode = 11; });
    m_page->panel->SetSameModeAvailable(true);
    Find<QPushButton>("deng_same_mode")->click();
    EXPECT_TRUE(m_stored.empty());
    EXPECT_FALSE(m_kbd->Link().BackgroundPause());
    EXPECT_FALSE(m_other->Link().BackgroundPause());
    EXPECT_EQ(Writes(*m_sim), 0);
    EXPECT_EQ(Writes(*m_otherSim), 0);
}

TEST_F(LightPanelTest, CopyGivesEveryOpenDeviceTheEffect) {
    AddSecondKeyboard();
    Prepare([](LightState& s) {
        s.mode = 24;
        s.brightness = 3;
        s.speed = 2;
        s.direction = 1;
        s.multiColor = 1;
        s.red = 0x11;
        s.green = 0x22;
        s.blue = 0x33;
    });
    // A third device whose link is closed is passed over.
    CKeyboardDevice closed;
    m_targets.push_back({&closed, nullptr});
    m_otherPage->panel->SetMultiColor(false);
    m_page->host.notes.clear();
    m_page->panel->SetSameModeAvailable(true);
    ASSERT_FALSE(Find<QWidget>("deng_same_mode")->isHidden());
    Find<QPushButton>("deng_same_mode")->click();

    ASSERT_EQ(m_stored.size(), 1u);
    const light::CommonEffectSettings& c = m_stored[0];
    EXPECT_EQ(c.effect, 2);
    EXPECT_EQ(c.brightness, 3);
    EXPECT_EQ(c.speed, 2);
    EXPECT_EQ(c.direction, 1);
    EXPECT_EQ(c.multiColor, 1);
    EXPECT_EQ(c.red, 0x11);
    EXPECT_EQ(c.green, 0x22);
    EXPECT_EQ(c.blue, 0x33);

    for (CKeyboardDevice* kbd : {m_kbd.get(), m_other.get()}) {
        EXPECT_TRUE(kbd->Link().BackgroundPause());
        const LightState s = kbd->GetLightSettings();
        EXPECT_EQ(s.mode, 24);
        EXPECT_EQ(s.brightness, 3);
        EXPECT_EQ(s.speed, 2);
        EXPECT_EQ(s.green, 0x22);
        EXPECT_EQ(kbd->Profile().GetLightInfo().mode, 24);
    }
    EXPECT_FALSE(closed.Link().BackgroundPause());
    // Each open keyboard got its record once; the record carries brightness, speed and colour.
    EXPECT_EQ(Writes(*m_sim), 1);
    EXPECT_EQ(Writes(*m_otherSim), 1);
    const std::vector<uint8_t> r = Record(*m_otherSim);
    EXPECT_EQ(r[kBright], 3);
    EXPECT_EQ(r[kSpeed], 2);
    EXPECT_EQ(r[kRed], 0x11);
    EXPECT_EQ(r[kBlue], 0x33);
    // The other page's panel shows it; its multi-colour check changing there (a notification in
    // this window) ended nothing and wrote nothing more.
    EXPECT_GE(m_page->host.Count(QStringLiteral("selectchanged"), QStringLiteral("deng_7color_check")), 1);
    EXPECT_EQ(m_otherPage->panel->GetMode(), 24);
    EXPECT_TRUE(m_otherPage->panel->IsMultiColor());
    EXPECT_EQ(m_otherPage->panel->GetBrightness(), 3);
}

} // namespace
} // namespace nk7x::test
