#include "profiles/ProfileRecords.h"

#include <gtest/gtest.h>

#include <vector>

namespace nk7x {
namespace {

// Every record survives serialise then parse, and a buffer one byte short is refused.
template <class Record> void ExpectRoundTrip(const Record& record) {
    auto bytes = record.Serialise();
    ASSERT_EQ(bytes.size(), Record::kSize);
    Record back;
    ASSERT_TRUE(Record::Parse(bytes, back));
    EXPECT_EQ(back, record);
    Record untouched;
    EXPECT_FALSE(Record::Parse(std::span<const uint8_t>(bytes.data(), bytes.size() - 1), untouched));
    EXPECT_EQ(untouched, Record{});
}

TEST(ProfileRecords, LightStateKeepsItsThirteenBytesInOrder) {
    LightState s{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13};
    auto b = s.Serialise();
    for (uint8_t i = 0; i < 13; ++i)
        EXPECT_EQ(b[i], i + 1);
    ExpectRoundTrip(s);
}

TEST(ProfileRecords, EffectFrameTimesAreLittleEndian) {
    EffectFrame f;
    f.mode = 1;
    f.blue = 8;
    f.unused[7] = 0xEE;
    f.time = 0x01020304;
    f.cycle = -2;
    auto b = f.Serialise();
    EXPECT_EQ(b[0], 1);
    EXPECT_EQ(b[7], 8);
    EXPECT_EQ(b[15], 0xEE);
    EXPECT_EQ((std::vector<uint8_t>(b.begin() + 16, b.end())),
              (std::vector<uint8_t>{0x04, 0x03, 0x02, 0x01, 0xFE, 0xFF, 0xFF, 0xFF}));
    ExpectRoundTrip(f);
}

TEST(ProfileRecords, KeyAssignmentLayoutAndPacking) {
    KeyAssignment k;
    k.keyIndex = 0x0102;
    k.assignment = KeyCode::FromPacked(0x200104);
    k.keyIndexAgain = 0x0102;
    k.defaultAssignment = KeyCode::FromPacked(0x700300);
    auto b = k.Serialise();
    EXPECT_EQ((std::vector<uint8_t>(b.begin(), b.end())),
              (std::vector<uint8_t>{0x02, 0x01, 0x20, 0x01, 0x04, 0, 0x02, 0x01, 0x70, 0x03, 0x00, 0}));
    EXPECT_EQ(k.assignment.Packed(), 0x200104u);
    // Bits above the three bytes are dropped, as a byte field keeps its low 8 bits.
    EXPECT_EQ(KeyCode::FromPacked(0x7F200104).Packed(), 0x200104u);
    EXPECT_EQ(KeyCode::FromPacked(-1).Packed(), 0xFFFFFFu);
    ExpectRoundTrip(k);
}

TEST(ProfileRecords, StageRecordsRoundTrip) {
    DpiStage d{1, 0, 0x0C80, 0x1900, 0x11, 0x22, 0x33};
    auto db = d.Serialise();
    EXPECT_EQ((std::vector<uint8_t>(db.begin(), db.end())),
              (std::vector<uint8_t>{1, 0, 0x80, 0x0C, 0x00, 0x19, 0x11, 0x22, 0x33}));
    ExpectRoundTrip(d);

    KeyboardSystemStages k{0x0102, 2, 3, 4, 5, 0xFFFF};
    auto kb = k.Serialise();
    EXPECT_EQ(kb[0], 0x02);
    EXPECT_EQ(kb[1], 0x01);
    EXPECT_EQ(kb[11], 0xFF);
    ExpectRoundTrip(k);
    ExpectRoundTrip(MouseSystemStages{500, 10, 1, 3, 0x0203, 4});
    ExpectRoundTrip(CustomColor{1, 2, 3, 4});

    HeadsetSystemSetStages h{1, 2, 13, -1, 1, 80, 0, 0x7FFFFFFF};
    auto hb = h.Serialise();
    EXPECT_EQ(hb[8], 13);
    EXPECT_EQ(hb[12], 0xFF);
    EXPECT_EQ(hb[31], 0x7F);
    ExpectRoundTrip(h);
}

} // namespace
} // namespace nk7x
