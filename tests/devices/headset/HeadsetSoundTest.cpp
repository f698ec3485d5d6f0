// The headset's sound settings as the page edits them: what reaches the chip, what the profile
// keeps, and what the panels are told, against a chip that records its calls and can refuse.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "devices/headset/HeadsetSound.h"

namespace nk7x {
namespace {

class RecordingChip : public AudioChip {
  public:
    std::vector<std::string> calls;
    std::map<Feature, bool> supported;
    bool refuse = false;
    AudioState state;

    bool Supports(Feature f) const override {
        auto it = supported.find(f);
        return it == supported.end() ? true : it->second;
    }
    bool Take(const std::string& call) {
        calls.push_back(call);
        return !refuse;
    }
    bool SetMicVolume(int p) override { return Take("mic-volume " + std::to_string(p)); }
    bool SetMicMuted(bool m) override { return Take(std::string("mic-mute ") + (m ? "1" : "0")); }
    bool SetMonitorVolume(int p) override { return Take("monitor-volume " + std::to_string(p)); }
    bool SetMonitorMuted(bool m) override { return Take(std::string("monitor-mute ") + (m ? "1" : "0")); }
    bool SetVoiceEffectEnabled(bool on) override { return Take(std::string("voice ") + (on ? "1" : "0")); }
    bool SelectVoiceEffect(int c) override { return Take("voice-choice " + std::to_string(c)); }
    bool ApplyEqCurve(const EqCurve& bands) override {
        std::string s = "eq";
        for (int32_t v : bands)
            s += " " + std::to_string(v);
        return Take(s);
    }
    bool SetEqBand(int band, int32_t value) override {
        return Take("band " + std::to_string(band) + " " + std::to_string(value));
    }
    bool SetSurround(bool) override { return Take("surround"); }
    bool SetNoiseCancelling(bool) override { return Take("noise"); }
    AudioState ReadState() override { return state; }
};

class RecordingView : public IHeadsetSoundView {
  public:
    std::vector<std::string> shown;
    std::vector<std::string> names;
    int bands[kEqBandCount] = {};
    int selected = -1;
    int eqType = -1;
    bool customMode = false;
    bool micOn = false;
    int micSlider = -1;

    void Note(const std::string& s) { shown.push_back(s); }
    void ShowMagicEnabled(bool on) override { Note(std::string("magic ") + (on ? "1" : "0")); }
    void ShowMagicType(int c) override { Note("magic-type " + std::to_string(c)); }
    void ShowMicOn(bool on) override {
        micOn = on;
        Note(std::string("mic-on ") + (on ? "1" : "0"));
    }
    void SetMicSlider(int v) override {
        micSlider = v;
        Note("mic-slider " + std::to_string(v));
    }
    void ShowMonitorOn(bool on) override { Note(std::string("monitor-on ") + (on ? "1" : "0")); }
    void SetMonitorSlider(int v) override { Note("monitor-slider " + std::to_string(v)); }
    void ShowEqType(int t) override {
        eqType = t;
        Note("eq-type " + std::to_string(t));
    }
    void SetCustomEqMode(bool on) override {
        customMode = on;
        Note(std::string("custom-mode ") + (on ? "1" : "0"));
    }
    void SetBandValue(int b, int v) override { bands[b] = v; }
    void ClearCustomEqNames() override {
        names.clear();
        Note("clear-names");
    }
    void AddCustomEqName(const std::string& n) override { names.push_back(n); }
    void RemoveCustomEqItem(int i) override { names.erase(names.begin() + i); }
    void RenameCustomEqItem(int i, const std::string& n) override { names[static_cast<size_t>(i)] = n; }
    void SelectCustomEqItem(int i) override {
        selected = i;
        Note("select " + std::to_string(i));
    }
};

struct SoundFixture : ::testing::Test {
    CHs6533Profiledata profile;
    int saves = 0;
    RecordingChip chip;
    RecordingView view;
    CHeadsetSound sound{profile, [this] { ++saves; }};

    void SetUp() override {
        HeadsetSystemSetStages unmuted;
        unmuted.micInSelected = 1;
        unmuted.micMonitorSelected = 1;
        profile.SetSystemSetStages(unmuted);
        sound.SetChip(&chip);
        sound.SetView(&view);
        sound.TakeProfile();
    }
    static EqCurve Curve(int first) {
        EqCurve c{};
        for (int b = 0; b < kEqBandCount; ++b)
            c[static_cast<size_t>(b)] = first + b;
        return c;
    }
};

TEST_F(SoundFixture, VolumesAndMutesAreKeptOnlyWhenTheHeadsetTakesThem) {
    sound.SetMicVolume(37);
    EXPECT_EQ(chip.calls.back(), "mic-volume 37");
    EXPECT_EQ(profile.GetSystemSetStages().micInValue, 37);
    EXPECT_EQ(saves, 1);

    chip.refuse = true;
    sound.SetMicVolume(80);
    EXPECT_EQ(profile.GetSystemSetStages().micInValue, 37);
    EXPECT_EQ(saves, 1);
    EXPECT_EQ(view.micSlider, 37) << "a refused volume puts the slider back";

    // A refused mute leaves the switch showing what the headset does, and the next toggle asks for
    // the same change again instead of the opposite one.
    ASSERT_FALSE(sound.MicMuted());
    sound.ToggleMicMute();
    EXPECT_FALSE(sound.MicMuted());
    EXPECT_TRUE(view.micOn);
    chip.refuse = false;
    sound.ToggleMicMute();
    EXPECT_EQ(chip.calls.back(), "mic-mute 1");
    EXPECT_TRUE(sound.MicMuted());
    EXPECT_FALSE(view.micOn);
    EXPECT_EQ(profile.GetSystemSetStages().micInSelected, 0);

    sound.SetMonitorVolume(150);
    EXPECT_EQ(chip.calls.back(), "monitor-volume 100");
    EXPECT_EQ(profile.GetSystemSetStages().micMonitorValue, 100);
    sound.ToggleMonitorMute();
    EXPECT_EQ(chip.calls.back(), "monitor-mute 1");
    EXPECT_EQ(profile.GetSystemSetStages().micMonitorSelected, 0);
}

TEST_F(SoundFixture, WithoutTheChipOrTheFeatureNothingIsReachedOrStored) {
    chip.supported[Feature::MicVolume] = false;
    sound.SetMicVolume(40);
    EXPECT_TRUE(chip.calls.empty());
    EXPECT_EQ(saves, 0);

    sound.SetChip(nullptr);
    sound.ToggleMicMute();
    sound.SetMagicEnabled(true);
    sound.SelectMagicVoice(2);
    EXPECT_EQ(saves, 0);
    EXPECT_FALSE(sound.MicMuted());
}

TEST_F(SoundFixture, VoiceEffectChoicesOutsideOneToFourAreIgnored) {
    sound.SetMagicEnabled(true);
    EXPECT_EQ(chip.calls.back(), "voice 1");
    EXPECT_EQ(profile.GetSystemSetStages().voiceEffectEnabled, 1);
    sound.SelectMagicVoice(3);
    EXPECT_EQ(chip.calls.back(), "voice-choice 3");
    EXPECT_EQ(profile.GetSystemSetStages().voiceEffectType, 3);
    const size_t calls = chip.calls.size();
    sound.SelectMagicVoice(0);
    sound.SelectMagicVoice(5);
    EXPECT_EQ(chip.calls.size(), calls);
    EXPECT_EQ(profile.GetSystemSetStages().voiceEffectType, 3);

    chip.refuse = true;
    sound.SetMagicEnabled(false);
    EXPECT_EQ(profile.GetSystemSetStages().voiceEffectEnabled, 1);
    EXPECT_EQ(view.shown.back(), "magic 1");
}

TEST_F(SoundFixture, PresetsWriteTheirBandsAndMovingABandMakesAnUnsavedCustomCurve) {
    sound.SelectEqPreset(6, -1);
    EXPECT_EQ(chip.calls.back(), "eq 7 14 -13 -6 -1 8 13 7 2 6");
    EXPECT_EQ(view.bands[2], -13);
    EXPECT_EQ(view.eqType, 6);
    EXPECT_EQ(profile.GetSystemSetStages().eqType, 6);
    EXPECT_EQ(profile.GetEqValues(6)[2], -13);
    sound.SelectEqPreset(5, -1);
    EXPECT_EQ(chip.calls.back(), "eq 0 0 0 0 0 0 0 0 0 0");

    const int savesBefore = saves;
    sound.SelectEqPreset(4, -1);
    sound.SetEqBand(9, 12);
    EXPECT_EQ(chip.calls.back(), "band 9 12") << "only that band is written";
    EXPECT_EQ(view.eqType, kEqTypeCustom);
    EXPECT_EQ(view.selected, -1);
    EXPECT_TRUE(view.customMode);
    EXPECT_EQ(sound.Stages().eqType, kEqTypeCustom);
    EXPECT_EQ(saves, savesBefore + 1) << "the preset saved, the band did not";

    const size_t calls = chip.calls.size();
    sound.SelectEqPreset(0, -1);
    sound.SelectEqPreset(14, -1);
    sound.SetEqBand(10, 1);
    EXPECT_EQ(chip.calls.size(), calls);
}

TEST_F(SoundFixture, CustomCurvesAreNamedOnceRefusedBeyondTwentyAndStayParallel) {
    EXPECT_EQ(sound.SaveCustomEq("", Curve(0), -1), CHeadsetSound::kNothingToSave);
    EXPECT_EQ(sound.SaveCustomEq("Bass", Curve(1), -1), CHeadsetSound::kSaved);
    EXPECT_EQ(view.names, std::vector<std::string>{"Bass"});
    EXPECT_EQ(view.selected, 0);
    EXPECT_EQ(sound.SaveCustomEq("  bASS ", Curve(2), 0), CHeadsetSound::kNameTaken);
    for (int i = 1; i < kMaxCustomEqCurves; ++i)
        ASSERT_EQ(sound.SaveCustomEq("Curve " + std::to_string(i), Curve(i), i - 1), CHeadsetSound::kSaved);
    EXPECT_EQ(sound.SaveCustomEq("One too many", Curve(9), 0), CHeadsetSound::kNothingToSave);
    EXPECT_EQ(profile.GetCustomEqNames().size(), static_cast<size_t>(kMaxCustomEqCurves));

    // An empty name overwrites the selected curve's bands.
    EXPECT_EQ(sound.SaveCustomEq("", Curve(40), 3), CHeadsetSound::kSaved);
    EXPECT_EQ(profile.GetCustomEqValues(3)[0], 40);
    EXPECT_EQ(profile.GetCustomEqNames()[3], "Curve 3");

    // Renaming: to a free name, to its own name in another case, not to another curve's name.
    EXPECT_EQ(sound.RenameCustomEq(3, "Warm"), CHeadsetSound::kSaved);
    EXPECT_EQ(sound.RenameCustomEq(3, "WARM"), CHeadsetSound::kSaved);
    EXPECT_EQ(sound.RenameCustomEq(3, "bass"), CHeadsetSound::kNameTaken);
    EXPECT_EQ(sound.RenameCustomEq(-1, "x"), CHeadsetSound::kNothingToSave);
    EXPECT_EQ(profile.GetCustomEqNames()[3], "WARM");
    EXPECT_EQ(view.names[3], "WARM");

    // Deleting keeps names and values parallel; the next curve is selected and played.
    sound.DeleteCustomEq(0);
    EXPECT_EQ(profile.GetCustomEqNames().front(), "Curve 1");
    EXPECT_EQ(profile.GetCustomEqValues(0)[0], 1);
    EXPECT_EQ(view.selected, 0);
    EXPECT_EQ(chip.calls.back(), "eq 1 2 3 4 5 6 7 8 9 10");
}

TEST_F(SoundFixture, DeletingTheLastCurveFallsBackToTypeOne) {
    sound.SelectEqPreset(1, -1);
    ASSERT_EQ(sound.SaveCustomEq("Only", Curve(5), -1), CHeadsetSound::kSaved);
    sound.SelectEqPreset(kEqTypeCustom, 0);
    EXPECT_EQ(chip.calls.back(), "eq 5 6 7 8 9 10 11 12 13 14");
    sound.DeleteCustomEq(0);
    EXPECT_TRUE(profile.GetCustomEqNames().empty());
    EXPECT_EQ(view.eqType, 1);
    EXPECT_FALSE(view.customMode);
    EXPECT_EQ(view.bands[0], 7); // the slot of type 1 as stored
    EXPECT_EQ(chip.calls.back(), "eq 7 11 2 -3 -1 4 9 12 9 5");
    EXPECT_EQ(profile.GetSystemSetStages().eqType, 1);
    const size_t calls = chip.calls.size();
    sound.DeleteCustomEq(0); // nothing left to delete
    EXPECT_EQ(chip.calls.size(), calls);
}

TEST_F(SoundFixture, ConnectionReadsTheHeadsetAndAProfileSwitchWritesIt) {
    chip.state.micMuted = true;
    chip.state.micVolume = 42;
    chip.state.monitorVolume = 10;
    chip.state.voiceEffectOn = true;
    chip.state.voiceEffect = 3;
    sound.ReadAudioState();
    EXPECT_TRUE(chip.calls.empty()) << "reading writes nothing";
    EXPECT_EQ(sound.Stages().micInSelected, 0);
    EXPECT_EQ(sound.Stages().micInValue, 42);
    EXPECT_EQ(sound.Stages().micMonitorValue, 10);
    EXPECT_EQ(sound.Stages().voiceEffectType, 3);
    EXPECT_EQ(saves, 0);

    // Filling the panels shows the stages in their order and asks nothing of the chip.
    view.shown.clear();
    sound.Refresh();
    ASSERT_GE(view.shown.size(), 7u);
    EXPECT_EQ(view.shown[0], "magic 1");
    EXPECT_EQ(view.shown[1], "magic-type 3");
    EXPECT_EQ(view.shown[2], "mic-on 0");
    EXPECT_EQ(view.shown[3], "mic-slider 42");
    EXPECT_TRUE(chip.calls.empty());

    HeadsetSystemSetStages stored;
    stored.micInSelected = 1;
    stored.micInValue = 55;
    stored.micMonitorSelected = 1;
    stored.micMonitorValue = 20;
    stored.eqType = 2;
    profile.SetSystemSetStages(stored);
    sound.ApplyProfile();
    EXPECT_EQ(chip.calls.front(), "mic-volume 55");
    EXPECT_NE(std::find(chip.calls.begin(), chip.calls.end(), "mic-mute 0"), chip.calls.end());
    EXPECT_EQ(chip.calls.back(), "eq 7 11 6 -3 -11 -1 6 13 6 13");
}

} // namespace
} // namespace nk7x
