#include <gtest/gtest.h>

#include <vector>

#include "link/hid/HidTestUtil.h"
#include "link/hid/HidTransport.h"
#include "link/hid/ReportDecoder.h"
#include "link/hid/ReportItems.h"

namespace nk7x {
namespace {

using Bytes = std::vector<uint8_t>;

struct Decoded {
    std::vector<HidCollectionInfo> cols;
    std::vector<HidReportItem> items;

    Decoded(const Bytes& descriptor, size_t collection, HidReportType type = HidReportType::Input) {
        EXPECT_EQ(ParseReportDescriptor(descriptor.data(), descriptor.size(), cols), HidParseError::None);
        size_t budget = kHidMaxUsageListEntries;
        if (collection < cols.size()) {
            EXPECT_TRUE(BuildReportItems(cols[collection], type, items, budget));
        }
    }
};

int Decode(Decoded& d, size_t collection, const Bytes& report, HidReportType type = HidReportType::Input) {
    return CHidTransport::DecodeReport(d.items.data(), static_cast<uint32_t>(d.items.size()), report.data(),
                                       static_cast<uint32_t>(report.size()), type, &d.cols[collection]);
}

TEST(DecodeReport, ConsumerControlCodes) {
    Decoded d(test::LoadFixture("0C45_0820_0001_0080.rdesc"), 2);
    ASSERT_EQ(d.items.size(), 1u);
    const HidReportItem& item = d.items[0];
    EXPECT_TRUE(item.isButton);
    EXPECT_EQ(item.usagePage, 0x0C);
    EXPECT_EQ(item.reportId, 3u);
    EXPECT_EQ(item.usageMin, 0u);
    EXPECT_EQ(item.usageMax, 0x0FFFu);
    ASSERT_EQ(item.usageListCapacity, 1u);
    ASSERT_EQ(item.usageList.size(), 1u);

    EXPECT_EQ(Decode(d, 2, {0x03, 0x01, 0x04}), 1);
    EXPECT_TRUE(item.isSet);
    EXPECT_EQ(item.status, kHidStatusSuccess);
    EXPECT_EQ(item.usageList[0], 0x0401);
    for (uint16_t p : {0, 1, 2, 7}) {
        const uint16_t code = static_cast<uint16_t>(0x500 + p);
        EXPECT_EQ(Decode(d, 2, {0x03, static_cast<uint8_t>(code & 0xFF), static_cast<uint8_t>(code >> 8)}),
                  1);
        EXPECT_EQ(item.usageList[0], code);
    }
    // Nothing pressed: the list holds no usage.
    EXPECT_EQ(Decode(d, 2, {0x03, 0x00, 0x00}), 1);
    EXPECT_EQ(item.usageList[0], 0);
    // Outside the logical range the field means nothing.
    EXPECT_EQ(Decode(d, 2, {0x03, 0x00, 0x10}), 1);
    EXPECT_EQ(item.usageList[0], 0);
}

TEST(DecodeReport, ForeignReportIdChangesNothing) {
    Decoded d(test::LoadFixture("0C45_0820_0001_0080.rdesc"), 2);
    ASSERT_EQ(Decode(d, 2, {0x03, 0x01, 0x04}), 1);
    d.items[0].isSet = false;
    const std::vector<uint16_t> before = d.items[0].usageList;
    Bytes command(64, 0);
    command[0] = 0x04;
    command[1] = 0x77;
    EXPECT_EQ(Decode(d, 2, command), 1);
    EXPECT_FALSE(d.items[0].isSet);
    EXPECT_EQ(d.items[0].usageList, before);
    EXPECT_EQ(d.items[0].status, kHidStatusSuccess);
}

TEST(DecodeReport, KeyboardUsagesStayInTheirItemsRange) {
    Decoded d(test::LoadFixture("0C45_0820_0001_0080.rdesc"), 1);
    ASSERT_EQ(d.items.size(), 2u);
    ASSERT_EQ(d.items[0].usageListCapacity, 14u);
    // Left shift, then the keys A and B.
    ASSERT_EQ(Decode(d, 1, {0x02, 0x02, 0x00, 0x04, 0x05, 0x00, 0x00, 0x00, 0x00}), 1);
    const std::vector<uint16_t> modifiers = {0xE1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(d.items[0].usageList, modifiers);
    // The key array's range 0..0xFF covers the modifier too, and keeps the order of the report.
    const std::vector<uint16_t> keys = {0xE1, 0x04, 0x05, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(d.items[1].usageList, keys);
    // A later report with fewer keys leaves no stale usage behind.
    ASSERT_EQ(Decode(d, 1, {0x02, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00, 0x00, 0x00}), 1);
    EXPECT_EQ(d.items[1].usageList[0], 0x05);
    EXPECT_EQ(d.items[1].usageList[1], 0);
    EXPECT_EQ(d.items[0].usageList[0], 0);
}

TEST(DecodeReport, BootKeyboardWithoutReportIds) {
    Decoded d(test::LoadFixture("FFFF_0002_0001_0006.rdesc"), 0);
    ASSERT_EQ(d.items.size(), 2u);
    ASSERT_EQ(Decode(d, 0, {0x00, 0x00, 0x00, 0x1E, 0x00, 0x00, 0x00, 0x00, 0x00}), 1);
    EXPECT_EQ(d.items[1].usageList[0], 0x1E);
}

TEST(DecodeReport, MouseValuesAndMissingPhysicalRange) {
    Decoded d(test::LoadFixture("FFFF_0001_0001_0002.rdesc"), 0);
    ASSERT_EQ(d.items.size(), 5u); // buttons, X, Y, wheel, pan
    // Buttons 1 and 3, X = -5, Y = 300, wheel = -1, pan = 2.
    const Bytes report = {0x01, 0x05, 0xFB, 0xFF, 0x2C, 0x01, 0xFF, 0x02};
    ASSERT_EQ(Decode(d, 0, report), 1);
    EXPECT_EQ(d.items[0].usageList[0], 1);
    EXPECT_EQ(d.items[0].usageList[1], 3);
    EXPECT_EQ(d.items[0].usageList[2], 0);
    EXPECT_EQ(d.items[1].usage, 0x30);
    EXPECT_EQ(d.items[1].value, 0xFFFBu); // raw bits
    EXPECT_EQ(d.items[2].value, 300u);
    EXPECT_EQ(d.items[3].value, 0xFFu);
    EXPECT_EQ(d.items[4].usagePage, 0x0C);
    EXPECT_EQ(d.items[4].value, 2u);
    for (size_t i = 1; i < 5; ++i) {
        EXPECT_TRUE(d.items[i].isSet);
        // No physical range was declared: scaling is not possible.
        EXPECT_EQ(d.items[i].status, kHidStatusBadLogPhyValues);
    }
}

TEST(DecodeReport, ShortReportStopsAtTheFirstValue) {
    Decoded d(test::LoadFixture("FFFF_0001_0001_0002.rdesc"), 0);
    EXPECT_EQ(Decode(d, 0, {0x01, 0x01, 0x10, 0x00}), 0);
    EXPECT_TRUE(d.items[0].isSet);
    EXPECT_EQ(d.items[0].status, kHidStatusInvalidReportLength);
    EXPECT_EQ(d.items[1].status, kHidStatusInvalidReportLength);
    EXPECT_FALSE(d.items[1].isSet);
    for (size_t i = 2; i < d.items.size(); ++i) {
        EXPECT_FALSE(d.items[i].isSet);
        EXPECT_EQ(d.items[i].status, kHidStatusSuccess);
    }
}

TEST(DecodeReport, ScaledFeatureValues) {
    Decoded d(test::LoadFixture("FFFF_0001_0001_0002.rdesc"), 2, HidReportType::Feature);
    ASSERT_EQ(d.items.size(), 2u);
    Bytes report = {0x05, 0x80, 0xFF, 0, 0, 0, 0, 0, 0};
    ASSERT_EQ(Decode(d, 2, report, HidReportType::Feature), 1);
    EXPECT_EQ(d.items[0].value, 128u);
    EXPECT_EQ(d.items[0].status, kHidStatusSuccess);
    EXPECT_EQ(d.items[0].scaledValue, 128 * 1000 / 255);
    EXPECT_EQ(d.items[1].value, 255u); // first field of the value array
    EXPECT_EQ(d.items[1].scaledValue, 1000);
}

TEST(DecodeReport, ValueOutsideItsLogicalRange) {
    // Logical 0..100, physical -50..50; the second value has a null state.
    const Bytes desc = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x15, 0x00, 0x25, 0x64, 0x35, 0xCE, 0x45,
                        0x32, 0x75, 0x08, 0x95, 0x01, 0x09, 0x01, 0x81, 0x02, 0x09, 0x02, 0x81, 0x42, 0xC0};
    Decoded d(desc, 0);
    ASSERT_EQ(d.items.size(), 2u);
    ASSERT_EQ(Decode(d, 0, {0x00, 75, 200}), 1);
    EXPECT_EQ(d.items[0].status, kHidStatusSuccess);
    EXPECT_EQ(d.items[0].scaledValue, 25);
    EXPECT_EQ(d.items[1].value, 200u);
    EXPECT_EQ(d.items[1].status, kHidStatusNull);
    ASSERT_EQ(Decode(d, 0, {0x00, 101, 0}), 1);
    EXPECT_EQ(d.items[0].status, kHidStatusValueOutOfRange);
    EXPECT_EQ(d.items[1].scaledValue, -50);
}

TEST(DecodeReport, UnknownUsageStopsAndBadArgumentsFail) {
    Decoded d(test::LoadFixture("0C45_0820_0001_0080.rdesc"), 3);
    ASSERT_EQ(d.items.size(), 1u);
    d.items[0].usage = 0x55; // no such value in report 4
    Bytes report(64, 0);
    report[0] = 4;
    EXPECT_EQ(Decode(d, 3, report), 0);
    EXPECT_EQ(d.items[0].status, kHidStatusUsageNotFound);
    EXPECT_EQ(
        CHidTransport::DecodeReport(d.items.data(), 1, report.data(), 64, HidReportType::Input, nullptr), 0);
    EXPECT_EQ(CHidTransport::DecodeReport(d.items.data(), 1, nullptr, 64, HidReportType::Input, &d.cols[3]),
              0);
    EXPECT_EQ(CHidTransport::DecodeReport(nullptr, 0, report.data(), 64, HidReportType::Input, &d.cols[3]),
              1);
    // An item whose list is shorter than its stated capacity is written only as far as it goes.
    Decoded c(test::LoadFixture("0C45_0820_0001_0080.rdesc"), 2);
    c.items[0].usageListCapacity = 50;
    EXPECT_EQ(Decode(c, 2, {0x03, 0x01, 0x04}), 1);
    EXPECT_EQ(c.items[0].usageList.size(), 1u);
    EXPECT_EQ(c.items[0].usageList[0], 0x401);
}

TEST(ReportDecoder, ReadBitsAcrossBytesAndBounds) {
    const uint8_t r[] = {0x00, 0xF0, 0x0F, 0xAA, 0x55, 0x12};
    uint32_t v = 0;
    EXPECT_TRUE(HidReadBits(r, sizeof r, 12, 8, v));
    EXPECT_EQ(v, 0xFFu);
    EXPECT_TRUE(HidReadBits(r, sizeof r, 8, 32, v));
    EXPECT_EQ(v, 0x55AA0FF0u);
    EXPECT_TRUE(HidReadBits(r, sizeof r, 44, 4, v));
    EXPECT_EQ(v, 0x1u);
    EXPECT_FALSE(HidReadBits(r, sizeof r, 41, 8, v));
    EXPECT_FALSE(HidReadBits(r, sizeof r, 0xFFFFFFF0u, 32, v));
    EXPECT_FALSE(HidReadBits(r, sizeof r, 0, 33, v));
}

TEST(ReportItems, UsageListsHaveABudget) {
    std::vector<HidCollectionInfo> cols;
    const Bytes desc = test::LoadFixture("0C45_0820_0001_0080.rdesc");
    ASSERT_EQ(ParseReportDescriptor(desc.data(), desc.size(), cols), HidParseError::None);
    std::vector<HidReportItem> items;
    size_t budget = 20;
    EXPECT_FALSE(BuildReportItems(cols[1], HidReportType::Input, items, budget)); // needs 2 x 14
    EXPECT_TRUE(items.empty());
    budget = 28;
    EXPECT_TRUE(BuildReportItems(cols[1], HidReportType::Input, items, budget));
    EXPECT_EQ(budget, 0u);
}

} // namespace
} // namespace nk7x
