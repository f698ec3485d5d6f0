// The keyboard's settings record and macro image, byte for byte.
#include <gtest/gtest.h>

#include <vector>

#include "devices/keyboard/KeyboardRecords.h"

namespace nk7x {
namespace {

LightState Light(uint8_t mode, uint8_t speed, uint8_t r, uint8_t g, uint8_t b) {
    LightState s;
    s.mode = mode;
    s.brightness = 3;
    s.speed = speed;
    s.direction = 1;
    s.multiColor = 1;
    s.red = r;
    s.green = g;
    s.blue = b;
    s.unused8 = 0x55; // never travels
    s.unused9 = 0x66;
    s.present = 1;
    s.secondaryMode = 7;
    s.customGroup = 2;
    return s;
}

TEST(KeyboardSettingsRecord, LayoutOfEveryByte) {
    KeyboardSystemStages stages;
    stages.repeatRate = 99; // does not travel
    stages.repeatDelay = 3;
    stages.wKeyFlag = 1;
    stages.key6Flag = 1;
    stages.winKeyFlag = 1;
    stages.pollingRate = 2;
    const auto bytes = KeyboardSettingsRecord::From(0, Light(5, 1, 0xFF, 0x00, 0x80), stages).Serialise();
    const std::array<uint8_t, 26> expected = {0, 5, 3, 3, 1, 1, 0xFF, 0x00, 0x80, 0, 0, 0, 0,
                                              0, 0, 0, 0, 0, 7, 1,    1,    1,    2, 0, 0, 2};
    EXPECT_EQ(bytes, expected);
}

TEST(KeyboardSettingsRecord, ModesFromTwentyTravelAsZeroAndSpeedIsInverted) {
    for (uint8_t mode : {uint8_t(20), uint8_t(21), uint8_t(200)})
        EXPECT_EQ(KeyboardSettingsRecord::From(0, Light(mode, 0, 0, 0, 0), {}).Serialise()[1], 0)
            << int(mode);
    EXPECT_EQ(KeyboardSettingsRecord::From(0, Light(19, 0, 0, 0, 0), {}).Serialise()[1], 19);
    for (uint8_t speed = 0; speed <= 4; ++speed)
        EXPECT_EQ(KeyboardSettingsRecord::From(0, Light(1, speed, 0, 0, 0), {}).Serialise()[3], 4 - speed);
    // A speed out of range wraps in 8 bits rather than failing.
    EXPECT_EQ(KeyboardSettingsRecord::From(0, Light(1, 6, 0, 0, 0), {}).Serialise()[3], 0xFE);
}

TEST(KeyboardSettingsRecord, ParseReadsTheKeyboardsCounting) {
    std::vector<uint8_t> bytes(26, 0);
    bytes[1] = 4;
    bytes[3] = 1;
    bytes[6] = 0x12;
    bytes[7] = 0x34;
    bytes[8] = 0x56;
    bytes[18] = 9;
    bytes[19] = 1;
    bytes[21] = 1;
    KeyboardSettingsRecord r;
    ASSERT_TRUE(KeyboardSettingsRecord::Parse(bytes, r));
    EXPECT_EQ(r.light.mode, 4);
    EXPECT_EQ(r.light.speed, 3);
    EXPECT_EQ(r.light.red, 0x12);
    EXPECT_EQ(r.light.green, 0x34);
    EXPECT_EQ(r.light.blue, 0x56);
    EXPECT_EQ(r.light.secondaryMode, 9);
    EXPECT_EQ(r.stages.wKeyFlag, 1);
    EXPECT_EQ(r.stages.key6Flag, 0);
    EXPECT_EQ(r.stages.winKeyFlag, 1);

    KeyboardSettingsRecord untouched;
    untouched.index = 42;
    EXPECT_FALSE(KeyboardSettingsRecord::Parse(std::span<const uint8_t>(bytes.data(), 25), untouched));
    EXPECT_EQ(untouched.index, 42);
}

std::vector<MacroEvent> Events(size_t n) {
    std::vector<MacroEvent> v;
    for (size_t i = 0; i < n; ++i)
        v.push_back({i % 2 == 0, 10, static_cast<uint8_t>(0x04 + i), static_cast<uint16_t>(300 + i)});
    return v;
}

TEST(MacroImage, HeaderOffsetsAndEventsOfThreeMacros) {
    MacroImage image;
    image.macros = {Events(10), Events(0), Events(5)};
    ASSERT_EQ(image.Size(), 94u);
    const std::vector<uint8_t> bytes = image.Serialise();
    ASSERT_EQ(bytes.size(), 94u);
    EXPECT_EQ(bytes[0], 0xAA);
    EXPECT_EQ(bytes[1], 0x55);
    EXPECT_EQ(bytes[2], 94);
    EXPECT_EQ(bytes[3], 0);
    EXPECT_EQ(bytes[4], 3);
    EXPECT_EQ(bytes[5], 0);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 16, bytes.begin() + 22),
              (std::vector<uint8_t>{22, 0, 66, 0, 70, 0}));
    // Block counts.
    EXPECT_EQ(bytes[22], 10);
    EXPECT_EQ(bytes[66], 0);
    EXPECT_EQ(bytes[70], 5);
    // First event of the first block: delay 300 little-endian, type 10 with the press bit, usage 4.
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 26, bytes.begin() + 30),
              (std::vector<uint8_t>{0x2C, 0x01, 0x8A, 0x04}));
    // Second event is a release: no press bit.
    EXPECT_EQ(bytes[32], 0x0A);
    // Last event of the last block ends the image.
    EXPECT_EQ(bytes[93], 0x04 + 4);

    MacroImage back;
    ASSERT_TRUE(MacroImage::Parse(bytes, back));
    ASSERT_EQ(back.macros.size(), 3u);
    EXPECT_EQ(back.macros[0], image.macros[0]);
    EXPECT_TRUE(back.macros[1].empty());
    EXPECT_EQ(back.macros[2], image.macros[2]);
}

TEST(MacroImage, MalformedImagesAreRefused) {
    MacroImage image;
    image.macros = {Events(3)};
    const std::vector<uint8_t> good = image.Serialise();
    MacroImage out;
    ASSERT_TRUE(MacroImage::Parse(good, out));

    auto badMagic = good;
    badMagic[0] = 0;
    EXPECT_FALSE(MacroImage::Parse(badMagic, out));
    auto longer = good;
    longer[2] = static_cast<uint8_t>(good.size() + 1); // claims more than there is
    EXPECT_FALSE(MacroImage::Parse(longer, out));
    auto offsetOut = good;
    offsetOut[16] = 0xF0; // block beyond the image
    EXPECT_FALSE(MacroImage::Parse(offsetOut, out));
    auto tooManyEvents = good;
    tooManyEvents[18] = 200;
    EXPECT_FALSE(MacroImage::Parse(tooManyEvents, out));
    EXPECT_FALSE(MacroImage::Parse(std::span<const uint8_t>(good.data(), 10), out));
}

TEST(MacroImage, AnImageBeyondSixteenBitsIsNotBuilt) {
    MacroImage image;
    image.macros = {Events(16380)}; // 16 + 6 + 65520 bytes
    EXPECT_GT(image.Size(), MacroImage::kMaxSize);
    EXPECT_TRUE(image.Serialise().empty());
}

} // namespace
} // namespace nk7x
