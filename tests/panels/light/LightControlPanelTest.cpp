// The lighting panel on its own: what its layout holds, what it shows, what it re-lays out per
// mode and style, and which of its operations speak up.
#include "LightPanelTestSupport.h"

#include "ui/LanguageTexts.h"

#include <QCheckBox>
#include <QListView>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>

namespace nk7x::test {
namespace {

void Click(QWidget* w, QPoint p) {
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(p), w->mapToGlobal(QPointF(p)), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(p), w->mapToGlobal(QPointF(p)), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(w, &release);
}

TEST(LightControlPanel, TheLayoutHoldsEveryControl) {
    PanelHost p(DeviceKind::Keyboard);
    ASSERT_TRUE(p.loaded);
    for (const char* name :
         {"light_combo_modeSelect", "light_combo_ZZCCmodeSelect", "light_combo_custommodeSelect"})
        EXPECT_TRUE(p.Find<QComboBox>(name)) << name;
    for (const char* name : {"deng_light_slider", "deng_speed_slider"})
        EXPECT_TRUE(p.Find<QSlider>(name)) << name;
    for (const char* name : {"deng_edit_R", "deng_edit_G", "deng_edit_B"})
        EXPECT_TRUE(p.Find<QLineEdit>(name)) << name;
    EXPECT_TRUE(p.Find<CColorPaletteUI>("deng_Color_Pallet"));
    EXPECT_TRUE(p.Find<QCheckBox>("deng_7color_check"));
    EXPECT_TRUE(p.Find<QRadioButton>("deng_FXL_check"));
    EXPECT_TRUE(p.Find<QRadioButton>("deng_FXR_check"));
    for (const char* name :
         {"deng_colordp_btn", "custom_bright_color_btn", "custom_off_color_btn", "deng_same_mode"})
        EXPECT_TRUE(p.Find<QPushButton>(name)) << name;
    for (int n = 0; n < 8; ++n)
        EXPECT_TRUE(p.Find<QPushButton>(QStringLiteral("color_option_%1").arg(n).toLatin1().constData()))
            << n;
    for (const char* name :
         {"lighteffect_layout", "deng_color_layout", "colorpallet_layout", "deng_light_layout",
          "deng_speed_layout", "deng_fx_layout", "deng_RGB_edit", "deng_color_select", "deng_color_select1",
          "lightcustom_layout", "light_combo_ZZCCmodeSelectLayout"})
        EXPECT_TRUE(p.Group(name)) << name;
    EXPECT_EQ(p.Find<QComboBox>("light_combo_custommodeSelect")->count(), 5);
    EXPECT_EQ(p.Find<QComboBox>("light_combo_ZZCCmodeSelect")->count(), 4);
}

TEST(LightControlPanel, ModesComeFromTheNameListWithTheirVisibility) {
    PanelHost p(DeviceKind::Keyboard);
    QComboBox* modes = p.Find<QComboBox>("light_combo_modeSelect");
    ASSERT_TRUE(modes);
    ASSERT_EQ(modes->count(), 30);
    auto* view = qobject_cast<QListView*>(modes->view());
    ASSERT_TRUE(view);
    EXPECT_TRUE(view->isRowHidden(0)); // the user effect entries are not offered
    EXPECT_TRUE(view->isRowHidden(20));
    EXPECT_FALSE(view->isRowHidden(19));
    EXPECT_EQ(modes->itemData(1).toString(), QStringLiteral("light_mode_wave"));
    EXPECT_EQ(modes->itemData(1, Qt::SizeHintRole).toSize().height(), 30);
    // Without texts the keys stand; with them the translation.
    EXPECT_EQ(modes->itemText(19), QStringLiteral("light_mode_custom"));
    LanguageTexts en;
    ASSERT_TRUE(en.LoadFile(QStringLiteral(NK7X_SOURCE_DIR "/skin/lang/lan_en.json")));
    p.panel->SetLanguageTexts(&en);
    EXPECT_EQ(modes->itemText(19), QStringLiteral("Custom"));
    EXPECT_EQ(p.Find<QComboBox>("light_combo_ZZCCmodeSelect")->itemText(2), QStringLiteral("Green"));
    LanguageTexts zh;
    ASSERT_TRUE(zh.LoadFile(QStringLiteral(NK7X_SOURCE_DIR "/skin/lang/lan_zh.json")));
    p.panel->SetLanguageTexts(&zh);
    EXPECT_NE(modes->itemText(19), QStringLiteral("Custom"));
    EXPECT_EQ(p.Find<QComboBox>("light_combo_ZZCCmodeSelect")->itemData(2, Qt::UserRole + 1).toString(),
              QStringLiteral("light_zzcc_mode_2"));
    // Refilling replaces the list and sets the slider ranges without a notification.
    p.panel->SetBrightness(4);
    p.panel->FillModes(std::vector<std::string>{"light_mode_static", "light_mode_off"}, {true, false}, 2, 3);
    EXPECT_EQ(modes->count(), 2);
    EXPECT_TRUE(view->isRowHidden(1));
    EXPECT_EQ(p.Find<QSlider>("deng_light_slider")->maximum(), 2);
    EXPECT_EQ(p.Find<QSlider>("deng_speed_slider")->maximum(), 3);
    EXPECT_EQ(p.panel->GetBrightness(), 2);
    EXPECT_TRUE(p.host.notes.empty());
}

TEST(LightControlPanel, ShowingSettingsFillsEveryControlQuietly) {
    PanelHost p(DeviceKind::Keyboard);
    LightState s;
    s.mode = 24;
    s.brightness = 3;
    s.speed = 1;
    s.direction = 1;
    s.red = 0x12;
    s.green = 0xA0;
    s.blue = 0xFF;
    s.secondaryMode = 2;
    p.panel->ShowLightSettings(s);
    EXPECT_EQ(p.panel->GetMode(), 24);
    EXPECT_EQ(p.panel->GetBrightness(), 3);
    EXPECT_EQ(p.panel->GetSpeed(), 1);
    EXPECT_EQ(p.panel->GetRedText(), QStringLiteral("18"));
    EXPECT_EQ(p.panel->GetGreenText(), QStringLiteral("160"));
    EXPECT_EQ(p.panel->GetBlueText(), QStringLiteral("255"));
    EXPECT_EQ(p.panel->GetPaletteColor(), 0xFF12A0FFu);
    EXPECT_EQ(p.Find<QWidget>("deng_colordp_btn")->property("bkcolor").toString(), QStringLiteral("#12a0ff"));
    EXPECT_EQ(p.panel->GetSecondaryMode(), 2);
    EXPECT_TRUE(p.Find<QRadioButton>("deng_FXL_check")->isChecked());
    EXPECT_FALSE(p.panel->IsMultiColor());
    EXPECT_TRUE(p.host.notes.empty()) << p.host.notes.front().type.toStdString();

    s.direction = 0;
    p.panel->ShowLightSettings(s);
    EXPECT_TRUE(p.Find<QRadioButton>("deng_FXR_check")->isChecked());
    EXPECT_FALSE(p.Find<QRadioButton>("deng_FXL_check")->isChecked());
    EXPECT_TRUE(p.host.notes.empty());

    // The multi-colour check speaks as a click does, once per change.
    s.multiColor = 1;
    p.panel->ShowLightSettings(s);
    EXPECT_TRUE(p.panel->IsMultiColor());
    EXPECT_EQ(p.host.Count(QStringLiteral("selectchanged"), QStringLiteral("deng_7color_check")), 1);
    p.panel->SetMultiColor(true);
    EXPECT_EQ(p.host.Count(QStringLiteral("selectchanged"), QStringLiteral("deng_7color_check")), 1);
    p.panel->SetMultiColor(false);
    EXPECT_EQ(p.host.Count(QStringLiteral("selectchanged"), QStringLiteral("deng_7color_check")), 2);
    EXPECT_EQ(p.host.notes.back().wParam, 0);
}

TEST(LightControlPanel, RgbEditsStayAsTheLastModeThatTouchedThemLeftThem) {
    PanelHost p(DeviceKind::Keyboard);
    QWidget* rgb = p.Group("deng_RGB_edit");
    p.panel->SelectMode(11);
    EXPECT_FALSE(rgb->isEnabled());
    p.panel->SelectMode(21);
    EXPECT_FALSE(rgb->isEnabled());
    EXPECT_TRUE(p.Group("deng_color_select")->isEnabled());
    EXPECT_TRUE(p.Group("deng_color_select1")->isEnabled());
    p.panel->SelectMode(1);
    EXPECT_TRUE(rgb->isEnabled());
    p.panel->SelectMode(21);
    EXPECT_TRUE(rgb->isEnabled());
    EXPECT_TRUE(p.Group("lighteffect_layout")->isEnabled());
}

TEST(LightControlPanel, DirectionCaptionsFollowTheMode) {
    PanelHost p(DeviceKind::Keyboard);
    LanguageTexts en;
    ASSERT_TRUE(en.LoadFile(QStringLiteral(NK7X_SOURCE_DIR "/skin/lang/lan_en.json")));
    p.panel->SetLanguageTexts(&en);
    auto* left = p.Find<QRadioButton>("deng_FXL_check");
    auto* right = p.Find<QRadioButton>("deng_FXR_check");
    p.panel->SelectMode(12);
    EXPECT_EQ(left->property("textKey").toString(), QStringLiteral("light_set_down_to_up_text"));
    EXPECT_EQ(right->property("textKey").toString(), QStringLiteral("light_set_up_to_down_text"));
    EXPECT_EQ(left->text(), QStringLiteral("Bottom to top"));
    EXPECT_TRUE(p.Group("deng_fx_layout")->isEnabled());
    p.panel->SelectMode(18);
    EXPECT_EQ(left->property("textKey").toString(), QStringLiteral("light_set_outside_to_inside_text"));
    EXPECT_EQ(right->text(), QStringLiteral("Inside out"));
    // Mode 11 switches the direction off; the next re-layout starts with it on again.
    p.panel->SelectMode(11);
    EXPECT_FALSE(p.Group("deng_fx_layout")->isEnabled());
    EXPECT_EQ(left->property("textKey").toString(), QStringLiteral("light_set_right_to_left_text"));
    EXPECT_EQ(right->text(), QStringLiteral("Left to right"));
    p.panel->SelectMode(1);
    EXPECT_TRUE(p.Group("deng_fx_layout")->isEnabled());
}

TEST(LightControlPanel, KeyboardOnlyGroupsAndTheCopyButton) {
    PanelHost p(DeviceKind::Keyboard);
    QWidget* same = p.Find<QWidget>("deng_same_mode");
    QWidget* custom = p.Group("lightcustom_layout");
    QWidget* secondary = p.Group("light_combo_ZZCCmodeSelectLayout");
    QWidget* speed = p.Group("deng_speed_layout");
    p.panel->SelectMode(24);
    EXPECT_TRUE(same->isHidden()); // not available with one device
    p.panel->SetSameModeAvailable(true);
    EXPECT_FALSE(same->isHidden());
    p.panel->SelectMode(11);
    EXPECT_TRUE(same->isHidden());
    p.panel->SelectMode(17);
    EXPECT_FALSE(secondary->isHidden());
    EXPECT_TRUE(custom->isHidden());
    EXPECT_TRUE(speed->isHidden());
    p.panel->SelectMode(19);
    EXPECT_TRUE(secondary->isHidden());
    EXPECT_FALSE(custom->isHidden());
    EXPECT_FALSE(p.Group("deng_RGB_edit")->isEnabled());
    EXPECT_TRUE(p.Group("colorpallet_layout")->isEnabled());
    p.panel->SelectMode(23); // no row: speed hidden and off, brightness off
    EXPECT_TRUE(speed->isHidden());
    EXPECT_FALSE(speed->isEnabled());
    EXPECT_FALSE(p.Group("deng_light_layout")->isEnabled());
    p.panel->SelectMode(5);
    EXPECT_FALSE(speed->isHidden());
    EXPECT_TRUE(speed->isEnabled());
    EXPECT_FALSE(same->isHidden());
    p.panel->SetSameModeAvailable(false);
    EXPECT_TRUE(same->isHidden());
}

TEST(LightControlPanel, MouseSpeedIsDisabledNotHidden) {
    PanelHost p(DeviceKind::Mouse);
    QWidget* speed = p.Group("deng_speed_layout");
    p.panel->SelectMode(3);
    EXPECT_FALSE(speed->isHidden());
    EXPECT_FALSE(speed->isEnabled());
    EXPECT_TRUE(p.Group("deng_color_layout")->isEnabled());
    EXPECT_FALSE(p.Find<QWidget>("deng_7color_check")->isEnabled());
    p.panel->SelectMode(0);
    EXPECT_TRUE(speed->isEnabled());
    EXPECT_TRUE(p.Group("deng_fx_layout")->isEnabled());
    // The keyboard's own groups are not the mouse's business.
    EXPECT_FALSE(p.Group("lightcustom_layout")->isHidden());
    p.panel->SetSameModeAvailable(true);
    p.panel->SelectMode(8);
    EXPECT_FALSE(p.Find<QWidget>("deng_same_mode")->isHidden());
    EXPECT_FALSE(speed->isEnabled());
    EXPECT_FALSE(p.Group("deng_light_layout")->isEnabled());
}

TEST(LightControlPanel, ThePaletteSpeaksOnlyForTheUser) {
    PanelHost p(DeviceKind::Keyboard);
    p.host.show();
    auto* palette = p.Find<CColorPaletteUI>("deng_Color_Pallet");
    ASSERT_TRUE(palette);
    ASSERT_GT(palette->width(), 40);
    p.panel->SetPaletteColor(0xFF00FF00u);
    EXPECT_TRUE(p.host.notes.empty());
    EXPECT_EQ(palette->GetSelectColor(), 0xFF00FF00u);

    // The top-left corner is pure red; a drag reports once, where it ends.
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(2, 2), palette->mapToGlobal(QPointF(2, 2)),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(palette, &press);
    QMouseEvent move(QEvent::MouseMove, QPointF(30, 5), palette->mapToGlobal(QPointF(30, 5)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(palette, &move);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(1, 1), palette->mapToGlobal(QPointF(1, 1)),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(palette, &release);
    ASSERT_EQ(p.host.Count(QStringLiteral("colorchanged"), QStringLiteral("deng_Color_Pallet")), 1);
    EXPECT_EQ(static_cast<uint32_t>(p.host.notes.back().wParam), 0xFFFF0000u);
    EXPECT_EQ(p.panel->GetPaletteColor(), 0xFFFF0000u);

    // The bottom row is white; the middle of the top row a saturated colour.
    Click(palette, QPoint(palette->width() / 2, palette->height() - 1));
    EXPECT_EQ(static_cast<uint32_t>(p.host.notes.back().wParam), 0xFFFFFFFFu);
    Click(palette, QPoint(palette->width() / 2, 1));
    const uint32_t mid = static_cast<uint32_t>(p.host.notes.back().wParam);
    EXPECT_EQ(mid >> 24, 0xFFu);
    EXPECT_LT(std::min({(mid >> 16) & 0xFF, (mid >> 8) & 0xFF, mid & 0xFF}), 8u);
    EXPECT_EQ(p.host.Count(QStringLiteral("colorchanged"), QStringLiteral("deng_Color_Pallet")), 3);
}

TEST(LightControlPanel, LittleRoomScrollsInsteadOfSqueezing) {
    PanelHost p(DeviceKind::Keyboard);
    p.panel->SelectMode(1);
    p.host.resize(900, 220); // a page that gives the panel a strip below the picture
    p.host.show();
    QApplication::processEvents();
    EXPECT_GE(p.Find<QComboBox>("light_combo_modeSelect")->height(), 30);
    EXPECT_GE(p.Find<CColorPaletteUI>("deng_Color_Pallet")->height(), 100);
    auto* scroll = p.Find<QScrollArea>("light_scroll");
    ASSERT_TRUE(scroll);
    EXPECT_TRUE(scroll->verticalScrollBar()->isVisible());
    EXPECT_GT(scroll->verticalScrollBar()->maximum(), 0);
}

TEST(LightControlPanel, WideRoomPutsTheColoursBesideTheModes) {
    PanelHost p(DeviceKind::Keyboard);
    p.panel->SelectMode(1);
    QWidget* left = p.Group("light_column_left");
    QWidget* right = p.Group("light_column_right");
    ASSERT_TRUE(left && right);
    p.host.resize(900, 600);
    p.host.show();
    QApplication::processEvents();
    EXPECT_GT(right->x(), left->x() + left->width() - 1);
    EXPECT_EQ(right->y(), left->y());
    p.host.resize(300, 600);
    QApplication::processEvents();
    EXPECT_EQ(right->x(), left->x());
    EXPECT_GE(right->y(), left->y() + left->height());
}

TEST(LightControlPanel, AWideShortPanelTakesAThirdColumnAndScrollsNoMore) {
    PanelHost p(DeviceKind::Keyboard);
    p.panel->SelectMode(19); // the keyboard's custom colours: every control of the right column shows
    QWidget* field = p.Group("deng_Color_Pallet");
    QWidget* values = p.Group("deng_RGB_edit");
    QWidget* custom = p.Group("lightcustom_layout");
    ASSERT_TRUE(field && values && custom);
    auto place = [&](QWidget* w) { return QRect(w->mapTo(&p.host, QPoint(0, 0)), w->size()); };
    // The strip the keyboard page gives the panel at the window's base size.
    p.host.resize(880, 196);
    p.host.show();
    QApplication::processEvents();
    QApplication::processEvents();
    EXPECT_GE(place(values).left(), place(field).right()) << "the values stand beside the colour field";
    EXPECT_GE(place(custom).left(), place(field).right());
    EXPECT_TRUE(values->isVisible());
    EXPECT_TRUE(custom->isVisible());
    auto* scroll = p.Find<QScrollArea>("light_scroll");
    ASSERT_TRUE(scroll);
    EXPECT_EQ(scroll->verticalScrollBar()->maximum(), 0) << "everything fits without scrolling";

    // Narrower, they go back under the field, in their order; what the mode hid stays hidden.
    p.panel->SelectMode(1);
    EXPECT_TRUE(custom->isHidden());
    p.host.resize(640, 400);
    QApplication::processEvents();
    QApplication::processEvents();
    EXPECT_GE(place(values).top(), place(field).bottom());
    EXPECT_LT(std::abs(place(values).left() - place(field).left()), 4);
    EXPECT_TRUE(custom->isHidden());
    EXPECT_TRUE(values->isVisible());
    p.host.resize(880, 196);
    QApplication::processEvents();
    EXPECT_TRUE(custom->isHidden());
    p.panel->SelectMode(19);
    QApplication::processEvents();
    EXPECT_TRUE(custom->isVisible());
    EXPECT_GE(place(custom).left(), place(field).right());
}

TEST(LightControlPanel, SwatchesStandForTheirBackground) {
    PanelHost p(DeviceKind::Keyboard);
    EXPECT_EQ(p.panel->GetPresetColor(0), 0xFFFF0000u);
    EXPECT_EQ(p.panel->GetPresetColor(7), 0xFFFFFFFFu);
    EXPECT_EQ(p.panel->GetPresetColor(8), 0u);
    EXPECT_EQ(p.panel->GetPresetColor(-1), 0u);
}

TEST(LightControlPanel, WithoutItsControlsThePanelAnswersDefaults) {
    HostWindow host;
    CLightControlUI panel(&host);
    LightState s;
    s.mode = 5;
    s.multiColor = 1;
    panel.ShowLightSettings(s);
    panel.SetSameModeAvailable(true);
    panel.FillModes(std::vector<std::string>{"light_mode_static"}, {true}, 4, 4);
    panel.SetDirection(true);
    EXPECT_EQ(panel.GetMode(), -1);
    EXPECT_EQ(panel.GetBrightness(), 0);
    EXPECT_EQ(panel.GetSpeed(), 0);
    EXPECT_TRUE(panel.GetRedText().isEmpty());
    EXPECT_EQ(panel.GetSecondaryMode(), -1);
    EXPECT_EQ(panel.GetCustomGroupItem(), -1);
    EXPECT_EQ(panel.GetPaletteColor(), 0xFF000000u);
    EXPECT_EQ(panel.GetPresetColor(0), 0u);
    EXPECT_FALSE(panel.IsMultiColor());
    EXPECT_TRUE(host.notes.empty());
}

} // namespace
} // namespace nk7x::test
