#include "link/CommandFrame.h"

#include <gtest/gtest.h>

#include <numeric>

using namespace nk7x;

TEST(CommandFrame, LayoutAndChecksumLowByteFirst) {
    const uint8_t payload[3] = {0xAA, 0xBB, 0xCC};
    const FrameBytes f = CommandRequest::Make(6, 3, 0x1234, payload).Serialise();
    EXPECT_EQ(f[0], 4);
    EXPECT_EQ(f[3], 6);
    EXPECT_EQ(f[4], 3);
    EXPECT_EQ(f[5], 0x34);
    EXPECT_EQ(f[6], 0x12);
    EXPECT_EQ(f[7], 0);
    EXPECT_EQ(f[8], 0xAA);
    EXPECT_EQ(f[10], 0xCC);
    for (size_t i = 11; i < f.size(); ++i)
        ASSERT_EQ(f[i], 0) << "byte " << i << " beyond the payload";
    const unsigned sum = 6 + 3 + 0x34 + 0x12 + 0xAA + 0xBB + 0xCC;
    EXPECT_EQ(f[1], sum & 0xFF);
    EXPECT_EQ(f[2], sum >> 8);
}

TEST(CommandFrame, ChecksumEdgeCases) {
    // Only byte 3 set to 1: the sum is 1, stored as 01 00.
    const FrameBytes one = CommandRequest::Make(1, 0, 0, nullptr).Serialise();
    EXPECT_EQ(one[1], 0x01);
    EXPECT_EQ(one[2], 0x00);

    // Bytes 0-2 are outside the sum; the largest sum (61 x 255) still fits 16 bits.
    FrameBytes full;
    full.fill(0xFF);
    EXPECT_EQ(FrameChecksum(full.data()), 61 * 255);
    full[0] = full[1] = full[2] = 0;
    EXPECT_EQ(FrameChecksum(full.data()), 61 * 255);

    std::array<uint8_t, kFramePayloadSize> data;
    std::iota(data.begin(), data.end(), uint8_t{200});
    const FrameBytes f = CommandRequest::Make(0xAA, 56, 0xFFFF, data.data()).Serialise();
    unsigned sum = 0;
    for (size_t i = 3; i < 64; ++i)
        sum += f[i];
    EXPECT_EQ(f[1] | (f[2] << 8), sum);
}

TEST(CommandFrame, PayloadIsCutToOneFrameAndParsesBack) {
    std::array<uint8_t, 80> big;
    big.fill(0x5A);
    CommandRequest r = CommandRequest::Make(21, 80, 7, big.data());
    const FrameBytes f = r.Serialise();
    EXPECT_EQ(f[63], 0x5A);
    CommandRequest back;
    ASSERT_TRUE(CommandRequest::Parse(f.data(), f.size(), back));
    EXPECT_EQ(back.command, 21);
    EXPECT_EQ(back.offset, 7);
    EXPECT_EQ(back.payload, r.payload);
    EXPECT_FALSE(CommandRequest::Parse(f.data(), 63, back));
}

TEST(CommandFrame, ReplyStatusDecidesTheResult) {
    FrameBytes reply{};
    reply[3] = 5;
    reply[8] = 0x42;
    for (uint8_t status : {0x00, 0x01, 0x80, 0xFD}) {
        reply[7] = status;
        EXPECT_EQ(ReplyView(reply.data()).StatusResult(), kResultOk) << int(status);
    }
    reply[7] = 0xFF;
    EXPECT_EQ(ReplyView(reply.data()).StatusResult(), kResultDeviceFailed);
    reply[7] = 0xFE;
    EXPECT_EQ(ReplyView(reply.data()).StatusResult(), kResultDeviceRefused);
    EXPECT_EQ(ReplyView(reply.data()).Data()[0], 0x42);
    EXPECT_EQ(ReplyView(reply.data()).Echo(), 5);
}

TEST(CommandFrame, HexLineGroupsOfFourWithThreeThenTwoBlanks) {
    std::array<uint8_t, 32> bytes;
    std::iota(bytes.begin(), bytes.end(), uint8_t{0xE0});
    EXPECT_EQ(FormatHexLine(bytes.data()), "e0 e1 e2 e3   e4 e5 e6 e7   e8 e9 ea eb   ec ed ee ef  "
                                           "f0 f1 f2 f3  f4 f5 f6 f7  f8 f9 fa fb  fc fd fe ff");
}
