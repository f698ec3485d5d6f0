// The ALSA side of the headset's mixer: which elements serve which purpose, and the card lookup on
// a machine without the headset (here: without any sound card).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/linux/AlsaMixer.h"

namespace nk7x {
namespace {

using ::testing::HasSubstr;

MixerElementInfo Capture(const char* name, bool volume, bool switched) {
    MixerElementInfo e;
    e.name = name;
    e.captureVolume = volume;
    e.captureSwitch = switched;
    return e;
}

MixerElementInfo Playback(const char* name, bool volume, bool switched) {
    MixerElementInfo e;
    e.name = name;
    e.playbackVolume = volume;
    e.playbackSwitch = switched;
    return e;
}

TEST(MixerElementChoice, AUsbHeadsetsMicElementServesCaptureAndMonitoring) {
    MixerElementInfo mic = Capture("Mic", true, true);
    mic.playbackVolume = mic.playbackSwitch = true; // "Mic Playback Volume/Switch"
    const MixerElementChoice choice = ChooseMixerElements({Playback("PCM", true, true), mic});
    EXPECT_EQ(choice.micVolume, 1u);
    EXPECT_EQ(choice.micSwitch, 1u);
    EXPECT_EQ(choice.monitorVolume, 1u);
    EXPECT_EQ(choice.monitorSwitch, 1u);
}

TEST(MixerElementChoice, SidetoneIsPreferredAndTheOutputVolumeIsNeverTakenForIt) {
    MixerElementInfo mic = Capture("MIC", true, false);
    mic.playbackVolume = true;
    const std::vector<MixerElementInfo> card = {Playback("Headset", true, true), mic,
                                                Playback("Sidetone", true, false),
                                                Capture("Capture", false, true)};
    const MixerElementChoice choice = ChooseMixerElements(card);
    EXPECT_EQ(choice.micVolume, 1u);     // names compare without letter case
    EXPECT_EQ(choice.micSwitch, 3u);     // the volume's element has none: by name
    EXPECT_EQ(choice.monitorVolume, 2u); // "Sidetone" before "Mic"
    EXPECT_EQ(choice.monitorSwitch, std::nullopt);

    const MixerElementChoice outputsOnly = ChooseMixerElements(
        {Playback("PCM", true, true), Playback("Speaker", true, true), Playback("Headphone", true, true)});
    EXPECT_EQ(outputsOnly.monitorVolume, std::nullopt);
    EXPECT_EQ(outputsOnly.monitorSwitch, std::nullopt);
    EXPECT_EQ(outputsOnly.micVolume, std::nullopt);
}

TEST(MixerElementChoice, UnusualNamesFallBackOnCapabilityButNeverOnAStraySwitch) {
    const std::vector<MixerElementInfo> card = {Capture("Auto Gain Control", false, true),
                                                Capture("Line", true, false),
                                                Playback("Mic Monitor Level", true, false)};
    const MixerElementChoice choice = ChooseMixerElements(card);
    EXPECT_EQ(choice.micVolume, 1u);           // the only capture volume
    EXPECT_EQ(choice.micSwitch, std::nullopt); // not the automatic gain
    EXPECT_EQ(choice.monitorVolume, 2u);       // by the word "mic"
    EXPECT_EQ(choice.monitorSwitch, std::nullopt);
    EXPECT_FALSE(ChooseMixerElements({}).micVolume.has_value());
}

TEST(AlsaHeadsetLookup, WithoutTheHeadsetsCardNothingIsFoundAndTheReasonIsGiven) {
    std::string why;
    EXPECT_EQ(FindUsbSoundCard(0x1234, 0x5678, &why), std::nullopt);
    EXPECT_THAT(why, HasSubstr("1234:5678"));
    // Unknown ids (a headset whose identity is not filled in) match no card at all.
    EXPECT_EQ(FindUsbSoundCard(0, 0, &why), std::nullopt);
    EXPECT_THAT(why, HasSubstr("not known"));

    std::string report;
    EXPECT_EQ(OpenAlsaHeadsetMixer(0x1234, 0x5678, &report), nullptr);
    EXPECT_THAT(report, HasSubstr("1234:5678"));
    EXPECT_EQ(OpenAlsaHeadsetMixer(0x1234, 0x5678, nullptr), nullptr);
}

} // namespace
} // namespace nk7x
