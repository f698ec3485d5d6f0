// The chip library as the program loads and calls it, against a stand-in that logs every call.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "FakeChipFolder.h"
#include "devices/headset/audio/ChipLibrary.h"

namespace nk7x {
namespace {

using test::FakeChipFolder;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

std::string Band(int band) {
    return "EQ_Slider" + std::to_string(band);
}

// Loads the stand-in from the folder and starts it; fails the test when it does not load.
std::unique_ptr<ChipLibrary> Started(const FakeChipFolder& folder) {
    std::string why;
    auto library = ChipLibrary::Load(folder.LibraryPath(), &why);
    EXPECT_NE(library, nullptr) << why;
    if (library)
        library->Start();
    return library;
}

bool Mentions(const std::vector<std::string>& calls, const std::string& part) {
    for (const std::string& call : calls)
        if (call.find(part) != std::string::npos)
            return true;
    return false;
}

// ---- loading ------------------------------------------------------------------------------------

TEST(ChipLibraryLoading, AMissingFileLoadsNothingAndSaysWhy) {
    FakeChipFolder folder("");
    std::string why;
    EXPECT_EQ(ChipLibrary::Load(folder.LibraryPath(), &why), nullptr);
    EXPECT_THAT(why, HasSubstr("libnk7x-audiochip.so"));
}

TEST(ChipLibraryLoading, ALibraryWithoutOneOfTheCallsIsNeverCalled) {
    FakeChipFolder folder(NK7X_FAKE_CHIP_BROKEN);
    std::string why;
    EXPECT_EQ(ChipLibrary::Load(folder.LibraryPath(), &why), nullptr);
    EXPECT_THAT(why, HasSubstr("PropertyControl"));
    // Not even the initialisation ran, though it is there.
    EXPECT_FALSE(folder.AnythingCalled());
}

TEST(ChipLibraryLoading, TheLibraryLivesInTheProgramsSdkFolder) {
    FakeChipFolder folder(NK7X_FAKE_CHIP);
    ::setenv("NK7X_PROGRAM_DIR", folder.Folder().c_str(), 1);
    const std::string path = ChipLibrary::DefaultPath();
    ::unsetenv("NK7X_PROGRAM_DIR");
    EXPECT_EQ(path, folder.LibraryPath());
    // Loading calls nothing; Start does.
    auto library = ChipLibrary::Load(path);
    ASSERT_NE(library, nullptr);
    EXPECT_FALSE(folder.AnythingCalled());
    library->Start();
    EXPECT_TRUE(folder.AnythingCalled());
}

// ---- start-up -----------------------------------------------------------------------------------

TEST(ChipLibraryStart, ListsDevicesReadsFeaturesSetsMissingDefaultsThenReadsTheState) {
    FakeChipFolder folder(NK7X_FAKE_CHIP);
    // Outputs: type 4, type 1 unusable, type 1 usable (chosen); inputs: type 3, type 2 (chosen).
    auto library = Started(folder);
    ASSERT_NE(library, nullptr);

    std::vector<std::string> expected = {"ConfLibInit",
                                         "CreateDeviceList",
                                         "GetDeviceCount 0",
                                         "GetDeviceCount 0",
                                         "GetDeviceById 0 0",
                                         "GetDeviceById 0 1",
                                         "GetDeviceById 0 2",
                                         "GetDeviceCount 1",
                                         "GetDeviceById 1 0",
                                         "GetDeviceById 1 1",
                                         "get in1 GetSupportFeature p=none",
                                         "get out2 GetSupportFeature p=none"};
    // Nothing is set yet: every read fails and the default follows it.
    auto ensure = [&](const std::string& device, const std::string& name, const std::string& parameter) {
        expected.push_back("get " + device + " " + name + " " + parameter);
        expected.push_back("set " + device + " " + name + " 0 " + parameter);
    };
    ensure("out2", "VirtualSurroundEffectControl", "p=4,-1,0");
    ensure("in1", "Enable_ENC_LFX", "p=none");
    ensure("in1", "VolumeControl", "p=-1,0,0");
    ensure("out2", "Enable_EQ_GFX", "p=none");
    for (int b = 1; b <= 10; ++b)
        ensure("out2", Band(b), "p=none");
    for (const char* name : {"Enable_RFX_GFX", "RFX_ENVIRONMENT", "RFX_ROOMSIZE"})
        ensure("out2", name, "p=none");
    ensure("in1", "MuteControl", "p=none");
    ensure("in1", "VolumeScalarControl", "p=-1,0,0");
    ensure("in1", "AAVolumeControl", "p=0,0,0");
    ensure("in1", "AAMuteControl", "p=none");
    ensure("in1", "AAVolumeScalarControl", "p=0,0,0");
    ensure("in1", "Enable_MAGICVOICE", "p=none");
    ensure("in1", "MagicVoice_Selection", "p=none");
    for (const char* read :
         {"get in1 GetMaxVol p=none", "get in1 GetMinVol p=none", "get in1 GetVolStep p=none",
          "get in1 VolumeControl p=-1,0,0", "get in1 MuteControl p=none",
          "get in1 VolumeScalarControl p=-1,0,0", "get in1 GetAAMaxVol p=none", "get in1 GetAAMinVol p=none",
          "get in1 GetAAVolStep p=none", "get in1 AAVolumeControl p=0,0,0", "get in1 AAMuteControl p=none",
          "get in1 AAVolumeScalarControl p=0,0,0"})
        expected.push_back(read);
    for (int b = 1; b <= 10; ++b)
        expected.push_back("get out2 " + Band(b) + " p=none");
    expected.push_back("get in1 Enable_MAGICVOICE p=none");
    expected.push_back("get in1 MagicVoice_Selection p=none");
    EXPECT_THAT(folder.Calls(), ElementsAreArray(expected));

    EXPECT_THAT(library->Notices(), IsEmpty());
    EXPECT_EQ(library->MicrophoneFeatures(), (std::array<int64_t, 3>{131072, 16, 64}));
    EXPECT_EQ(library->OutputFeatures(), (std::array<int64_t, 3>{3, 9, 1}));
    for (Feature f : {Feature::MicVolume, Feature::MicMute, Feature::MonitorVolume, Feature::MonitorMute,
                      Feature::Equaliser, Feature::VoiceEffect, Feature::Surround, Feature::NoiseCancelling})
        EXPECT_TRUE(library->Supports(f)) << FeatureName(f);

    // A second start does nothing.
    const size_t mark = folder.Mark();
    library->Start();
    EXPECT_THAT(folder.CallsFrom(mark), IsEmpty());
}

TEST(ChipLibraryStart, TakesTheChipsStateAndLeavesSetPropertiesAlone) {
    FakeChipFolder folder(NK7X_FAKE_CHIP);
    std::string state = "in:MuteControl=1;in:VolumeScalarControl=0.290000;in:VolumeControl=-3400;"
                        "in:AAMuteControl=0;in:AAVolumeScalarControl=0.5;in:AAVolumeControl=-2400;"
                        "in:Enable_MAGICVOICE=1;in:MagicVoice_Selection=2;in:Enable_ENC_LFX=0;"
                        "out:VirtualSurroundEffectControl=0;out:Enable_EQ_GFX=1;out:Enable_RFX_GFX=0;"
                        "out:RFX_ENVIRONMENT=0;out:RFX_ROOMSIZE=0";
    const EqCurve bands = {7, 14, -13, -6, -1, 8, 13, 7, 2, 6};
    for (int b = 0; b < 10; ++b)
        state += ";out:" + Band(b + 1) + "=" + std::to_string(bands[static_cast<size_t>(b)]);
    folder.Configure("STATE", state);
    auto library = Started(folder);
    ASSERT_NE(library, nullptr);

    for (const std::string& call : folder.Calls())
        EXPECT_NE(call.rfind("set ", 0), 0u) << call;
    const AudioState& start = library->StartState();
    EXPECT_EQ(start.micMuted, true);
    EXPECT_EQ(start.micVolume, 29); // 0.29 x 100 is 28.999...: rounded, not cut off
    EXPECT_EQ(start.monitorMuted, false);
    EXPECT_EQ(start.monitorVolume, 50);
    EXPECT_EQ(start.voiceEffectOn, true);
    EXPECT_EQ(start.voiceEffect, 3);
    EXPECT_EQ(start.eqBands, bands);
}

TEST(ChipLibraryStart, ChoosesOutputsByTypePreferenceAndOnlyUsableOnes) {
    struct Case {
        const char* outputs;
        const char* expectedDevice; // empty: none chosen
    };
    for (const Case& c : {Case{"7:1,12:0,12:1,1:0", "out2"}, Case{"4:1,7:1", "out1"}, Case{"4:0,4:1", "out1"},
                          Case{"1:0,12:0,2:1", ""}}) {
        SCOPED_TRACE(c.outputs);
        FakeChipFolder folder(NK7X_FAKE_CHIP);
        folder.Configure("OUTPUTS", c.outputs);
        auto library = Started(folder);
        ASSERT_NE(library, nullptr);
        const size_t mark = folder.Mark();
        if (*c.expectedDevice) {
            EXPECT_TRUE(library->HasOutputDevice());
            EXPECT_TRUE(library->SetEqBand(0, 3));
            EXPECT_THAT(folder.CallsFrom(mark),
                        ElementsAre("set " + std::string(c.expectedDevice) + " EQ_Slider1 3 p=none"));
        } else {
            EXPECT_FALSE(library->HasOutputDevice());
            EXPECT_FALSE(library->Supports(Feature::Equaliser));
            EXPECT_FALSE(library->Supports(Feature::Surround));
            EXPECT_FALSE(library->ApplyEqCurve(EqCurve{}));
            EXPECT_FALSE(library->SetSurround(true));
            EXPECT_FALSE(Mentions(folder.Calls(), " out"));
            // The microphone still works.
            EXPECT_TRUE(library->SetMicMuted(true));
        }
    }
}

TEST(ChipLibraryStart, WithoutAMicrophoneNoMicrophoneCallIsMade) {
    FakeChipFolder folder(NK7X_FAKE_CHIP);
    folder.Configure("INPUTS", "3:1,4:1");
    auto library = Started(folder);
    ASSERT_NE(library, nullptr);
    EXPECT_FALSE(library->HasMicrophone());
    for (Feature f : {Feature::MicVolume, Feature::MicMute, Feature::MonitorVolume, Feature::MonitorMute,
                      Feature::VoiceEffect, Feature::NoiseCancelling})
        EXPECT_FALSE(library->Supports(f)) << FeatureName(f);
    EXPECT_TRUE(library->Supports(Feature::Equaliser));
    EXPECT_FALSE(library->SetMicVolume(50));
    EXPECT_FALSE(library->SetMicMuted(true));
    EXPECT_FALSE(library->SetMonitorVolume(50));
    EXPECT_FALSE(library->SetMonitorMuted(true));
    EXPECT_FALSE(library->SetVoiceEffectEnabled(true));
    EXPECT_FALSE(library->SelectVoiceEffect(2));
    EXPECT_FALSE(library->SetNoiseCancelling(true));
    EXPECT_FALSE(Mentions(folder.Calls(), " in"));
    const AudioState state = library->ReadState();
    EXPECT_FALSE(state.micVolume || state.micMuted || state.monitorVolume || state.voiceEffect);
    EXPECT_TRUE(state.eqBands.has_value());
}

TEST(ChipLibraryStart, NoDevicesStopsAfterTheCount) {
    FakeChipFolder folder(NK7X_FAKE_CHIP);
    folder.Configure("OUTPUTS", "");
    auto library = Started(folder);
    ASSERT_NE(library, nullptr);
    EXPECT_THAT(folder.Calls(), ElementsAre("ConfLibInit", "CreateDeviceList", "GetDeviceCount 0"));
    for (Feature f : {Feature::MicVolume, Feature::MicMute, Feature::MonitorVolume, Feature::MonitorMute,
                      Feature::Equaliser, Feature::VoiceEffect, Feature::Surround, Feature::NoiseCancelling})
        EXPECT_FALSE(library->Supports(f)) << FeatureName(f);
    EXPECT_FALSE(library->SetMicVolume(10));
    EXPECT_FALSE(library->ApplyEqCurve(EqCurve{}));
    library->ReadState();
    EXPECT_EQ(folder.Calls().size(), 3u);
}

TEST(ChipLibraryStart, AFailedInitialisationIsReportedAndTheStartGoesOn) {
    FakeChipFolder folder(NK7X_FAKE_CHIP);
    folder.Configure("INIT", "7");
    auto library = Started(folder);
    ASSERT_NE(library, nullptr);
    EXPECT_THAT(library->Notices(), ElementsAre(ChipLibrary::Notice::InitFailed));
    EXPECT_STREQ(ChipLibrary::NoticeText(ChipLibrary::Notice::InitFailed), "ConfLibInit called failed!");
    const auto calls = folder.Calls();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[1], "CreateDeviceList");
    EXPECT_TRUE(library->HasMicrophone());
}

TEST(ChipLibraryStart, AShortOrUnreadableFeatureListIsReportedAndHidesTheVoiceEffect) {
    for (const char* setting : {"STATE", "FLOOD"}) {
        SCOPED_TRACE(setting);
        FakeChipFolder folder(NK7X_FAKE_CHIP);
        folder.Configure(setting, std::string(setting) == "STATE" ? "in:GetSupportFeature=131072,0,0,0,16,0"
                                                                  : "GetSupportFeature");
        auto library = Started(folder);
        ASSERT_NE(library, nullptr);
        EXPECT_THAT(library->Notices(), ::testing::Contains(ChipLibrary::Notice::ShortFeatureList));
        EXPECT_STREQ(ChipLibrary::NoticeText(ChipLibrary::Notice::ShortFeatureList),
                     "UpdateAPOAvailable failed!");
        EXPECT_FALSE(library->MicrophoneFeatures().has_value());
        EXPECT_FALSE(library->Supports(Feature::VoiceEffect));
        const size_t mark = folder.Mark();
        EXPECT_FALSE(library->ReadState().voiceEffect.has_value());
        EXPECT_FALSE(library->SetVoiceEffectEnabled(true));
        EXPECT_FALSE(Mentions(folder.CallsFrom(mark), "MAGICVOICE"));
        EXPECT_TRUE(library->Supports(Feature::MicVolume));
    }
}

TEST(ChipLibraryStart, AMicrophoneWithoutTheVoiceEffectBitNeitherReadsNorWritesIt) {
    FakeChipFolder folder(NK7X_FAKE_CHIP);
    folder.Configure("STATE", "in:GetSupportFeature=65536,0,0,0,16,0,64");
    auto library = Started(folder);
    ASSERT_NE(library, nullptr);
    EXPECT_THAT(library->Notices(), IsEmpty());
    EXPECT_FALSE(library->Supports(Feature::VoiceEffect));
    const size_t mark = folder.Mark();
    const AudioState state = library->ReadState();
    EXPECT_FALSE(state.voiceEffect.has_value());
    EXPECT_FALSE(Mentions(folder.CallsFrom(mark), "MAGICVOICE"));
    EXPECT_FALSE(Mentions(folder.CallsFrom(mark), "MagicVoice_Selection"));
}

TEST(ChipLibraryStart, AMicrophoneWithoutAMonitorRangeHasNoMonitoring) {
    FakeChipFolder folder(NK7X_FAKE_CHIP);
    folder.Configure("STATE", "in:GetAAMinVol");
    auto library = Started(folder);
    ASSERT_NE(library, nullptr);
    EXPECT_FALSE(library->Supports(Feature::MonitorVolume));
    EXPECT_FALSE(library->Supports(Feature::MonitorMute));
    EXPECT_TRUE(library->Supports(Feature::MicVolume));
    const size_t mark = folder.Mark();
    EXPECT_FALSE(library->SetMonitorVolume(40));
    EXPECT_FALSE(library->SetMonitorMuted(true));
    EXPECT_THAT(folder.CallsFrom(mark), IsEmpty());
    const AudioState state = library->ReadState();
    EXPECT_FALSE(state.monitorVolume.has_value());
    EXPECT_FALSE(state.monitorMuted.has_value());
    EXPECT_FALSE(Mentions(folder.CallsFrom(mark), "AAVolumeScalarControl"));
}

// ---- the sound operations -----------------------------------------------------------------------

class ChipLibraryCalls : public ::testing::Test {
  protected:
    void SetUp() override {
        library = Started(folder);
        ASSERT_NE(library, nullptr);
    }
    // The calls `operation` made.
    template <typename Fn> std::vector<std::string> CallsOf(Fn operation) {
        const size_t mark = folder.Mark();
        operation();
        return folder.CallsFrom(mark);
    }

    FakeChipFolder folder{NK7X_FAKE_CHIP};
    std::unique_ptr<ChipLibrary> library;
};

TEST_F(ChipLibraryCalls, MicrophoneVolumeIsAScalarOnChannelMinusOneReadBackWhenAccepted) {
    bool accepted = false;
    EXPECT_THAT(CallsOf([&] { accepted = library->SetMicVolume(37); }),
                ElementsAre("set in1 VolumeScalarControl 0.37 p=-1,0,0", "get in1 VolumeControl p=-1,0,0"));
    EXPECT_TRUE(accepted);
    EXPECT_EQ(library->ReadState().micVolume, 37);
    // Out of range is held to the slider's ends.
    EXPECT_THAT(CallsOf([&] { library->SetMicVolume(140); }),
                ElementsAre("set in1 VolumeScalarControl 1 p=-1,0,0", "get in1 VolumeControl p=-1,0,0"));
}

TEST_F(ChipLibraryCalls, EveryVolumeStepSurvivesTheRoundTripThroughTheChip) {
    for (int percent = 0; percent <= 100; ++percent) {
        ASSERT_TRUE(library->SetMicVolume(percent));
        ASSERT_TRUE(library->SetMonitorVolume(percent));
        const AudioState state = library->ReadState();
        EXPECT_EQ(state.micVolume, percent);
        EXPECT_EQ(state.monitorVolume, percent);
    }
}

TEST_F(ChipLibraryCalls, MuteAndMonitoringUseTheirOwnProperties) {
    EXPECT_THAT(CallsOf([&] { EXPECT_TRUE(library->SetMicMuted(true)); }),
                ElementsAre("set in1 MuteControl 1 p=none"));
    EXPECT_THAT(CallsOf([&] { EXPECT_TRUE(library->SetMonitorVolume(80)); }),
                ElementsAre("set in1 AAVolumeScalarControl 0.8 p=0,0,0", "get in1 AAVolumeControl p=0,0,0"));
    EXPECT_THAT(CallsOf([&] { EXPECT_TRUE(library->SetMonitorMuted(true)); }),
                ElementsAre("set in1 AAMuteControl 1 p=none"));
    EXPECT_THAT(CallsOf([&] { EXPECT_TRUE(library->SetMonitorMuted(false)); }),
                ElementsAre("set in1 AAMuteControl 0 p=none"));
    const AudioState state = library->ReadState();
    EXPECT_EQ(state.micMuted, true);
    EXPECT_EQ(state.monitorMuted, false);
    EXPECT_EQ(state.monitorVolume, 80);
}

TEST_F(ChipLibraryCalls, VoiceEffectOnSwitchesTheEchoOffAndChoicesCountFromZero) {
    EXPECT_THAT(CallsOf([&] { EXPECT_TRUE(library->SetVoiceEffectEnabled(true)); }),
                ElementsAre("set in1 Enable_MAGICVOICE 1 p=none", "set in1 Enable_MICECHO 0 p=none"));
    EXPECT_THAT(CallsOf([&] { EXPECT_TRUE(library->SetVoiceEffectEnabled(false)); }),
                ElementsAre("set in1 Enable_MAGICVOICE 0 p=none"));
    EXPECT_THAT(CallsOf([&] { EXPECT_TRUE(library->SelectVoiceEffect(3)); }),
                ElementsAre("set in1 MagicVoice_Selection 2 p=none"));
    EXPECT_EQ(library->ReadState().voiceEffect, 3);
    for (int outside : {0, 5, -1})
        EXPECT_THAT(CallsOf([&] { EXPECT_FALSE(library->SelectVoiceEffect(outside)); }), IsEmpty())
            << outside;
}

TEST_F(ChipLibraryCalls, PresetsAndCustomCurvesSwitchTheEqualiserOnThenWriteTheTenBands) {
    for (int preset : {5, 6}) {
        SCOPED_TRACE(preset);
        const EqCurve curve = *EqPresetCurve(preset);
        std::vector<std::string> expected = {"set out2 Enable_EQ_GFX 1 p=none"};
        for (int b = 0; b < 10; ++b)
            expected.push_back("set out2 " + Band(b + 1) + " " +
                               std::to_string(curve[static_cast<size_t>(b)]) + " p=none");
        EXPECT_THAT(CallsOf([&] { EXPECT_TRUE(library->ApplyEqCurve(curve)); }), ElementsAreArray(expected));
        EXPECT_EQ(library->ReadState().eqBands, curve);
    }
    EXPECT_EQ((*EqPresetCurve(6))[2], -13);
    EXPECT_EQ(*EqPresetCurve(5), EqCurve{});
    // A custom curve goes the same way, beyond the presets' range too.
    const EqCurve custom = {-20, 20, 0, 1, -1, 2, -2, 3, -3, 4};
    const auto calls = CallsOf([&] { EXPECT_TRUE(library->ApplyEqCurve(custom)); });
    ASSERT_EQ(calls.size(), 11u);
    EXPECT_EQ(calls[0], "set out2 Enable_EQ_GFX 1 p=none");
    EXPECT_EQ(calls[1], "set out2 EQ_Slider1 -20 p=none");
    EXPECT_EQ(calls[10], "set out2 EQ_Slider10 4 p=none");
}

TEST_F(ChipLibraryCalls, ABandSliderWritesOnlyItsBand) {
    EXPECT_THAT(CallsOf([&] { EXPECT_TRUE(library->SetEqBand(9, -4)); }),
                ElementsAre("set out2 EQ_Slider10 -4 p=none"));
    EXPECT_THAT(CallsOf([&] { EXPECT_TRUE(library->SetEqBand(0, 12)); }),
                ElementsAre("set out2 EQ_Slider1 12 p=none"));
    for (int outside : {-1, 10})
        EXPECT_THAT(CallsOf([&] { EXPECT_FALSE(library->SetEqBand(outside, 1)); }), IsEmpty()) << outside;
}

TEST_F(ChipLibraryCalls, SurroundCarriesItsThreeWordParameterAndNoiseCancellingIsAMicrophoneSwitch) {
    EXPECT_THAT(CallsOf([&] { EXPECT_TRUE(library->SetSurround(true)); }),
                ElementsAre("set out2 VirtualSurroundEffectControl 1 p=4,-1,0"));
    EXPECT_THAT(CallsOf([&] { EXPECT_TRUE(library->SetNoiseCancelling(true)); }),
                ElementsAre("set in1 Enable_ENC_LFX 1 p=none"));
    EXPECT_THAT(CallsOf([&] { EXPECT_TRUE(library->SetNoiseCancelling(false)); }),
                ElementsAre("set in1 Enable_ENC_LFX 0 p=none"));
}

TEST_F(ChipLibraryCalls, TheUncalledPartOfTheInterfaceStaysUncalled) {
    library->SetMicVolume(20);
    library->ApplyEqCurve(*EqPresetCurve(1));
    library->ReadState();
    for (const char* name : {"RegisterCallbackFunction", "ConfLibUnInit", "ShowAsioPanel", "PlayTestSound",
                             "StopTestSound", "CloseTestSound"})
        EXPECT_FALSE(Mentions(folder.Calls(), name)) << name;
}

// ---- what the chip refuses or garbles -----------------------------------------------------------

TEST(ChipLibraryRefusals, ARefusedWriteReportsFailureAndIsNotReadBack) {
    FakeChipFolder folder(NK7X_FAKE_CHIP);
    folder.Configure("REFUSE", "VolumeScalarControl,MagicVoice_Selection,EQ_Slider3,MuteControl");
    auto library = Started(folder);
    ASSERT_NE(library, nullptr);
    const size_t mark = folder.Mark();
    EXPECT_FALSE(library->SetMicVolume(37));
    EXPECT_THAT(folder.CallsFrom(mark), ElementsAre("set in1 VolumeScalarControl 0.37 p=-1,0,0"));
    EXPECT_FALSE(library->SelectVoiceEffect(2));
    EXPECT_FALSE(library->SetMicMuted(true));
    // One refused band fails the curve, but the other bands are still written.
    const size_t eqMark = folder.Mark();
    EXPECT_FALSE(library->ApplyEqCurve(*EqPresetCurve(1)));
    EXPECT_EQ(folder.CallsFrom(eqMark).size(), 11u);
    EXPECT_TRUE(library->SetEqBand(3, 1));
    EXPECT_FALSE(library->SetEqBand(2, 1));
}

TEST(ChipLibraryRefusals, TextThatFillsTheWholeBufferIsNotTakenAsAValue) {
    FakeChipFolder folder(NK7X_FAKE_CHIP);
    folder.Configure("FLOOD", "VolumeScalarControl,MuteControl,EQ_Slider4,MagicVoice_Selection");
    auto library = Started(folder);
    ASSERT_NE(library, nullptr);
    const AudioState state = library->ReadState();
    EXPECT_FALSE(state.micVolume.has_value());
    EXPECT_FALSE(state.micMuted.has_value());
    EXPECT_FALSE(state.eqBands.has_value()); // one unreadable band: no curve
    EXPECT_FALSE(state.voiceEffect.has_value());
    EXPECT_TRUE(state.monitorVolume.has_value());
    // A flooded read still counts as a successful read: no default is written over it.
    EXPECT_FALSE(Mentions(folder.Calls(), "set in1 MuteControl"));
}

TEST(ChipLibraryRefusals, ValuesOutsideTheirRangeAreNotTaken) {
    FakeChipFolder folder(NK7X_FAKE_CHIP);
    folder.Configure("STATE", "in:MagicVoice_Selection=4;in:VolumeScalarControl=1.7;in:MuteControl=on;"
                              "in:AAVolumeScalarControl=-0.2");
    auto library = Started(folder);
    ASSERT_NE(library, nullptr);
    const AudioState& state = library->StartState();
    EXPECT_FALSE(state.voiceEffect.has_value());
    EXPECT_EQ(state.micVolume, 100);
    EXPECT_FALSE(state.micMuted.has_value());
    EXPECT_EQ(state.monitorVolume, 0);
}

} // namespace
} // namespace nk7x
