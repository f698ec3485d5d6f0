// The headset's LED frame on the wire: the twelve reports in their order, the colour values with
// their brightness and their ceiling.
#include <gtest/gtest.h>

#include <vector>

#include "devices/headset/HeadsetLightReports.h"

namespace nk7x {
namespace {

TEST(HeadsetFrame, TwelveReportsInBankColourAndHalfOrder) {
    std::vector<light::Rgba> colours(13);
    for (int i = 0; i < 13; ++i)
        colours[static_cast<size_t>(i)] = {static_cast<uint8_t>(i * 10), static_cast<uint8_t>(i * 10 + 1),
                                           static_cast<uint8_t>(i * 10 + 2), 255};
    const HeadsetFrame frame = BuildHeadsetFrame(colours);
    const uint8_t banks[4] = {0x22, 0x22, 0x44, 0x44};
    const uint8_t codes[12] = {0xAA, 0xAD, 0xAA, 0xAD, 0xAB, 0xAE, 0xAB, 0xAE, 0xAC, 0xAF, 0xAC, 0xAF};
    for (int r = 0; r < 12; ++r) {
        const HeadsetReport& report = frame[static_cast<size_t>(r)];
        EXPECT_EQ(report[0], 0xFF);
        EXPECT_EQ(report[1], banks[r % 4]) << r;
        EXPECT_EQ(report[2], codes[r]) << r;
        EXPECT_EQ(report[3], 0);
        const int colour = r / 4;
        const bool second = r % 2 == 1;
        const int first = second ? 7 : 0;
        const int count = second ? 6 : 7;
        for (int k = 0; k < count; ++k) {
            const int led = first + k;
            EXPECT_EQ(report[static_cast<size_t>(4 + k)], ((led * 10 + colour) * 255) >> 8) << r << " " << k;
        }
        if (second) {
            EXPECT_EQ(report[10], 0) << "the second half carries six values";
        }
    }
}

TEST(HeadsetFrame, FullWhiteIsCappedAndMissingLedsAreDark) {
    EXPECT_EQ(HeadsetColourValue(255, 255), 0xF7);
    EXPECT_EQ(HeadsetColourValue(255, 128), 127);
    EXPECT_EQ(HeadsetColourValue(200, 0), 0);
    const std::vector<light::Rgba> two = {{255, 255, 255, 255}, {255, 0, 0, 255}};
    const HeadsetFrame frame = BuildHeadsetFrame(two);
    EXPECT_EQ(frame[0][4], 0xF7);
    EXPECT_EQ(frame[0][5], 0xF7);
    EXPECT_EQ(frame[0][6], 0);
    EXPECT_EQ(frame[4][5], 0) << "green of LED 1";
    const std::vector<light::Rgba> many(20, light::Rgba{10, 10, 10, 255});
    EXPECT_EQ(BuildHeadsetFrame(many)[1][9], 9) << "the 13th LED is sent, later ones are not";
}

} // namespace
} // namespace nk7x
