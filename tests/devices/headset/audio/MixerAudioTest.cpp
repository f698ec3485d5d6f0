// The headset's sound controls on a sound card's mixer: the slider's 0..100 on the card's steps,
// mute as the card's switch, and only what the card has.
#include <gtest/gtest.h>

#include <cstdlib>

#include "FakeMixer.h"
#include "devices/headset/audio/MixerAudio.h"

namespace nk7x {
namespace {

using test::FakeMixer;

// A typical USB headset: capture volume and switch, and a microphone playback path (sidetone).
std::unique_ptr<FakeMixer> FullCard() {
    auto mixer = std::make_unique<FakeMixer>();
    mixer->volumes[MixerControl::MicVolume] = {{0, 127}, 64};
    mixer->switches[MixerControl::MicSwitch] = true;
    mixer->volumes[MixerControl::MonitorVolume] = {{-20, 10}, -20};
    mixer->switches[MixerControl::MonitorSwitch] = false;
    return mixer;
}

TEST(MixerVolumeMapping, SliderPercentMapsOntoTheCardsStepsAndBack) {
    const MixerRange usb{0, 127};
    EXPECT_EQ(RawFromPercent(0, usb), 0);
    EXPECT_EQ(RawFromPercent(37, usb), 47); // 46.99
    EXPECT_EQ(RawFromPercent(100, usb), 127);
    EXPECT_EQ(RawFromPercent(-5, usb), 0);
    EXPECT_EQ(RawFromPercent(150, usb), 127);
    EXPECT_EQ(PercentFromRaw(64, usb), 50);
    EXPECT_EQ(PercentFromRaw(500, usb), 100);
    const MixerRange offset{-20, 10};
    EXPECT_EQ(RawFromPercent(50, offset), -5);
    EXPECT_EQ(PercentFromRaw(-20, offset), 0);
    EXPECT_EQ(PercentFromRaw(10, offset), 100);
    // Decibel-like ranges in hundredths, and the widest a card reports.
    for (const MixerRange range :
         {MixerRange{0, 127}, MixerRange{-4800, 0}, MixerRange{0, 100}, MixerRange{-32768, 32767}})
        for (int p = 0; p <= 100; ++p)
            EXPECT_EQ(PercentFromRaw(RawFromPercent(p, range), range), p)
                << range.min << ".." << range.max << " " << p;
    // A coarse card cannot hold every percent; a step off at most, and the ends are exact.
    const MixerRange coarse{0, 31};
    for (int p = 0; p <= 100; ++p)
        EXPECT_LE(std::abs(PercentFromRaw(RawFromPercent(p, coarse), coarse) - p), 2) << p;
    EXPECT_EQ(RawFromPercent(100, coarse), 31);
    // No range at all.
    EXPECT_EQ(RawFromPercent(60, MixerRange{5, 5}), 5);
    EXPECT_EQ(PercentFromRaw(5, MixerRange{5, 5}), 0);
}

TEST(MixerAudio, VolumesAndSwitchesReachTheCard) {
    auto card = FullCard();
    FakeMixer* mixer = card.get();
    MixerAudio audio(std::move(card));
    EXPECT_TRUE(audio.SetMicVolume(37));
    EXPECT_EQ(mixer->volumes[MixerControl::MicVolume].value, 47);
    EXPECT_TRUE(audio.SetMonitorVolume(50));
    EXPECT_EQ(mixer->volumes[MixerControl::MonitorVolume].value, -5);
    EXPECT_TRUE(audio.SetMicMuted(true));
    EXPECT_FALSE(mixer->switches[MixerControl::MicSwitch]); // muted: the switch lets nothing through
    EXPECT_TRUE(audio.SetMonitorMuted(false));
    EXPECT_TRUE(mixer->switches[MixerControl::MonitorSwitch]);

    // Changed elsewhere (another mixer program): read as the card has it now.
    mixer->volumes[MixerControl::MicVolume].value = 127;
    mixer->switches[MixerControl::MicSwitch] = true;
    const AudioState state = audio.ReadState();
    EXPECT_EQ(state.micVolume, 100);
    EXPECT_EQ(state.micMuted, false);
    EXPECT_EQ(state.monitorVolume, 50);
    EXPECT_EQ(state.monitorMuted, false);
    EXPECT_FALSE(state.voiceEffect || state.voiceEffectOn || state.eqBands);
}

TEST(MixerAudio, ACardWithoutSidetoneHasNoMonitoring) {
    auto card = std::make_unique<FakeMixer>();
    card->volumes[MixerControl::MicVolume] = {{0, 16}, 8};
    card->switches[MixerControl::MicSwitch] = true;
    FakeMixer* mixer = card.get();
    MixerAudio audio(std::move(card));
    EXPECT_TRUE(audio.Supports(Feature::MicVolume));
    EXPECT_TRUE(audio.Supports(Feature::MicMute));
    EXPECT_FALSE(audio.Supports(Feature::MonitorVolume));
    EXPECT_FALSE(audio.Supports(Feature::MonitorMute));
    EXPECT_FALSE(audio.SetMonitorVolume(30));
    EXPECT_FALSE(audio.SetMonitorMuted(true));
    EXPECT_EQ(mixer->writes, 0);
    const AudioState state = audio.ReadState();
    EXPECT_FALSE(state.monitorVolume.has_value());
    EXPECT_FALSE(state.monitorMuted.has_value());
    EXPECT_EQ(state.micVolume, 50);
}

TEST(MixerAudio, OnlyWhatTheCardHasIsSupported) {
    // A volume with a single step cannot serve a slider; a switch alone still mutes.
    auto card = std::make_unique<FakeMixer>();
    card->volumes[MixerControl::MicVolume] = {{0, 0}, 0};
    card->switches[MixerControl::MonitorSwitch] = true;
    FakeMixer* mixer = card.get();
    MixerAudio audio(std::move(card));
    EXPECT_FALSE(audio.Supports(Feature::MicVolume));
    EXPECT_FALSE(audio.Supports(Feature::MicMute));
    EXPECT_FALSE(audio.Supports(Feature::MonitorVolume));
    EXPECT_TRUE(audio.Supports(Feature::MonitorMute));
    EXPECT_FALSE(audio.SetMicVolume(50));
    EXPECT_FALSE(audio.SetMicMuted(true));
    EXPECT_EQ(mixer->writes, 0);
    EXPECT_TRUE(audio.SetMonitorMuted(true));
    EXPECT_EQ(audio.ReadState().monitorMuted, true);
}

TEST(MixerAudio, TheChipsOwnFeaturesAreNotThereAndTouchNothing) {
    auto card = FullCard();
    FakeMixer* mixer = card.get();
    MixerAudio audio(std::move(card));
    for (Feature f : {Feature::Equaliser, Feature::VoiceEffect, Feature::Surround, Feature::NoiseCancelling})
        EXPECT_FALSE(audio.Supports(f)) << FeatureName(f);
    EXPECT_FALSE(audio.ApplyEqCurve(*EqPresetCurve(2)));
    EXPECT_FALSE(audio.SetEqBand(1, 4));
    EXPECT_FALSE(audio.SetVoiceEffectEnabled(true));
    EXPECT_FALSE(audio.SelectVoiceEffect(2));
    EXPECT_FALSE(audio.SetSurround(true));
    EXPECT_FALSE(audio.SetNoiseCancelling(true));
    EXPECT_EQ(mixer->writes, 0);
}

TEST(MixerAudio, ARefusedWriteIsReportedAsRefused) {
    auto card = FullCard();
    card->refused = {MixerControl::MicVolume, MixerControl::MonitorSwitch};
    FakeMixer* mixer = card.get();
    MixerAudio audio(std::move(card));
    EXPECT_FALSE(audio.SetMicVolume(10));
    EXPECT_FALSE(audio.SetMonitorMuted(false));
    EXPECT_EQ(mixer->volumes[MixerControl::MicVolume].value, 64);
    EXPECT_TRUE(audio.SetMicMuted(true));
}

} // namespace
} // namespace nk7x
