// Which way the headset's sound is reached: the chip library when it loads, else the sound card's
// mixer, else nothing; and that the choice is told.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "FakeChipFolder.h"
#include "FakeMixer.h"
#include "devices/headset/audio/HeadsetAudio.h"

namespace nk7x {
namespace {

using test::FakeChipFolder;
using test::FakeMixer;
using ::testing::HasSubstr;

constexpr uint16_t kVendor = 0x1234;
constexpr uint16_t kProduct = 0x5678;

// Opens a fake card and notes what it was asked for; `present` false: no card.
struct MixerRecorder {
    bool present = true;
    int calls = 0;
    uint16_t vendor = 0;
    uint16_t product = 0;
    MixerOpener Opener() {
        return [this](uint16_t v, uint16_t p, std::string* report) -> std::unique_ptr<MixerLayer> {
            ++calls;
            vendor = v;
            product = p;
            if (!present) {
                *report = "no card here";
                return nullptr;
            }
            auto mixer = std::make_unique<FakeMixer>();
            mixer->volumes[MixerControl::MicVolume] = {{0, 100}, 10};
            *report = "fake card";
            return mixer;
        };
    }
};

constexpr Feature kAll[] = {Feature::MicVolume,   Feature::MicMute,        Feature::MonitorVolume,
                            Feature::MonitorMute, Feature::Equaliser,      Feature::VoiceEffect,
                            Feature::Surround,    Feature::NoiseCancelling};

TEST(HeadsetAudio, TheChipLibraryWinsWhenItLoadsAndIsStarted) {
    FakeChipFolder folder(NK7X_FAKE_CHIP);
    MixerRecorder mixer;
    HeadsetAudio audio(kVendor, kProduct, {folder.LibraryPath(), mixer.Opener()});
    EXPECT_EQ(audio.Backend(), AudioBackend::ChipLibrary);
    ASSERT_NE(audio.Library(), nullptr);
    EXPECT_EQ(mixer.calls, 0);
    EXPECT_TRUE(folder.AnythingCalled());
    EXPECT_TRUE(audio.Supports(Feature::Equaliser));
    EXPECT_TRUE(audio.Chip()->SetEqBand(0, 1));
    EXPECT_THAT(audio.Report(), HasSubstr("chip library"));
}

TEST(HeadsetAudio, WithoutTheLibraryTheHeadsetsCardIsUsed) {
    for (const char* library : {"", NK7X_FAKE_CHIP_BROKEN}) {
        SCOPED_TRACE(library);
        FakeChipFolder folder(library);
        MixerRecorder mixer;
        HeadsetAudio audio(kVendor, kProduct, {folder.LibraryPath(), mixer.Opener()});
        EXPECT_EQ(audio.Backend(), AudioBackend::Mixer);
        EXPECT_EQ(audio.Library(), nullptr);
        EXPECT_EQ(mixer.calls, 1);
        EXPECT_EQ(mixer.vendor, kVendor);
        EXPECT_EQ(mixer.product, kProduct);
        EXPECT_FALSE(folder.AnythingCalled());
        EXPECT_TRUE(audio.Supports(Feature::MicVolume));
        EXPECT_FALSE(audio.Supports(Feature::Equaliser));
        EXPECT_TRUE(audio.Chip()->SetMicVolume(40));
        EXPECT_THAT(audio.Report(), HasSubstr("fake card"));
        EXPECT_STREQ(AudioBackendName(audio.Backend()), "sound card mixer");
    }
}

TEST(HeadsetAudio, WithNeitherThereIsNoChipAndNothingIsSupported) {
    FakeChipFolder folder("");
    MixerRecorder mixer;
    mixer.present = false;
    HeadsetAudio audio(kVendor, kProduct, {folder.LibraryPath(), mixer.Opener()});
    EXPECT_EQ(audio.Backend(), AudioBackend::None);
    EXPECT_EQ(audio.Chip(), nullptr);
    for (Feature f : kAll)
        EXPECT_FALSE(audio.Supports(f)) << FeatureName(f);
    EXPECT_THAT(audio.Report(), HasSubstr("libnk7x-audiochip.so"));
    EXPECT_THAT(audio.Report(), HasSubstr("no card here"));
}

TEST(HeadsetAudio, OnThisMachineTheRealLookupFindsNoCardAndSaysSo) {
    FakeChipFolder folder("");
    HeadsetAudio audio(kVendor, kProduct, {folder.LibraryPath(), {}});
    EXPECT_EQ(audio.Backend(), AudioBackend::None);
    EXPECT_EQ(audio.Chip(), nullptr);
    EXPECT_THAT(audio.Report(), HasSubstr("1234:5678"));
}

} // namespace
} // namespace nk7x
