// Reading numbers out of what the chip library writes: bounded text and lenient leading numbers.
#include <gtest/gtest.h>

#include "devices/headset/audio/ChipText.h"

namespace nk7x {
namespace {

TEST(ChipText, SixteenBitTextMustEndInsideItsBufferAndBeAscii) {
    const char16_t terminated[] = u"0.37";
    EXPECT_EQ(AsciiFromUtf16(terminated, 5), "0.37");
    EXPECT_EQ(AsciiFromUtf16(terminated, 4), std::nullopt); // the NUL lies beyond the buffer
    const char16_t wide[] = u"3\u00e97";
    EXPECT_EQ(AsciiFromUtf16(wide, 4), std::nullopt);
    EXPECT_EQ(AsciiFromUtf16(nullptr, 4), std::nullopt);
    const char narrow[] = {'1', ',', '2'};
    EXPECT_EQ(BoundedText(narrow, sizeof narrow), std::nullopt);
    EXPECT_EQ(BoundedText("1,2", 4), "1,2");
}

TEST(ChipText, LeadingNumbersIgnoreWhatFollowsButNeedADigit) {
    EXPECT_EQ(LeadingInteger(" 37"), 37);
    EXPECT_EQ(LeadingInteger("-4 dB"), -4);
    EXPECT_EQ(LeadingInteger("+2"), 2);
    EXPECT_EQ(LeadingInteger("1.9"), 1);
    EXPECT_EQ(LeadingInteger("on"), std::nullopt);
    EXPECT_EQ(LeadingInteger(""), std::nullopt);
    EXPECT_EQ(LeadingInteger("99999999999999999999"), std::nullopt);
    EXPECT_DOUBLE_EQ(*LeadingNumber("0.370000"), 0.37);
    EXPECT_DOUBLE_EQ(*LeadingNumber(" 1e-1x"), 0.1);
    EXPECT_EQ(LeadingNumber("nan"), std::nullopt);
    EXPECT_EQ(LeadingNumber("inf"), std::nullopt);
    EXPECT_EQ(LeadingNumber("."), std::nullopt);
}

TEST(ChipText, FeatureListsAreCommaSeparatedNumbersOrNothing) {
    EXPECT_EQ(NumberList("131072, 0,0,0,16,0,64"), (std::vector<int64_t>{131072, 0, 0, 0, 16, 0, 64}));
    EXPECT_EQ(NumberList(""), std::vector<int64_t>{});
    EXPECT_EQ(NumberList("1,,2"), std::nullopt);
    EXPECT_EQ(NumberList("1,2,"), std::nullopt);
    EXPECT_EQ(NumberList("1,2x"), std::nullopt);
    EXPECT_EQ(NumberList("-3"), std::vector<int64_t>{-3});
}

} // namespace
} // namespace nk7x
