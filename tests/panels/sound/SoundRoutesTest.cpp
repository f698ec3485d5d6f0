// The sound panels as the main window routes them: each user action reaches the headset page
// shown as exactly one call, option clearings and drags in progress reach nothing, a curve name
// that is taken brings the message, and nothing reaches a page that is not shown or not a headset.
#include "SoundPanelSupport.h"

namespace nk7x::test {
namespace {

using SoundRoutesTest = SoundPanelTest;

QStringList Calls(std::initializer_list<const char*> calls) {
    QStringList out;
    for (const char* c : calls)
        out << QString::fromLatin1(c);
    return out;
}

TEST_F(SoundRoutesTest, VoiceChoicesReachThePageOnlyWhenSelected) {
    Magic().ShowMagicEnabled(true);
    Magic().ShowMagicType(1);
    ASSERT_TRUE(Window().ClickMagic("magic_option_3"));
    // Option 1 was cleared by the click and reported so: it chooses nothing.
    EXPECT_EQ(Actions().calls, Calls({"SelectMagicVoice 3"}));
    ASSERT_TRUE(Window().ClickMagic("magic_option_3"));
    EXPECT_EQ(Actions().calls, Calls({"SelectMagicVoice 3"})) << "a selected option clicked again";
}

TEST_F(SoundRoutesTest, TheVoiceSwitchEnablesTheChoicesAndTellsThePage) {
    Magic().ShowMagicEnabled(false);
    auto* choices = Window().Magic("magic_option_layout");
    ASSERT_FALSE(choices->isEnabled());
    ASSERT_TRUE(Window().ClickMagic("magic_enable_option"));
    EXPECT_TRUE(choices->isEnabled());
    EXPECT_TRUE(Magic().IsMagicEnabled());
    ASSERT_TRUE(Window().ClickMagic("magic_enable_option"));
    EXPECT_FALSE(choices->isEnabled());
    EXPECT_EQ(Actions().calls, Calls({"SetMagicEnabled", "SetMagicEnabled"}));
}

TEST_F(SoundRoutesTest, SwitchesAndPresetsReachThePage) {
    Voice().ShowEqType(1);
    ASSERT_TRUE(Window().ClickVoice("6533_MicIn_option"));
    ASSERT_TRUE(Window().ClickVoice("6533_MicMoniter_option"));
    ASSERT_TRUE(Window().ClickVoice("6533_eq_option_7"));
    ASSERT_TRUE(Window().ClickVoice("6533_eq_option_13"));
    EXPECT_EQ(Actions().calls,
              Calls({"ToggleMicMute", "ToggleMonitorMute", "SelectEqPreset 7", "SelectEqPreset 13"}));
}

TEST_F(SoundRoutesTest, SlidersReachThePageOncePerMove) {
    SoundPanelWindow::StepSlider(Window().Voice<QAbstractSlider>("6533_eq_hz_slider_9"), 6);
    SoundPanelWindow::StepSlider(Window().Voice<QAbstractSlider>("6533_eq_hz_slider_0"), -3);
    SoundPanelWindow::StepSlider(Window().Voice<QAbstractSlider>("6533_MicIn_slider"), 30);
    SoundPanelWindow::StepSlider(Window().Voice<QAbstractSlider>("6533_MicMoniter_slider"), 45);
    EXPECT_EQ(Actions().calls, Calls({"SetEqBand 9", "SetEqBand 0", "SetMicVolume", "SetMonitorVolume"}));

    // A drag: the chart and the caption follow the handle, the page hears of it once, on release.
    Actions().calls.clear();
    auto* band = Window().Voice<QAbstractSlider>("6533_eq_hz_slider_4");
    Window().ShowOnly(&Voice());
    QApplication::processEvents();
    const std::optional<QPointF> before = Voice().Chart()->BandPoint(4);
    band->setSliderDown(true);
    for (int v = 1; v <= 12; ++v)
        band->setSliderPosition(v);
    EXPECT_TRUE(Actions().calls.isEmpty()) << Actions().calls.join(QStringLiteral(", ")).toStdString();
    const std::optional<QPointF> during = Voice().Chart()->BandPoint(4);
    ASSERT_TRUE(before && during);
    EXPECT_LT(during->y(), before->y()) << "a higher value is drawn higher";
    band->setSliderDown(false);
    EXPECT_EQ(Actions().calls, Calls({"SetEqBand 4"}));
    EXPECT_EQ(Voice().GetBandValue(4), 12);
}

TEST_F(SoundRoutesTest, CurveListAndButtonsReachThePage) {
    Voice().SetCustomEqMode(true);
    Voice().AddCustomEqName(QStringLiteral("one"));
    Voice().AddCustomEqName(QStringLiteral("two"));
    auto* combo = Window().Voice<QComboBox>("custom_eq_name_combo");
    combo->setCurrentIndex(1);
    emit combo->activated(1); // the user's choice in the list
    EXPECT_EQ(Voice().GetCustomEqSelection(), 1);
    ASSERT_TRUE(Window().ClickVoice("hs_EQ_btn_delete"));
    Voice().SetCustomEqNameText(QStringLiteral("three"));
    ASSERT_TRUE(Window().ClickVoice("hs_EQ_btn_save"));
    ASSERT_TRUE(Window().ClickVoice("hs_EQ_btn_rename"));
    EXPECT_EQ(Actions().calls, Calls({"SelectCustomEq", "DeleteCustomEq", "SaveCustomEq", "RenameCustomEq"}));
    EXPECT_TRUE(Window().messages.isEmpty()) << "saved and renamed: nothing to say";
}

TEST_F(SoundRoutesTest, ATakenNameBringsTheMessageOtherAnswersNone) {
    Voice().SetCustomEqMode(true);
    Voice().AddCustomEqName(QStringLiteral("one"));
    Voice().SelectCustomEqItem(0);
    Voice().SetCustomEqNameText(QStringLiteral("one"));
    Actions().saveAnswer = 0;
    ASSERT_TRUE(Window().ClickVoice("hs_EQ_btn_save"));
    EXPECT_EQ(Window().messages, QStringList{QStringLiteral("message_text_5")});
    Actions().saveAnswer = -1;
    ASSERT_TRUE(Window().ClickVoice("hs_EQ_btn_save"));
    Actions().saveAnswer = 1;
    ASSERT_TRUE(Window().ClickVoice("hs_EQ_btn_save"));
    EXPECT_EQ(Window().messages.size(), 1);

    Actions().renameAnswer = 0;
    ASSERT_TRUE(Window().ClickVoice("hs_EQ_btn_rename"));
    EXPECT_EQ(Window().messages.size(), 2);
    EXPECT_EQ(Window().messages.back(), QStringLiteral("message_text_5"));
    Actions().renameAnswer = -1;
    ASSERT_TRUE(Window().ClickVoice("hs_EQ_btn_rename"));
    EXPECT_EQ(Window().messages.size(), 2);
    EXPECT_EQ(Actions().calls.count(QStringLiteral("SaveCustomEq")), 3);
    EXPECT_EQ(Actions().calls.count(QStringLiteral("RenameCustomEq")), 2);
}

TEST_F(SoundRoutesTest, AnotherPagesPanelsReachNothing) {
    QWidget* magic = Window().other.magic;
    QWidget* voice = Window().other.voice;
    ASSERT_TRUE(SoundPanelWindow::Click(magic, "magic_option_3"));
    ASSERT_TRUE(SoundPanelWindow::Click(magic, "magic_enable_option"));
    ASSERT_TRUE(SoundPanelWindow::Click(voice, "6533_MicIn_option"));
    ASSERT_TRUE(SoundPanelWindow::Click(voice, "6533_eq_option_2"));
    SoundPanelWindow::StepSlider(SoundPanelWindow::In<QAbstractSlider>(voice, "6533_eq_hz_slider_9"), 4);
    ASSERT_TRUE(SoundPanelWindow::Click(voice, "hs_EQ_btn_save") ||
                !SoundPanelWindow::In<QAbstractButton>(voice, "hs_EQ_btn_save")->isEnabled());
    EXPECT_TRUE(Actions().calls.isEmpty()) << Actions().calls.join(QStringLiteral(", ")).toStdString();
    EXPECT_FALSE(Window().notified.isEmpty()) << "the notifications were raised and routed";
    // The shown page's switch did not move with the other one's.
    EXPECT_FALSE(Magic().IsMagicEnabled());
}

TEST_F(SoundRoutesTest, NothingReachesAPageThatIsNoHeadset) {
    Window().isHeadset = false;
    Magic().ShowMagicEnabled(true);
    ASSERT_TRUE(Window().ClickMagic("magic_option_2"));
    ASSERT_TRUE(Window().ClickMagic("magic_enable_option"));
    ASSERT_TRUE(Window().ClickVoice("6533_MicIn_option"));
    SoundPanelWindow::StepSlider(Window().Voice<QAbstractSlider>("6533_MicIn_slider"), 20);
    EXPECT_TRUE(Actions().calls.isEmpty());
    EXPECT_TRUE(Window().Magic("magic_option_layout")->isEnabled()) << "no route touched the panel";
}

// A page that has lost a panel (its layout failed) gets nothing from that panel's controls.
TEST_F(SoundRoutesTest, APageWithoutThePanelGetsNothingFromIt) {
    delete Window().shown.magic.data();
    ASSERT_TRUE(SoundPanelWindow::Click(Window().other.magic, "magic_enable_option"));
    ASSERT_TRUE(Window().ClickVoice("6533_MicIn_option"));
    EXPECT_EQ(Actions().calls, Calls({"ToggleMicMute"}));
}

} // namespace
} // namespace nk7x::test
