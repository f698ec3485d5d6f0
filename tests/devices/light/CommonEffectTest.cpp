// The synchronisation worker's common effects: breathing curve and hue, flashing toggle on a driven
// clock, spectrum wrap, static, off, and what happens with nothing stored.
#include <gtest/gtest.h>

#include "devices/light/CommonEffect.h"
#include "devices/light/LightClock.h"

namespace nk7x::light {
namespace {

CommonEffectSettings Effect(CommonEffect effect, uint8_t brightness = 4, uint8_t speed = 0,
                            bool forwards = true, bool multi = false, Rgb colour = {10, 20, 30}) {
    CommonEffectSettings s;
    s.effect = static_cast<int>(effect);
    s.brightness = brightness;
    s.speed = speed;
    s.direction = forwards ? 1 : 0;
    s.multiColor = multi ? 1 : 0;
    s.red = colour.r;
    s.green = colour.g;
    s.blue = colour.b;
    return s;
}

class CommonEffectTest : public ::testing::Test {
  protected:
    ManualLightClock m_clock{0};
    CommonEffectPlayer m_player{m_clock};

    CommonEffectPaint Step() {
        const std::optional<CommonEffectPaint> p = m_player.Step();
        EXPECT_TRUE(p.has_value());
        return p.value_or(CommonEffectPaint{{1, 2, 3}, 99});
    }
};

TEST_F(CommonEffectTest, PeriodsFollowTheSpeedAndAnUnknownSpeedReadsAsTheSlowest) {
    EXPECT_EQ(CommonEffectPeriod(0), 28);
    EXPECT_EQ(CommonEffectPeriod(1), 23);
    EXPECT_EQ(CommonEffectPeriod(2), 18);
    EXPECT_EQ(CommonEffectPeriod(3), 13);
    EXPECT_EQ(CommonEffectPeriod(4), 7);
    EXPECT_EQ(CommonEffectPeriod(5), 28);
    EXPECT_EQ(CommonEffectPeriod(-1), 28);
}

TEST_F(CommonEffectTest, NothingStoredPaintsNothing) {
    EXPECT_FALSE(m_player.Step().has_value());
    CommonEffectSettings s = Effect(CommonEffect::Static);
    s.effect = 5;
    m_player.SetSettings(s);
    EXPECT_FALSE(m_player.Step().has_value());
}

TEST_F(CommonEffectTest, BreathingFollowsTheCurveAndWrapsBothWays) {
    m_player.SetSettings(Effect(CommonEffect::Breathing, 2));
    CommonEffectPaint p = Step();
    EXPECT_EQ(m_player.CurvePosition(), 1);
    EXPECT_EQ(p.colour, (Rgb{10, 20, 30}));
    EXPECT_EQ(p.brightness, (135 * kBreathing[1]) >> 8);
    for (int i = 0; i < 62; ++i)
        p = Step();
    EXPECT_EQ(m_player.CurvePosition(), 63);
    EXPECT_EQ(p.brightness, 134); // 255 × 135 / 256 at the top of the curve
    for (int i = 0; i < 64; ++i)
        Step();
    EXPECT_EQ(m_player.CurvePosition(), 127);
    p = Step();
    EXPECT_EQ(m_player.CurvePosition(), 0);
    EXPECT_EQ(p.brightness, 0);
    EXPECT_EQ(m_player.WheelPosition(), 0); // single colour: the wheel stays

    // Backwards from the dark end wraps to the last position.
    m_player.SetSettings(Effect(CommonEffect::Breathing, 4, 0, false));
    p = Step();
    EXPECT_EQ(m_player.CurvePosition(), 127);
    EXPECT_EQ(p.brightness, (255 * kBreathing[127]) >> 8);
}

TEST_F(CommonEffectTest, MultiColourBreathingMovesTheHueAtTheDarkEnd) {
    m_player.SetSettings(Effect(CommonEffect::Breathing, 4, 0, true, true));
    CommonEffectPaint p = Step(); // position 1
    EXPECT_EQ(m_player.WheelPosition(), 16);
    EXPECT_EQ(p.colour, kWheel[16]);
    Step(); // position 2: no change
    EXPECT_EQ(m_player.WheelPosition(), 16);
    for (int i = 0; i < 125; ++i)
        Step();
    EXPECT_EQ(m_player.CurvePosition(), 127);
    EXPECT_EQ(m_player.WheelPosition(), 16);
    Step(); // 0
    EXPECT_EQ(m_player.WheelPosition(), 32);
    p = Step(); // 1
    EXPECT_EQ(m_player.WheelPosition(), 48);
    EXPECT_EQ(p.colour, kWheel[48]);
    // Backwards the dark end is passed as 1, then 0: the same two moves.
    m_player.SetSettings(Effect(CommonEffect::Breathing, 4, 0, false, true));
    Step(); // 0
    EXPECT_EQ(m_player.WheelPosition(), 64);
    Step(); // 127
    EXPECT_EQ(m_player.WheelPosition(), 64);
}

TEST_F(CommonEffectTest, MultiColourBreathingWrapsTheWheelToItsStart) {
    m_player.SetSettings(Effect(CommonEffect::Breathing, 4, 0, true, true));
    // Positions 0 and 1 each move the hue by 16: twelve moves go round the whole wheel.
    int moves = 0;
    uint8_t last = m_player.WheelPosition();
    bool wrapped = false;
    for (int i = 0; i < 6 * 128 + 2; ++i) {
        Step();
        if (m_player.WheelPosition() != last) {
            ++moves;
            if (m_player.WheelPosition() < last) {
                EXPECT_EQ(last, 176);
                EXPECT_EQ(m_player.WheelPosition(), 0);
                wrapped = true;
            } else {
                EXPECT_EQ(m_player.WheelPosition(), last + 16);
            }
            last = m_player.WheelPosition();
        }
    }
    EXPECT_EQ(moves, 13);
    EXPECT_TRUE(wrapped);
}

TEST_F(CommonEffectTest, FlashingTogglesAfterThePeriodTimesTwoHundredMilliseconds) {
    m_player.SetSettings(Effect(CommonEffect::Flashing, 1, 4)); // period 7: 1400 ms
    CommonEffectPaint p = Step();
    EXPECT_FALSE(m_player.FlashOn());
    EXPECT_EQ(p, (CommonEffectPaint{}));
    m_clock.Advance(1399);
    EXPECT_EQ(Step(), (CommonEffectPaint{}));
    m_clock.Advance(1);
    p = Step();
    EXPECT_TRUE(m_player.FlashOn());
    EXPECT_EQ(m_player.WheelPosition(), 14);
    EXPECT_EQ(p, (CommonEffectPaint{{10, 20, 30}, 80})); // single colour: the fixed colour
    // Steps between toggles keep the state.
    m_clock.Advance(700);
    EXPECT_EQ(Step(), p);
    m_clock.Advance(700);
    EXPECT_EQ(Step(), (CommonEffectPaint{}));
    EXPECT_EQ(m_player.WheelPosition(), 28);

    // A slower speed waits longer: speed 0 is 28 × 200 ms.
    m_player.SetSettings(Effect(CommonEffect::Flashing, 4, 0, true, true));
    m_clock.Advance(5599);
    Step();
    EXPECT_FALSE(m_player.FlashOn());
    m_clock.Advance(1);
    p = Step();
    EXPECT_TRUE(m_player.FlashOn());
    EXPECT_EQ(p, (CommonEffectPaint{kWheel[42], 255}));
}

TEST_F(CommonEffectTest, FlashingStepsTheWheelByFourteenAndWrapsToZero) {
    m_player.SetSettings(Effect(CommonEffect::Flashing, 4, 4, true, true));
    for (int toggle = 1; toggle <= 13; ++toggle) {
        m_clock.Advance(1400);
        Step();
        EXPECT_EQ(m_player.WheelPosition(), 14 * toggle);
    }
    m_clock.Advance(1400);
    Step(); // 182 + 14 = 196: past the wheel
    EXPECT_EQ(m_player.WheelPosition(), 0);
}

TEST_F(CommonEffectTest, SpectrumWrapsAtTheEndOfTheWheel) {
    m_player.SetSettings(Effect(CommonEffect::Spectrum, 3));
    CommonEffectPaint p = Step();
    EXPECT_EQ(p, (CommonEffectPaint{kWheel[1], 195}));
    for (int i = 0; i < 190; ++i)
        p = Step();
    EXPECT_EQ(m_player.WheelPosition(), 191);
    EXPECT_EQ(p.colour, (Rgb{255, 0, 0}));
    p = Step();
    EXPECT_EQ(m_player.WheelPosition(), 0);
    EXPECT_EQ(p.colour, kWheel[0]);
}

TEST_F(CommonEffectTest, StaticAndOff) {
    m_player.SetSettings(Effect(CommonEffect::Static, 0));
    EXPECT_EQ(Step(), (CommonEffectPaint{{10, 20, 30}, 30}));
    m_player.SetSettings(Effect(CommonEffect::Static, 9)); // a level past the table reads as the top
    EXPECT_EQ(Step(), (CommonEffectPaint{{10, 20, 30}, 255}));
    m_player.SetSettings(Effect(CommonEffect::Off, 4, 0, true, true));
    EXPECT_EQ(Step(), (CommonEffectPaint{{0, 0, 0}, 0}));
}

} // namespace
} // namespace nk7x::light
