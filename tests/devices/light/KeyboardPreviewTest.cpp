// The keyboard preview: mode preparations, the per-mode steps and the key hooks.
#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/devices/light/LightTestSupport.h"

namespace nk7x::light {
namespace {

using test::KeysAt;
using test::Settings;

uint8_t Cell(int column, int row) {
    return kKeyMatrix[static_cast<std::size_t>(column)][static_cast<std::size_t>(row)];
}

TEST(KeyboardPreview, ChangeToKeyCycleSpreadsTheHues) {
    ManualLightClock clock;
    KeyboardLightEngine e(clock);
    e.SetLightSettings(Settings(11));
    const std::vector<int> expected = {33, 66, 99, 132, 165, 6};
    for (std::size_t k = 0; k < expected.size(); ++k)
        EXPECT_EQ(e.Hue(k), expected[k]) << k;
    e.StepNow();
    EXPECT_EQ(e.Hue(0), 34);
    const Rgb w = kWheel[7];
    EXPECT_EQ(e.Colour(5), (Rgba{w.r, w.g, w.b, 255}));
    // Changing colour or speed keeps the preview state; changing the mode resets it.
    e.SetLightSettings(Settings(11, 4, 3));
    EXPECT_EQ(e.Hue(0), 34);
}

TEST(KeyboardPreview, ResetPreviewClearsIntensitiesButKeepsHues) {
    ManualLightClock clock;
    KeyboardLightEngine e(clock);
    e.SetLightSettings(Settings(7));
    e.OnReactiveKey(30, KeyEventKind::Press);
    EXPECT_EQ(e.Intensity(30), 255);
    e.SetLightSettings(Settings(22));
    EXPECT_EQ(e.Intensity(30), 0);
    EXPECT_EQ(e.Counter(), 0);
    // Twinkle preparation: column 1 starts at 184; rows 0..6 step down by 35 (wrapping by +158).
    EXPECT_EQ(e.TwinklePhase(21), 79);   // (1, 2): 184 → 149 → 114 → 79
    EXPECT_EQ(e.TwinklePhase(84), 167);  // (1, 5): 79 → 44 → 9 → 167
    EXPECT_EQ(e.TwinklePhase(106), 132); // (1, 6)
    EXPECT_EQ(e.Hue(106), 7);
}

TEST(KeyboardPreview, PhasedTwinklePreparationReadsStartValuesByColumnAndRow) {
    ManualLightClock clock;
    KeyboardLightEngine e(clock);
    e.SetLightSettings(Settings(15));
    EXPECT_EQ(e.Intensity(105), kPhaseStart[6]); // (0, 6)
    EXPECT_EQ(e.Intensity(0), kPhaseStart[13]);  // (2, 1)
    EXPECT_EQ(e.Hue(0), 14);
    // Column 20 row 0 (key 125) is overwritten by no later cell: S[120].
    EXPECT_EQ(e.Intensity(125), kPhaseStart[120]);
    e.StepNow();
    EXPECT_EQ(e.Intensity(0), kPhaseStart[13] + 2);
}

TEST(KeyboardPreview, RunningKeyForwardsLightsEveryPositionThenPausesOneStep) {
    ManualLightClock clock;
    KeyboardLightEngine e(clock);
    e.SetLightSettings(Settings(21, 4, 0, true));
    for (int position = 0; position < 126; ++position) {
        e.StepNow();
        const std::set<int> lit = KeysAt(e, FadeIntensity(254));
        const uint8_t key = kRunOrder[static_cast<std::size_t>(position)];
        if (key == kNoSlot) {
            EXPECT_TRUE(lit.empty()) << "position " << position;
        } else if (KeyboardLightEngine::OrderedKey(key) != kNoKey) {
            EXPECT_EQ(lit, std::set<int>{key}) << "position " << position;
        } else {
            EXPECT_EQ(e.Intensity(key), 254) << "unfaded key at position " << position;
        }
    }
    EXPECT_EQ(e.Counter(), 126);
    e.StepNow();
    EXPECT_EQ(e.Counter(), 0);
    EXPECT_TRUE(KeysAt(e, FadeIntensity(254)).empty());
    e.StepNow();
    EXPECT_EQ(e.Intensity(0), FadeIntensity(254));
}

TEST(KeyboardPreview, RunningKeyBackwardsNeverReadsPastTheEnd) {
    ManualLightClock clock;
    KeyboardLightEngine e(clock);
    e.SetLightSettings(Settings(21, 4, 0, false));
    e.StepNow();
    EXPECT_EQ(e.Counter(), 126);
    e.StepNow(); // position 126 lights nothing
    EXPECT_EQ(e.Counter(), 125);
    EXPECT_TRUE(KeysAt(e, FadeIntensity(254)).empty());
}

TEST(KeyboardPreview, PresetColourTwoShowsWheelSeventy) {
    ManualLightClock clock;
    KeyboardLightEngine e(clock);
    LightState s = Settings(17, 3);
    s.secondaryMode = 2;
    e.SetLightSettings(s);
    e.StepNow();
    for (const Rgba& c : e.Colours())
        ASSERT_EQ(c, (Rgba{0, 255, 18, 195}));
    s.secondaryMode = 9;
    e.SetLightSettings(s);
    e.StepNow();
    EXPECT_EQ(e.Counter(), 174);
}

TEST(KeyboardPreview, PathTrailKeyFadesToZeroInFiftyOneSteps) {
    ManualLightClock clock;
    KeyboardLightEngine e(clock);
    e.SetLightSettings(Settings(25, 4, 0, true, false, {0, 100, 0}));
    e.StepNow(); // position 1 holds key 0, which no other position lights
    ASSERT_EQ(e.Counter(), 1);
    EXPECT_EQ(e.Intensity(0), 250);
    int steps = 1;
    while (e.Intensity(0) != 0 && steps < 100) {
        e.StepNow();
        ++steps;
    }
    EXPECT_EQ(steps, 51);
    EXPECT_EQ(e.Colour(0), (Rgba{0, 100, 0, 0}));
}

TEST(KeyboardPreview, ReactivePressSpreadsAsADiamond) {
    ManualLightClock clock;
    KeyboardLightEngine e(clock);
    e.SetLightSettings(Settings(8));
    const uint8_t key = Cell(9, 3);
    e.OnReactiveKey(key, KeyEventKind::Release); // a release seeds nothing
    e.StepNow();
    EXPECT_TRUE(KeysAt(e, 215).empty());
    e.OnReactiveKey(key, KeyEventKind::Press);
    const uint8_t lit = FadeIntensity(255);
    for (int distance = 0; distance <= 3; ++distance) {
        e.StepNow();
        std::set<int> expected;
        for (int c = 0; c < 23; ++c)
            for (int r = 0; r < 6; ++r)
                if (std::abs(c - 9) + std::abs(r - 3) == distance && Cell(c, r) != kNoKey)
                    expected.insert(Cell(c, r));
        EXPECT_EQ(KeysAt(e, lit), expected) << "distance " << distance;
    }
}

TEST(KeyboardPreview, PressInModesWithoutAHookChangesNothing) {
    for (uint8_t mode : {9, 13}) {
        ManualLightClock clock;
        KeyboardLightEngine e(clock);
        e.SetLightSettings(Settings(mode));
        std::vector<uint8_t> before, after;
        for (std::size_t k = 0; k < 126; ++k)
            before.push_back(e.Intensity(k));
        e.OnReactiveKey(50, KeyEventKind::Press);
        e.OnReactiveKey(50, KeyEventKind::Release);
        for (std::size_t k = 0; k < 126; ++k)
            after.push_back(e.Intensity(k));
        EXPECT_EQ(before, after) << int(mode);
        for (std::size_t a = 0; a < 4; ++a)
            EXPECT_EQ(e.WaveBits(a, 9), mode == 13 ? 0x40 : 0) << int(mode);
    }
}

TEST(KeyboardPreview, CentreRippleMovesFirstOnTheThirdStep) {
    ManualLightClock clock;
    KeyboardLightEngine e(clock);
    e.SetLightSettings(Settings(13));
    e.StepNow();
    e.StepNow();
    EXPECT_EQ(e.WaveBits(0, 9), 0x40);
    e.StepNow();
    EXPECT_EQ(e.WaveBits(0, 9), 0x20);
    EXPECT_EQ(e.WaveBits(0, 8), 0x40);
    EXPECT_EQ(e.Phase(), 1);
}

TEST(KeyboardPreview, HeldNeighbourKeepsCommonNeighboursBright) {
    ManualLightClock clock;
    KeyboardLightEngine e(clock);
    e.SetLightSettings(Settings(29));
    const uint8_t left = Cell(9, 3), right = Cell(10, 3), far = Cell(12, 3);
    e.OnReactiveKey(left, KeyEventKind::Press);
    e.OnReactiveKey(right, KeyEventKind::Press);
    EXPECT_TRUE(e.Held(left));
    EXPECT_EQ(e.Intensity(far), 60); // two columns right of the right key only
    // Cells in the neighbourhood of both keys.
    const std::vector<std::pair<int, int>> common = {{9, 2}, {10, 2}, {9, 4}, {10, 4}, {8, 3}, {11, 3}};
    std::vector<uint8_t> before;
    for (auto [c, r] : common)
        before.push_back(e.Intensity(Cell(c, r)));
    EXPECT_EQ(before[0], 240); // 150 from the near key, 90 from the diagonal one
    e.OnReactiveKey(right, KeyEventKind::Release);
    for (std::size_t i = 0; i < common.size(); ++i)
        EXPECT_EQ(e.Intensity(Cell(common[i].first, common[i].second)), before[i])
            << common[i].first << "," << common[i].second;
    EXPECT_EQ(e.Intensity(left), 255);
    EXPECT_EQ(e.Intensity(far), 0);
    EXPECT_FALSE(e.Held(right));
    EXPECT_TRUE(e.Held(left));
    // Releasing the last key dims its near cells by 15 and the others by 90.
    const uint8_t up = Cell(9, 2), twoUp = Cell(9, 1);
    const uint8_t upBefore = e.Intensity(up), twoUpBefore = e.Intensity(twoUp);
    e.OnReactiveKey(left, KeyEventKind::Release);
    EXPECT_EQ(e.Intensity(up), upBefore - 15);
    EXPECT_EQ(e.Intensity(twoUp), twoUpBefore > 89 ? twoUpBefore - 90 : 0);
}

TEST(KeyboardPreview, KeyHooksIgnoreKeysOutsideTheLayout) {
    ManualLightClock clock;
    KeyboardLightEngine e(clock);
    for (uint8_t mode : {7, 8, 29}) {
        e.SetLightSettings(Settings(mode));
        e.OnReactiveKey(200, KeyEventKind::Press);
        e.OnReactiveKey(126, KeyEventKind::Press);
        if (mode != 7)
            e.OnReactiveKey(16, KeyEventKind::Press); // a key index that no layout cell holds
        e.StepNow();
        EXPECT_EQ(KeysAt(e, 0).size(), 126u) << int(mode);
    }
    e.SetLightSettings(Settings(7));
    e.OnReactiveKey(16, KeyEventKind::Release); // the flash hook lights any key below 126, press or release
    EXPECT_EQ(e.Intensity(16), 255);
}

TEST(KeyboardPreview, ScriptedBurstRunsItsIntroThenOrbit) {
    ManualLightClock clock;
    KeyboardLightEngine e(clock);
    e.SetLightSettings(Settings(14));
    e.StepNow(); // intro frame 0 lights nothing
    EXPECT_TRUE(KeysAt(e, 215).empty());
    e.StepNow();
    EXPECT_EQ(KeysAt(e, 215), (std::set<int>{0, 115}));
    for (int i = 2; i < 20; ++i)
        e.StepNow();
    EXPECT_EQ(e.Phase(), 1);
    EXPECT_EQ(e.Counter(), 0);
    e.StepNow();
    EXPECT_EQ(KeysAt(e, 215), (std::set<int>{28, 92}));
    // Orbit through c = 30, then the ripple from key 50 once key 70 has gone dark.
    int guard = 0;
    while (e.Phase() != 3 && guard++ < 200)
        e.StepNow();
    EXPECT_EQ(e.Phase(), 3);
    while (e.Phase() == 3 && guard++ < 400)
        e.StepNow();
    EXPECT_EQ(e.Phase(), 4);
    EXPECT_NE(e.Intensity(118), 0);
}

TEST(KeyboardPreview, StepsOnlyWriteTheirKeysAndCustomAlphaKeepsColours) {
    ManualLightClock clock;
    KeyboardLightEngine e(clock);
    e.SetLightSettings(Settings(19, 1));
    e.SetColour(10, {1, 2, 3, 0});
    e.StepNow();
    EXPECT_EQ(e.Colour(10), (Rgba{1, 2, 3, 80}));
    // Row wave leaves the keys no layout cell holds as they were.
    e.SetColour(16, {4, 4, 4, 4});
    e.SetLightSettings(Settings(12));
    e.StepNow();
    EXPECT_EQ(e.Colour(16), (Rgba{4, 4, 4, 4}));
    const Rgb w = kWheel[(1 + 1 + 24 * 3) % 192];
    EXPECT_EQ(e.Colour(Cell(9, 3)), (Rgba{w.r, w.g, w.b, 255}));
}

TEST(KeyboardPreview, EveryModeStepsWithoutLeavingItsTables) {
    // Each mode over many steps, both directions and colour flags: the sanitizer build checks bounds.
    ManualLightClock clock;
    for (int mode = 0; mode < 32; ++mode)
        for (bool forwards : {true, false})
            for (bool multi : {true, false}) {
                KeyboardLightEngine e(clock, 7);
                e.SetLightSettings(Settings(static_cast<uint8_t>(mode), 4, 4, forwards, multi), true);
                for (int i = 0; i < 400; ++i) {
                    if (i % 37 == 0)
                        e.OnReactiveKey(static_cast<uint8_t>(i % 130),
                                        i % 2 == 0 ? KeyEventKind::Press : KeyEventKind::Release);
                    e.StepNow();
                    clock.Advance(16);
                }
                EXPECT_EQ(e.Colours().size(), 126u);
            }
}

} // namespace
} // namespace nk7x::light
