// What the panels offer when the headset lacks features: the equaliser and the voice effect give
// way to a notice when only the sound card's mixer is there, a missing volume or mute control is
// disabled with a note, and with nothing at all the sound panel says so, in the user's language.
#include "SoundPanelSupport.h"

#include "panels/sound/SoundPanelTexts.h"

#include <algorithm>

namespace nk7x::test {
namespace {

using SoundFeatureTest = SoundPanelTest;

std::array<bool, kFeatureCount> Without(std::initializer_list<Feature> missing) {
    std::array<bool, kFeatureCount> a = AllFeatures(true);
    for (Feature f : missing)
        a[static_cast<std::size_t>(f)] = false;
    return a;
}

// Whether the control would be seen on screen with its panel shown (isVisible needs a shown window).
bool Offered(QWidget* w) {
    return w && w->isVisibleTo(w->window()) && w->isEnabled();
}

TEST_F(SoundFeatureTest, MixerOnlyReplacesEqualiserAndVoiceEffectWithNotices) {
    Voice().SetFeatureSupport(MixerFeatures());
    Magic().SetFeatureSupport(MixerFeatures());
    Window().ShowOnly(&Voice());
    EXPECT_FALSE(Offered(Window().Voice("6533_eq_section")));
    EXPECT_FALSE(Offered(Window().Voice("6533_eq_chart")));
    EXPECT_FALSE(Offered(Window().Voice("custom_eq_name_combo")));
    ASSERT_TRUE(Window().Voice("6533_eq_notice")->isVisible());
    auto* eqNotice = Window().Voice<QLabel>("6533_eq_notice_label");
    ASSERT_TRUE(eqNotice->isVisible());
    EXPECT_EQ(eqNotice->text(), SoundTexts().Text(QStringLiteral("hs_eq_needs_library_text")));
    EXPECT_TRUE(eqNotice->text().contains(QStringLiteral("not installed")));
    // The volumes and switches the mixer has stay usable, without notes.
    for (const char* name :
         {"6533_MicIn_option", "6533_MicIn_slider", "6533_MicMoniter_option", "6533_MicMoniter_slider"})
        EXPECT_TRUE(Offered(Window().Voice(name))) << name;
    EXPECT_FALSE(Window().Voice<QLabel>("6533_MicIn_notice")->isVisible());
    EXPECT_FALSE(Window().Voice("6533_none_notice")->isVisible());

    Window().ShowOnly(&Magic());
    EXPECT_FALSE(Offered(Window().Magic("magic_enable_option")));
    EXPECT_FALSE(Offered(Window().Magic("magic_option_1")));
    auto* magicNotice = Window().Magic<QLabel>("magic_notice_label");
    ASSERT_TRUE(magicNotice->isVisible());
    EXPECT_EQ(magicNotice->text(), SoundTexts().Text(QStringLiteral("hs_magic_needs_library_text")));
    // The page showing the stored switch must not bring the choices back.
    Magic().ShowMagicEnabled(true);
    EXPECT_FALSE(Window().Magic("magic_option_layout")->isEnabled());
}

TEST_F(SoundFeatureTest, AMissingVolumeOrMuteControlIsDisabledWithANote) {
    Voice().SetFeatureSupport(Without({Feature::MicVolume, Feature::MonitorMute}));
    Window().ShowOnly(&Voice());
    EXPECT_FALSE(Offered(Window().Voice("6533_MicIn_slider")));
    EXPECT_TRUE(Offered(Window().Voice("6533_MicIn_option")));
    EXPECT_TRUE(Offered(Window().Voice("6533_MicMoniter_slider")));
    EXPECT_FALSE(Offered(Window().Voice("6533_MicMoniter_option")));
    auto* micNote = Window().Voice<QLabel>("6533_MicIn_notice");
    auto* monitorNote = Window().Voice<QLabel>("6533_MicMoniter_notice");
    ASSERT_TRUE(micNote->isVisible());
    ASSERT_TRUE(monitorNote->isVisible());
    EXPECT_EQ(micNote->text(), SoundTexts().Text(QString::fromLatin1(kSoundVolumeMissingKey)));
    EXPECT_EQ(monitorNote->text(), SoundTexts().Text(QString::fromLatin1(kSoundMuteMissingKey)));
    EXPECT_TRUE(Offered(Window().Voice("6533_eq_section")));

    // Both missing on one channel; and the notes follow a change of language.
    Voice().SetFeatureSupport(Without({Feature::MicVolume, Feature::MicMute}));
    Window().ReloadText(SoundTexts(true));
    Voice().SetLanguageTexts(&SoundTexts(true));
    EXPECT_EQ(micNote->text(), SoundTexts(true).Text(QString::fromLatin1(kSoundVolumeMuteMissingKey)));
    EXPECT_FALSE(monitorNote->isVisible());
    EXPECT_TRUE(Offered(Window().Voice("6533_MicMoniter_option")));
}

TEST_F(SoundFeatureTest, WithNothingTheSoundPanelSaysTheControlsWereNotFound) {
    Window().ReloadText(SoundTexts(true));
    Voice().SetLanguageTexts(&SoundTexts(true));
    Voice().SetFeatureSupport(AllFeatures(false));
    Window().ShowOnly(&Voice());
    auto* none = Window().Voice<QLabel>("6533_none_notice_label");
    ASSERT_TRUE(none->isVisible());
    EXPECT_EQ(none->text(), SoundTexts(true).Text(QStringLiteral("hs_sound_missing_text")));
    EXPECT_NE(none->text(), QStringLiteral("hs_sound_missing_text"));
    for (const char* name : {"6533_volume_row", "6533_eq_section", "6533_eq_notice"})
        EXPECT_FALSE(Window().Voice(name)->isVisible()) << name;

    // The headset found again with everything: the controls return, the notices go.
    Voice().SetFeatureSupport(AllFeatures(true));
    EXPECT_FALSE(none->isVisible());
    EXPECT_FALSE(Window().Voice("6533_eq_notice")->isVisible());
    for (const char* name :
         {"6533_MicIn_slider", "6533_MicIn_option", "6533_eq_option_3", "6533_eq_hz_slider_5"})
        EXPECT_TRUE(Offered(Window().Voice(name))) << name;
    EXPECT_FALSE(Window().Voice("6533_MicIn_notice")->isVisible());
}

// Every text the panels word themselves exists in every shipped language, and the preset names
// are real names, not keys.
TEST(SoundPanelTexts, EveryKeyIsInBothLanguages) {
    for (bool chinese : {false, true}) {
        const LanguageTexts& texts = SoundTexts(chinese);
        ASSERT_GT(texts.Count(), 100);
        for (const char* key : kSoundPanelCodeKeys)
            EXPECT_TRUE(texts.Has(QString::fromLatin1(key))) << key << (chinese ? " zh" : " en");
        for (int t = 1; t <= kEqPresetCount; ++t) {
            const QString key = QStringLiteral("eq_preset_%1").arg(t);
            EXPECT_TRUE(texts.Has(key)) << key.toStdString();
            EXPECT_FALSE(texts.Text(key).isEmpty());
        }
    }
    // The name matches the curve where it can be checked: the preset that changes nothing.
    for (int t = 1; t <= kEqPresetCount; ++t) {
        const EqBands* bands = EqPreset(t);
        ASSERT_NE(bands, nullptr);
        const bool flat = std::all_of(bands->begin(), bands->end(), [](int8_t v) { return v == 0; });
        EXPECT_EQ(SoundTexts().Text(QStringLiteral("eq_preset_%1").arg(t)) == QStringLiteral("Flat"), flat)
            << t;
    }
}

} // namespace
} // namespace nk7x::test
