// Base steps, thresholds, the user light effect player and the light-area overlays, through the
// keyboard, mouse and ring engines.
#include <gtest/gtest.h>

#include "devices/light/MouseLightEngine.h"
#include "devices/light/RingLightEngine.h"
#include "tests/devices/light/LightTestSupport.h"

namespace nk7x::light {
namespace {

using test::Settings;

TEST(LightSteps, ModeStepRunsOnlyWhenItsThresholdIsReached) {
    ManualLightClock clock;
    KeyboardLightEngine e(clock);
    e.SetLightSettings(Settings(4, 4, 0)); // colour cycle, 5 ticks per step at speed 0
    for (int pass = 1; pass <= 4; ++pass) {
        e.Step();
        EXPECT_EQ(e.Counter(), 0) << pass;
    }
    e.Step();
    EXPECT_EQ(e.Counter(), 1);
    EXPECT_EQ(e.Colour(0), (Rgba{kWheel[1].r, kWheel[1].g, kWheel[1].b, 255}));
    e.SetLightSettings(Settings(4, 4, 4)); // speed 4: every tick
    e.Step();
    EXPECT_EQ(e.Counter(), 2);
}

TEST(LightSteps, BreathingAtLevelTwoPeaksAtAlpha134) {
    ManualLightClock clock;
    KeyboardLightEngine e(clock);
    e.SetLightSettings(Settings(5, 2, 4, true, false, {10, 20, 30}));
    for (int i = 0; i < 63; ++i)
        e.StepNow();
    EXPECT_EQ(e.Counter(), 63);
    for (std::size_t k : {0u, 60u, 125u})
        EXPECT_EQ(e.Colour(k), (Rgba{10, 20, 30, 134})) << k;
    // Backwards from the top wraps to the far end of the curve.
    e.SetLightSettings(Settings(5, 2, 4, false));
    for (int i = 0; i < 63; ++i)
        e.StepNow();
    EXPECT_EQ(e.Counter(), 0);
    e.StepNow();
    EXPECT_EQ(e.Counter(), 127);
}

TEST(LightSteps, MultiColourStaticOnThirteenLedsColoursEachRingIndexBelowThirteen) {
    ManualLightClock clock;
    RingLightEngine e(LightPage::Headset, 13, clock);
    e.SetLightSettings(Settings(3, 3, 0, true, true));
    e.StepNow();
    const auto colours = e.Colours();
    ASSERT_EQ(colours.size(), 13u);
    for (std::size_t led = 0; led < 13; ++led) {
        int ring = -1;
        for (std::size_t r = 0; r < kRings; ++r)
            for (uint8_t k : kRingMatrix[r])
                if (k == led)
                    ring = static_cast<int>(r);
        ASSERT_GE(ring, 0) << led;
        const Rgb w = kWheel[static_cast<uint8_t>(117 - 13 * ring)];
        EXPECT_EQ(colours[led], (Rgba{w.r, w.g, w.b, 195})) << "LED " << led << " ring " << ring;
    }
}

TEST(LightSteps, BlinkTogglesOnItsHalfPeriodInMilliseconds) {
    ManualLightClock clock(10000);
    KeyboardLightEngine e(clock);
    e.SetLightSettings(Settings(24, 4, 4, true, false, {1, 2, 3})); // 7 × 200 ms
    e.StepNow();
    EXPECT_EQ(e.Colour(5), (Rgba{1, 2, 3, 255}));
    clock.Advance(1399);
    e.StepNow();
    EXPECT_EQ(e.Colour(5), (Rgba{1, 2, 3, 255}));
    clock.Advance(1);
    e.StepNow();
    EXPECT_EQ(e.Colour(5), (Rgba{0, 0, 0, 0}));
}

TEST(LightSteps, PaletteBreathingMovesToTheNextColourAfterEachBreath) {
    ManualLightClock clock;
    KeyboardLightEngine e(clock);
    e.SetLightSettings(Settings(26, 4, 4));
    e.StepNow();
    EXPECT_EQ(e.Colour(0).g, 255);
    EXPECT_EQ(e.Colour(0).b, 180); // palette 0
    for (int i = 0; i < 127; ++i)
        e.StepNow();
    EXPECT_EQ(e.Counter(), 0);
    EXPECT_EQ(e.Colour(0), (Rgba{0, 255, 0, 0})); // palette 1 at the bottom of the breath
}

TEST(LightSteps, OutOfRangeSettingsFromAProfileAreClamped) {
    ManualLightClock clock;
    KeyboardLightEngine e(clock);
    LightState s = Settings(4, 9, 200);
    e.SetLightSettings(s);
    e.Step(); // speed 200 reads as 4: one tick per step
    EXPECT_EQ(e.Counter(), 1);
    EXPECT_EQ(e.Colour(0).a, 255);
    e.SetLightSettings(Settings(250)); // an unknown mode plays the (empty) user effect: all off
    e.Step();
    EXPECT_EQ(e.Colour(0), Rgba{});
}

TEST(LightSteps, MouseZoneChaseStartsAtTheFirstZoneAfterAModeChange) {
    ManualLightClock clock;
    MouseLightEngine e(19, clock);
    e.SetLightSettings(Settings(5, 4, 0, true, false, {0, 0, 255}));
    EXPECT_TRUE(e.Mark(0));
    e.StepNow();
    // Zone 0 lit and faded once; its LEDs 0 and 18 take the colour.
    EXPECT_EQ(e.Intensity(0), 215);
    EXPECT_EQ(e.Colour(0), (Rgba{0, 0, 255, 214}));
    EXPECT_EQ(e.Colour(18), (Rgba{0, 0, 255, 214}));
    EXPECT_TRUE(e.Mark(1));
    EXPECT_FALSE(e.Mark(0));
    e.StepNow();
    EXPECT_EQ(e.Intensity(1), 215);
    EXPECT_EQ(e.Intensity(0), 175);
}

TEST(LightSteps, HeadsetWaveUsesItsOwnPitch) {
    ManualLightClock clock;
    RingLightEngine headset(LightPage::Headset, 16, clock);
    RingLightEngine pad(LightPage::MousePad, 16, clock);
    headset.SetLightSettings(Settings(0, 4, 0, true, false, {200, 0, 0}));
    pad.SetLightSettings(Settings(0, 4, 0, true, false, {200, 0, 0}));
    headset.StepNow();
    pad.StepNow();
    EXPECT_EQ(headset.Counter(), 3);
    EXPECT_EQ(pad.Counter(), 1);
    EXPECT_EQ(headset.Colour(1).a, Scale(kWave[13], 255));
    EXPECT_EQ(pad.Colour(1).a, Scale(kWave[9], 255));
}

EffectFrame Frame(uint8_t mode, int32_t time, uint8_t speed = 4, Rgb colour = {9, 8, 7}) {
    EffectFrame f;
    f.mode = mode;
    f.brightness = 4;
    f.speed = speed;
    f.red = colour.r;
    f.green = colour.g;
    f.blue = colour.b;
    f.time = time;
    return f;
}

TEST(LightEffectPlayer, FramesOfTimeZeroAdvanceOnePerPass) {
    ManualLightClock clock;
    KeyboardLightEngine e(clock);
    e.SetLightSettings(Settings(20));
    e.SetEffectFrames({Frame(1, 0), Frame(1, 0), Frame(1, 0)});
    std::vector<std::size_t> seen;
    for (int i = 0; i < 5; ++i) {
        e.Step();
        seen.push_back(e.EffectFrameIndex());
    }
    EXPECT_EQ(seen, (std::vector<std::size_t>{1, 2, 0, 1, 2}));
}

TEST(LightEffectPlayer, FrameStaysForItsTimeAndDrawsWhenDue) {
    ManualLightClock clock(1000);
    KeyboardLightEngine e(clock);
    e.SetLightSettings(Settings(23));
    e.SetEffectFrames({Frame(1, 100, 4, {1, 1, 1}), Frame(1, 100, 4, {2, 2, 2})});
    for (int i = 0; i < 6; ++i) { // threshold 7 at speed 4: nothing drawn yet
        e.Step();
        clock.Advance(15);
    }
    EXPECT_EQ(e.Colour(0), Rgba{});
    EXPECT_EQ(e.EffectFrameIndex(), 0u);
    e.Step(); // seventh pass, 90 ms into the frame
    EXPECT_EQ(e.Colour(0), (Rgba{1, 1, 1, 255}));
    clock.Advance(15);
    e.Step(); // 105 ms: the frame moves on
    EXPECT_EQ(e.EffectFrameIndex(), 1u);
}

TEST(LightEffectPlayer, NoFramesMeansOff) {
    ManualLightClock clock;
    KeyboardLightEngine e(clock);
    e.SetColour(3, {1, 2, 3, 4});
    e.SetLightSettings(Settings(0));
    e.Step();
    EXPECT_EQ(e.Colour(3), Rgba{});
}

TEST(LightOverlays, PresentEntriesOverrideTheirLedsEveryPass) {
    ManualLightClock clock;
    KeyboardLightEngine e(clock);
    e.SetLightSettings(Settings(4, 4, 0)); // not due on the first pass
    std::vector<LightState> list(126);
    list[7] = Settings(1, 2, 0, true, false, {5, 6, 7});
    list[7].present = 1;
    list[8] = Settings(4);
    list[8].present = 1;
    list[9] = Settings(1, 4, 0, true, false, {1, 1, 1}); // not present: ignored
    e.SetLightList(list);
    e.SetColour(8, {9, 9, 9, 9});
    e.SetColour(9, {9, 9, 9, 9});
    e.Step();
    EXPECT_EQ(e.Colour(7), (Rgba{5, 6, 7, 135}));
    EXPECT_EQ(e.Colour(8), Rgba{});
    EXPECT_EQ(e.Colour(9), (Rgba{9, 9, 9, 9}));
}

TEST(LightOverlays, ColourCycleEntryCountsItsOwnSpeed) {
    ManualLightClock clock;
    RingLightEngine e(LightPage::MousePad, 4, clock);
    e.SetLightSettings(Settings(8));
    std::vector<LightState> list(4);
    list[2] = Settings(3, 4, 4);
    list[2].present = 1;
    e.SetLightList(list);
    for (int i = 0; i < 6; ++i)
        e.Step();
    EXPECT_EQ(e.Colour(2), (Rgba{kWheel[0].r, kWheel[0].g, kWheel[0].b, 255}));
    e.Step(); // seventh pass at speed 4
    EXPECT_EQ(e.Colour(2), (Rgba{kWheel[1].r, kWheel[1].g, kWheel[1].b, 255}));
    EXPECT_EQ(e.Colour(1), Rgba{}); // the mode itself is off
}

TEST(LightOverlays, MouseRunsNone) {
    ManualLightClock clock;
    MouseLightEngine e(19, clock);
    e.SetLightSettings(Settings(8));
    std::vector<LightState> list(19);
    list[0] = Settings(1, 4, 0, true, false, {7, 7, 7});
    list[0].present = 1;
    e.SetLightList(list);
    e.StepNow();
    EXPECT_EQ(e.Colour(0), Rgba{});
}

} // namespace
} // namespace nk7x::light
