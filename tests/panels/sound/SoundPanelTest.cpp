// The two sound panels as the headset page fills them: what each operation shows, what an
// out-of-range value leaves, that nothing the program shows raises a notification, curve names
// shown exactly as stored, and panels whose layout lacks controls.
#include "SoundPanelSupport.h"

#include <QTemporaryDir>

#include <fstream>

namespace nk7x::test {
namespace {

TEST_F(SoundPanelTest, MagicTypeShowsOneVoiceOrNone) {
    Magic().ShowMagicType(3);
    EXPECT_EQ(Magic().MagicType(), 3);
    EXPECT_EQ(Checked(&Magic(), "magic_option_", 1, 4), std::vector<int>{3});
    Magic().ShowMagicType(1);
    EXPECT_EQ(Checked(&Magic(), "magic_option_", 1, 4), std::vector<int>{1});
    // Out of range clears all four, even though the options are exclusive.
    for (int outside : {0, 5, -1}) {
        Magic().ShowMagicType(2);
        Magic().ShowMagicType(outside);
        EXPECT_EQ(Magic().MagicType(), 0) << outside;
        EXPECT_TRUE(Checked(&Magic(), "magic_option_", 1, 4).empty()) << outside;
    }
    // The options stay exclusive for the user afterwards.
    ASSERT_TRUE(Window().ClickMagic("magic_option_2"));
    ASSERT_TRUE(Window().ClickMagic("magic_option_4"));
    EXPECT_EQ(Checked(&Magic(), "magic_option_", 1, 4), std::vector<int>{4});
}

TEST_F(SoundPanelTest, MagicSwitchEnablesTheChoices) {
    auto* choices = Window().Magic("magic_option_layout");
    ASSERT_NE(choices, nullptr);
    Magic().ShowMagicEnabled(true);
    EXPECT_TRUE(Magic().IsMagicEnabled());
    EXPECT_TRUE(choices->isEnabled());
    Magic().ShowMagicEnabled(false);
    EXPECT_FALSE(Magic().IsMagicEnabled());
    EXPECT_FALSE(Window().Magic<QAbstractButton>("magic_enable_option")->isChecked());
    EXPECT_FALSE(choices->isEnabled());
    // The choices alone: the switch stays as it was.
    Magic().EnableMagicChoices(true);
    EXPECT_TRUE(choices->isEnabled());
    EXPECT_FALSE(Magic().IsMagicEnabled());
}

TEST_F(SoundPanelTest, EqTypeShowsOneTypeOrNone) {
    Voice().ShowEqType(13);
    EXPECT_EQ(Voice().EqType(), 13);
    EXPECT_EQ(Checked(&Voice(), "6533_eq_option_", 1, 13), std::vector<int>{13});
    Voice().ShowEqType(5);
    EXPECT_EQ(Checked(&Voice(), "6533_eq_option_", 1, 13), std::vector<int>{5});
    for (int outside : {14, 0, -2}) {
        Voice().ShowEqType(7);
        Voice().ShowEqType(outside);
        EXPECT_EQ(Voice().EqType(), 0) << outside;
        EXPECT_TRUE(Checked(&Voice(), "6533_eq_option_", 1, 13).empty()) << outside;
    }
}

TEST_F(SoundPanelTest, CustomCurveControlsFollowTheCustomMode) {
    auto* custom = Window().Voice("custom_eq_option_layout");
    ASSERT_NE(custom, nullptr);
    Voice().SetCustomEqMode(false);
    EXPECT_FALSE(custom->isEnabled());
    EXPECT_FALSE(Window().Voice("custom_eq_name_combo")->isEnabled());
    Voice().SetCustomEqMode(true);
    EXPECT_TRUE(custom->isEnabled());
}

TEST_F(SoundPanelTest, BandsAndVolumesAreShownWithinTheirRanges) {
    for (int b = 0; b < CVoice6533ControlUI::kBandCount; ++b)
        Voice().SetBandValue(b, b - 5);
    for (int b = 0; b < CVoice6533ControlUI::kBandCount; ++b)
        EXPECT_EQ(Voice().GetBandValue(b), b - 5) << b;
    Voice().SetBandValue(0, 99);
    Voice().SetBandValue(1, -99);
    EXPECT_EQ(Voice().GetBandValue(0), 20);
    EXPECT_EQ(Voice().GetBandValue(1), -20);
    // Bands that do not exist are left alone and read as missing.
    Voice().SetBandValue(10, 3);
    Voice().SetBandValue(-1, 3);
    EXPECT_EQ(Voice().GetBandValue(10), -1);
    EXPECT_FALSE(Voice().HasBand(10));
    EXPECT_TRUE(Voice().HasBand(9));

    Voice().SetMicSlider(72);
    Voice().SetMonitorSlider(140);
    EXPECT_EQ(Voice().GetMicSlider(), 72);
    EXPECT_EQ(Voice().GetMonitorSlider(), 100);
    EXPECT_EQ(Window().Voice<QLabel>("6533_MicIn_value")->text(), QStringLiteral("72%"));
    EXPECT_EQ(Window().Voice<QLabel>("6533_MicMoniter_value")->text(), QStringLiteral("100%"));
    Voice().SetMicSlider(-4);
    EXPECT_EQ(Voice().GetMicSlider(), 0);

    Voice().ShowMicOn(true);
    Voice().ShowMonitorOn(false);
    EXPECT_TRUE(Voice().IsMicOn());
    EXPECT_FALSE(Voice().IsMonitorOn());
    EXPECT_TRUE(Window().Voice<QAbstractButton>("6533_MicIn_option")->isChecked());
    EXPECT_FALSE(Window().Voice<QAbstractButton>("6533_MicMoniter_option")->isChecked());
    // A muted channel's slider is marked for its dimmed look.
    EXPECT_TRUE(Window().Voice("6533_MicMoniter_slider")->property("muted").toBool());
    EXPECT_FALSE(Window().Voice("6533_MicIn_slider")->property("muted").toBool());
}

// The slider caption follows the handle while the user drags, before anything is sent.
TEST_F(SoundPanelTest, VolumeCaptionFollowsTheHandle) {
    auto* s = Window().Voice<QAbstractSlider>("6533_MicIn_slider");
    Voice().SetMicSlider(10);
    s->setSliderDown(true);
    s->setSliderPosition(35);
    EXPECT_EQ(Window().Voice<QLabel>("6533_MicIn_value")->text(), QStringLiteral("35%"));
    s->setSliderDown(false);
}

TEST_F(SoundPanelTest, FillingThePanelsRaisesNoNotification) {
    Magic().ShowMagicEnabled(true);
    Magic().ShowMagicType(2);
    Magic().ShowMagicEnabled(false);
    Magic().EnableMagicChoices(true);
    Magic().SetFeatureSupport(AllFeatures(true));
    Voice().SetFeatureSupport(AllFeatures(true));
    Voice().ShowEqType(4);
    Voice().ShowEqType(13);
    Voice().SetCustomEqMode(true);
    for (int b = 0; b < 10; ++b)
        Voice().SetBandValue(b, 7 - b);
    Voice().ShowMicOn(true);
    Voice().ShowMicOn(false);
    Voice().ShowMonitorOn(true);
    Voice().SetMicSlider(40);
    Voice().SetMonitorSlider(60);
    Voice().AddCustomEqName(QStringLiteral("one"));
    Voice().AddCustomEqName(QStringLiteral("two"));
    Voice().SelectCustomEqItem(1);
    Voice().RenameCustomEqItem(1, QStringLiteral("deux"));
    Voice().SetCustomEqNameText(QStringLiteral("three"));
    Voice().RemoveCustomEqItem(0);
    Voice().SelectCustomEqItem(-1);
    Voice().ClearCustomEqNames();
    EXPECT_TRUE(Window().notified.isEmpty()) << Window().notified.join(QStringLiteral(", ")).toStdString();
    EXPECT_TRUE(Actions().calls.isEmpty());
}

TEST_F(SoundPanelTest, CurveNamesAreShownExactlyAsStored) {
    // Names that are language keys, or look like markup, are still just names.
    const QStringList names = {QStringLiteral("message_text_5"), QStringLiteral("eq_preset_1"),
                               QStringLiteral("<b>Bass</b> & more"), QStringLiteral("低音 2")};
    for (const QString& n : names)
        Voice().AddCustomEqName(n);
    // Switching the language again (as the main window does) translates the layout, not the list.
    Window().ReloadText(SoundTexts(true));
    Voice().SetLanguageTexts(&SoundTexts(true));
    auto* combo = Window().Voice<QComboBox>("custom_eq_name_combo");
    ASSERT_EQ(Voice().GetCustomEqCount(), names.size());
    for (int i = 0; i < names.size(); ++i) {
        EXPECT_EQ(combo->itemText(i), names[i]);
        EXPECT_EQ(Voice().GetCustomEqName(i), names[i]);
    }
    EXPECT_EQ(Voice().GetCustomEqSelection(), -1) << "adding chooses nothing";
    EXPECT_EQ(Voice().GetCustomEqName(4), QString());
    EXPECT_EQ(Voice().GetCustomEqName(-1), QString());

    Voice().RenameCustomEqItem(1, QStringLiteral("message_text_16"));
    EXPECT_EQ(combo->itemText(1), QStringLiteral("message_text_16"));
    EXPECT_EQ(Voice().GetCustomEqName(1), QStringLiteral("message_text_16"));
    Voice().RenameCustomEqItem(7, QStringLiteral("nowhere"));
    EXPECT_EQ(Voice().GetCustomEqCount(), 4);
}

TEST_F(SoundPanelTest, SelectingRemovingAndClearingCurves) {
    for (const char* n : {"a", "b", "c"})
        Voice().AddCustomEqName(QString::fromLatin1(n));
    Voice().SetCustomEqNameText(QStringLiteral("typed"));
    EXPECT_EQ(Voice().GetCustomEqNameText(), QStringLiteral("typed"));
    Voice().SelectCustomEqItem(2);
    EXPECT_EQ(Voice().GetCustomEqSelection(), 2);
    EXPECT_EQ(Voice().GetCustomEqNameText(), QString()) << "choosing a curve empties the name field";
    Voice().SelectCustomEqItem(3);
    EXPECT_EQ(Voice().GetCustomEqSelection(), -1);
    Voice().SelectCustomEqItem(1);
    Voice().SelectCustomEqItem(-1);
    EXPECT_EQ(Voice().GetCustomEqSelection(), -1);

    Voice().RemoveCustomEqItem(0);
    Voice().RemoveCustomEqItem(5);
    ASSERT_EQ(Voice().GetCustomEqCount(), 2);
    EXPECT_EQ(Voice().GetCustomEqName(0), QStringLiteral("b"));
    Voice().ClearCustomEqNames();
    EXPECT_EQ(Voice().GetCustomEqCount(), 0);
    EXPECT_EQ(Voice().GetCustomEqSelection(), -1);
}

// Rename and delete need a chosen curve, rename also a name; save needs one of the two.
TEST_F(SoundPanelTest, CurveButtonsAreOfferedWhenTheyHaveSomethingToDo) {
    Voice().SetCustomEqMode(true);
    auto* save = Window().Voice<QAbstractButton>("hs_EQ_btn_save");
    auto* rename = Window().Voice<QAbstractButton>("hs_EQ_btn_rename");
    auto* del = Window().Voice<QAbstractButton>("hs_EQ_btn_delete");
    Voice().ClearCustomEqNames();
    EXPECT_FALSE(save->isEnabled());
    EXPECT_FALSE(rename->isEnabled());
    EXPECT_FALSE(del->isEnabled());
    Voice().SetCustomEqNameText(QStringLiteral("mine"));
    EXPECT_TRUE(save->isEnabled());
    EXPECT_FALSE(rename->isEnabled());
    Voice().AddCustomEqName(QStringLiteral("old"));
    Voice().SelectCustomEqItem(0);
    EXPECT_TRUE(save->isEnabled());
    EXPECT_TRUE(del->isEnabled());
    EXPECT_FALSE(rename->isEnabled()) << "the field was emptied";
    Voice().SetCustomEqNameText(QStringLiteral("new"));
    EXPECT_TRUE(rename->isEnabled());
    Voice().SetCustomEqNameText(QStringLiteral("   "));
    EXPECT_FALSE(rename->isEnabled());

    // A full list takes no new curve, but the chosen one can still take the bands.
    for (int i = 1; i < kMaxCustomEqCurves; ++i)
        Voice().AddCustomEqName(QStringLiteral("curve %1").arg(i));
    Voice().SetCustomEqNameText(QStringLiteral("one more"));
    EXPECT_FALSE(save->isEnabled());
    EXPECT_TRUE(rename->isEnabled());
    Voice().SelectCustomEqItem(3);
    EXPECT_TRUE(save->isEnabled());
}

// Panels without any content (the layout did not load) and with part of it: operations change
// nothing, queries give their missing values, nothing crashes.
TEST(SoundPanelWithoutControls, OperationsDoNothingAndQueriesSayMissing) {
    CMagicControlUI magic;
    magic.ShowMagicEnabled(true);
    magic.EnableMagicChoices(true);
    magic.ShowMagicType(2);
    magic.SetFeatureSupport(AllFeatures(false));
    EXPECT_FALSE(magic.IsMagicEnabled());
    EXPECT_EQ(magic.MagicType(), 2) << "the choice is kept even without options to show it";

    CVoice6533ControlUI voice;
    voice.SetFeatureSupport(MixerFeatures());
    voice.SetCustomEqMode(true);
    voice.ShowEqType(3);
    voice.SetBandValue(0, 5);
    voice.ShowMicOn(true);
    voice.ShowMonitorOn(true);
    voice.SetMicSlider(50);
    voice.SetMonitorSlider(50);
    voice.SetCustomEqNameText(QStringLiteral("x"));
    voice.AddCustomEqName(QStringLiteral("x"));
    voice.SelectCustomEqItem(0);
    voice.RenameCustomEqItem(0, QStringLiteral("y"));
    voice.RemoveCustomEqItem(0);
    voice.ClearCustomEqNames();
    EXPECT_EQ(voice.GetBandValue(0), -1);
    EXPECT_FALSE(voice.HasBand(0));
    EXPECT_EQ(voice.GetMicSlider(), -1);
    EXPECT_EQ(voice.GetMonitorSlider(), -1);
    EXPECT_FALSE(voice.IsMicOn());
    EXPECT_FALSE(voice.IsMonitorOn());
    EXPECT_EQ(voice.GetCustomEqNameText(), QString());
    EXPECT_EQ(voice.GetCustomEqSelection(), -1);
    EXPECT_EQ(voice.GetCustomEqCount(), 0);
    EXPECT_EQ(voice.GetCustomEqName(0), QString());
    EXPECT_EQ(voice.Chart(), nullptr);
}

TEST(SoundPanelWithoutControls, APartialLayoutServesWhatItHas) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("partial.xml"));
    {
        std::ofstream out(path.toStdString());
        out << R"(<?xml version="1.0" encoding="UTF-8"?>
<ui version="4.0"><class>Voice6533Control</class>
<widget class="Voice6533Control" name="Voice6533Control"><layout class="QVBoxLayout" name="box">
<item><widget class="QSlider" name="6533_MicIn_slider"><property name="orientation"><enum>Qt::Horizontal</enum></property><property name="maximum"><number>255</number></property></widget></item>
<item><widget class="QPushButton" name="6533_eq_option_2"><property name="checkable"><bool>true</bool></property></widget></item>
<item><widget class="QSlider" name="6533_eq_hz_slider_4"><property name="maximum"><number>99</number></property></widget></item>
</layout></widget></ui>)";
    }
    SoundPanelWindow window;
    auto* voice = qobject_cast<CVoice6533ControlUI*>(window.BuildLayout(path, &window));
    ASSERT_NE(voice, nullptr);
    voice->SetMicSlider(180);
    EXPECT_EQ(voice->GetMicSlider(), 100) << "the volume keeps to 0..100 whatever the layout says";
    EXPECT_EQ(voice->GetMonitorSlider(), -1);
    voice->SetBandValue(4, 60);
    EXPECT_EQ(voice->GetBandValue(4), 20) << "a band keeps to -20..20 whatever the layout says";
    EXPECT_EQ(voice->GetBandValue(3), -1);
    voice->ShowEqType(2);
    EXPECT_TRUE(SoundPanelWindow::In<QAbstractButton>(voice, "6533_eq_option_2")->isChecked());
    voice->ShowEqType(13);
    EXPECT_EQ(voice->EqType(), 13);
    EXPECT_FALSE(SoundPanelWindow::In<QAbstractButton>(voice, "6533_eq_option_2")->isChecked());
    // Without the equaliser its controls are not usable even without the section around them.
    voice->SetFeatureSupport(MixerFeatures());
    EXPECT_FALSE(SoundPanelWindow::In<QWidget>(voice, "6533_eq_hz_slider_4")->isEnabled());
    EXPECT_FALSE(SoundPanelWindow::In<QWidget>(voice, "6533_eq_option_2")->isEnabled());
    EXPECT_TRUE(SoundPanelWindow::In<QWidget>(voice, "6533_MicIn_slider")->isEnabled());
    EXPECT_TRUE(window.notified.isEmpty());
}

} // namespace
} // namespace nk7x::test
