// The engine's constant tables and counters against their documented values.
#include <gtest/gtest.h>

#include <set>

#include "devices/light/LightTables.h"

namespace nk7x::light {
namespace {

TEST(LightTables, WheelEntriesAndRepeat) {
    EXPECT_EQ(kWheel[0], (Rgb{255, 1, 0}));
    EXPECT_EQ(kWheel[31], (Rgb{255, 255, 0}));
    EXPECT_EQ(kWheel[63], (Rgb{0, 255, 0}));
    EXPECT_EQ(kWheel[127], (Rgb{0, 0, 255}));
    EXPECT_EQ(kWheel[191], (Rgb{255, 0, 0}));
    EXPECT_EQ(kWheel[70], (Rgb{0, 255, 18}));
    EXPECT_EQ(kWheel[32], (Rgb{248, 255, 0}));
    for (int i = 192; i < 256; ++i)
        EXPECT_EQ(kWheel[static_cast<std::size_t>(i)], kWheel[static_cast<std::size_t>(i - 192)]) << i;
}

TEST(LightTables, AlphasAndCurves) {
    EXPECT_EQ(BrightnessAlpha(0), 30);
    EXPECT_EQ(BrightnessAlpha(4), 255);
    EXPECT_EQ(BrightnessAlpha(200), 255); // an out-of-range level reads as the brightest
    EXPECT_EQ(Scale(kBreathing[63], BrightnessAlpha(2)), 134);
    EXPECT_EQ(kBreathing[0], 0);
    EXPECT_EQ(kBreathing[64], 255);
    EXPECT_EQ(kBreathing[127], 0);
    EXPECT_EQ(kWave[0], 22);
    EXPECT_EQ(kWave[2], 27);
    EXPECT_EQ(kWave[47], 255);
    EXPECT_EQ(kWave[48], 255);
    EXPECT_EQ(kWave[95], 22);
    EXPECT_EQ(kTwinkle[24], 255);
    EXPECT_EQ(kTwinkle[25], 248);
    EXPECT_EQ(kTwinkle[88], 0);
    EXPECT_EQ(kTwinkle[87], 1);
    EXPECT_EQ(kTwinkle[191], 0);
}

TEST(LightTables, LayoutsHoldEveryOrderedKeyOnce) {
    std::set<int> order(kKeyOrder.begin(), kKeyOrder.end());
    EXPECT_EQ(order.size(), kKeyOrder.size());
    for (int k : {16, 17, 18, 19, 20, 62, 79, 83, 100, 104, 120, 124})
        EXPECT_EQ(order.count(k), 0u) << k;
    std::set<int> matrix;
    for (const auto& column : kKeyMatrix)
        for (uint8_t k : column)
            if (k != kNoKey) {
                EXPECT_TRUE(matrix.insert(k).second) << int(k);
            }
    for (const auto& ring : kRingMatrix)
        for (uint8_t k : ring)
            if (k != kNoSlot) {
                EXPECT_EQ(order.count(k), 1u) << "ring key outside the order: " << int(k);
            }
    EXPECT_EQ(kRunOrder[66], kNoSlot);
    EXPECT_EQ(kRunOrder[80], kNoSlot);
    EXPECT_EQ(kRunOrder[109], 105);
    EXPECT_EQ(kRunOrder[110], kNoSlot);
    EXPECT_EQ(kPhaseStart[138], 0);
}

TEST(LightTables, AdvanceWrapsAtBothEnds) {
    EXPECT_EQ(Advance(true, 128, 127, 1), 0);
    EXPECT_EQ(Advance(false, 128, 0, 1), 127);
    EXPECT_EQ(Advance(true, 128, 5, 1), 6);
    EXPECT_EQ(Advance(false, 128, 5, 1), 4);
    EXPECT_EQ(Advance(false, 96, 1, 3), 93); // 1 - 3 wraps past zero
    EXPECT_EQ(Advance(true, 96, 94, 3), 0);
    EXPECT_EQ(Advance(true, 192, 250, 1), 0); // a counter beyond the limit restarts
}

TEST(LightTables, FadeSequenceFromFullReachesZeroAfterEighteenSteps) {
    const std::vector<int> expected = {215, 175, 135, 95, 65, 35, 25, 17, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0};
    uint8_t v = 255;
    std::vector<int> seen;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        v = FadeIntensity(v);
        seen.push_back(v);
    }
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(FadeIntensity(0), 0);
}

} // namespace
} // namespace nk7x::light
