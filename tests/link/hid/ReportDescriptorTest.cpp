#include <gtest/gtest.h>

#include <algorithm>

#include <string>
#include <vector>

#include "link/hid/HidPath.h"
#include "link/hid/HidTestUtil.h"
#include "link/hid/ReportDecoder.h"
#include "link/hid/ReportDescriptor.h"

namespace nk7x {
namespace {

using test::DumpCollections;
using test::LoadFixture;
using test::LoadText;

using Bytes = std::vector<uint8_t>;

HidParseError Parse(const Bytes& b, std::vector<HidCollectionInfo>* out = nullptr) {
    std::vector<HidCollectionInfo> local;
    return ParseReportDescriptor(b.data(), b.size(), out ? *out : local);
}

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

// A one-collection vendor descriptor around the given field items.
Bytes Vendor(const Bytes& body) {
    return Cat({{0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01}, body, {0xC0}});
}

class FixtureParse : public ::testing::TestWithParam<const char*> {};

TEST_P(FixtureParse, MatchesExpectedParse) {
    const std::string base = GetParam();
    const Bytes bytes = LoadFixture(base + ".rdesc");
    ASSERT_FALSE(bytes.empty());
    std::vector<HidCollectionInfo> cols;
    ASSERT_EQ(Parse(bytes, &cols), HidParseError::None);
    EXPECT_EQ(DumpCollections(cols), LoadText(base + ".expected"));
}

INSTANTIATE_TEST_SUITE_P(Descriptors, FixtureParse,
                         ::testing::Values("0C45_0820_0001_0080", "FFFF_0001_0001_0002",
                                           "FFFF_0002_0001_0006", "FFFF_0003_0001_0006"));

TEST(ReportDescriptor, KeyboardInterfaceCollectionsAndPaths) {
    std::vector<HidCollectionInfo> cols;
    ASSERT_EQ(Parse(LoadFixture("0C45_0820_0001_0080.rdesc"), &cols), HidParseError::None);
    ASSERT_EQ(cols.size(), 4u);
    EXPECT_TRUE(cols[3].usesReportIds);
    EXPECT_TRUE(cols[3].HasReportId(4));
    EXPECT_FALSE(cols[3].HasReportId(3));
    EXPECT_EQ(cols[1].MaxUsageListLength(HidReportType::Input, 0x07), 14u); // 8 modifiers + 6 keys
    EXPECT_EQ(cols[1].MaxUsageListLength(HidReportType::Output, 0x08), 5u);
    EXPECT_EQ(cols[2].MaxUsageListLength(HidReportType::Input, 0x0C), 1u);
    EXPECT_EQ(cols[2].MaxUsageListLength(HidReportType::Input, 0x07), 0u);
    EXPECT_EQ(cols[1].ReportLength(HidReportType::Input, 2), 9u);
    EXPECT_EQ(cols[1].ReportLength(HidReportType::Input, 3), 0u);

    HidInterfaceRecord rec;
    rec.kind = HidNodeKind::Hidraw;
    rec.node = "/dev/hidraw3";
    rec.vendorId = 0x0C45;
    rec.productId = 0x0820;
    rec.interfaceNumber = 1;
    EXPECT_EQ(FormatHidPath(rec, cols[3].number, cols.size()),
              "hid#vid_0c45&pid_0820&mi_01&col04#/dev/hidraw3");
    EXPECT_EQ(FormatHidPath(rec, cols[2].number, cols.size()),
              "hid#vid_0c45&pid_0820&mi_01&col03#/dev/hidraw3");
}

TEST(ReportDescriptor, BootKeyboardUsesNoReportIds) {
    std::vector<HidCollectionInfo> cols;
    ASSERT_EQ(Parse(LoadFixture("FFFF_0002_0001_0006.rdesc"), &cols), HidParseError::None);
    ASSERT_EQ(cols.size(), 1u);
    EXPECT_FALSE(cols[0].usesReportIds);
    EXPECT_EQ(cols[0].reportIds, std::vector<uint8_t>{0});
    HidInterfaceRecord rec;
    rec.kind = HidNodeKind::Emulated;
    rec.node = "/run/x/boot-mi00.sock";
    rec.vendorId = 0xFFFF;
    rec.productId = 0x0002;
    rec.interfaceNumber = 0;
    // One collection: no "&col" marker.
    EXPECT_EQ(FormatHidPath(rec, 1, cols.size()), "sim#vid_ffff&pid_0002&mi_00#/run/x/boot-mi00.sock");
}

TEST(ReportDescriptor, EveryTruncationFailsCleanly) {
    const Bytes full = LoadFixture("0C45_0820_0001_0080.rdesc");
    // Only cuts after a whole collection (and the items that open the next one) are descriptors.
    const std::vector<size_t> whole = {27, 29, 31, 94, 96, 98, 119, 122, 124};
    for (size_t n = 0; n < full.size(); ++n) {
        Bytes cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n));
        const bool ok = std::find(whole.begin(), whole.end(), n) != whole.end();
        EXPECT_EQ(Parse(cut) == HidParseError::None, ok) << "prefix " << n;
    }
    // Cut inside the data bytes of "26 FF 0F" and of "05 01".
    EXPECT_EQ(Parse({0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x26, 0xFF}), HidParseError::Truncated);
    EXPECT_EQ(Parse({0x05}), HidParseError::Truncated);
    EXPECT_EQ(Parse({0x07, 0x01, 0x02, 0x03}), HidParseError::Truncated);
}

TEST(ReportDescriptor, LongItemsAreSkippedButMustFit) {
    const Bytes field = {0x75, 0x08, 0x95, 0x01, 0x81, 0x02};
    std::vector<HidCollectionInfo> plain, withLong;
    ASSERT_EQ(Parse(Vendor(field), &plain), HidParseError::None);
    ASSERT_EQ(Parse(Vendor(Cat({{0xFE, 0x03, 0x10, 0xAA, 0xBB, 0xCC}, field})), &withLong),
              HidParseError::None);
    EXPECT_EQ(DumpCollections(plain), DumpCollections(withLong));
    EXPECT_EQ(Parse(Cat({{0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01}, {0xFE, 0x05, 0x10, 0x01, 0x02}})),
              HidParseError::Truncated);
    EXPECT_EQ(Parse({0xFE, 0x00}), HidParseError::Truncated);
}

TEST(ReportDescriptor, FieldSizeAndCountLimits) {
    EXPECT_EQ(Parse(Vendor({0x75, 0x21, 0x95, 0x01, 0x81, 0x02})), HidParseError::BadReportSize);
    EXPECT_EQ(Parse(Vendor({0x76, 0xFF, 0xFF, 0x95, 0x01, 0x81, 0x02})), HidParseError::BadReportSize);
    // Wide constant padding is legal, up to its own limit.
    EXPECT_EQ(Parse(Vendor({0x75, 0x40, 0x95, 0x01, 0x81, 0x01, 0x75, 0x08, 0x81, 0x02})),
              HidParseError::None);
    EXPECT_EQ(Parse(Vendor({0x76, 0x01, 0x01, 0x95, 0x01, 0x81, 0x01})), HidParseError::BadReportSize);
    EXPECT_EQ(Parse(Vendor({0x75, 0x08, 0x96, 0xFF, 0xFF, 0x81, 0x02})), HidParseError::ReportTooLong);
    EXPECT_EQ(Parse(Vendor({0x75, 0x20, 0x97, 0xFF, 0xFF, 0xFF, 0xFF, 0x81, 0x02})),
              HidParseError::ReportTooLong);
    // Many moderate reports still add up to too many fields.
    Bytes body;
    for (uint8_t id = 1; id <= 20; ++id)
        body = Cat({body, {0x85, id, 0x75, 0x01, 0x96, 0xA0, 0x0F, 0x81, 0x02}});
    EXPECT_EQ(Parse(Vendor(body)), HidParseError::TooManyFields);
    // The longest legal report.
    std::vector<HidCollectionInfo> cols;
    ASSERT_EQ(Parse(Vendor({0x75, 0x08, 0x96, 0xFF, 0x1F, 0x81, 0x02}), &cols), HidParseError::None);
    EXPECT_EQ(cols[0].Report(HidReportType::Input).byteLength, kHidMaxReportBytes);
}

TEST(ReportDescriptor, NestingLimits) {
    Bytes balanced, open;
    for (int i = 0; i < kHidMaxCollectionDepth; ++i)
        balanced.push_back(0xA1), balanced.push_back(0x00);
    for (int i = 0; i < kHidMaxCollectionDepth; ++i)
        balanced.push_back(0xC0);
    EXPECT_EQ(Parse(balanced), HidParseError::None);
    Bytes deep;
    for (int i = 0; i <= kHidMaxCollectionDepth; ++i)
        deep.push_back(0xA1), deep.push_back(0x00);
    EXPECT_EQ(Parse(deep), HidParseError::NestingTooDeep);
    EXPECT_EQ(Parse({0xA1, 0x01, 0xC0, 0xC0}), HidParseError::UnbalancedCollection);
    EXPECT_EQ(Parse({0xA1, 0x01, 0xA1, 0x00, 0xC0}), HidParseError::UnbalancedCollection);
    EXPECT_EQ(Parse({0xC0}), HidParseError::UnbalancedCollection);
}

TEST(ReportDescriptor, GlobalStackMustBalance) {
    EXPECT_EQ(Parse(Vendor({0xA4})), HidParseError::UnbalancedPush);
    EXPECT_EQ(Parse(Vendor({0xB4})), HidParseError::GlobalStackUnderflow);
    Bytes pushes;
    for (int i = 0; i <= kHidMaxGlobalStackDepth; ++i)
        pushes.push_back(0xA4);
    EXPECT_EQ(Parse(Vendor(pushes)), HidParseError::GlobalStackOverflow);
    // Pop restores the report size and id that were pushed.
    std::vector<HidCollectionInfo> cols;
    ASSERT_EQ(Parse(Vendor({0x85, 0x01, 0x75, 0x08, 0x95, 0x01, 0xA4, 0x85, 0x02, 0x75, 0x10, 0x81, 0x02,
                            0xB4, 0x81, 0x02}),
                    &cols),
              HidParseError::None);
    EXPECT_EQ(cols[0].ReportLength(HidReportType::Input, 2), 3u);
    EXPECT_EQ(cols[0].ReportLength(HidReportType::Input, 1), 2u);
}

TEST(ReportDescriptor, ReportIdRules) {
    EXPECT_EQ(Parse(Vendor({0x85, 0x00})), HidParseError::BadReportId);
    EXPECT_EQ(Parse(Vendor({0x84})), HidParseError::BadReportId);
    EXPECT_EQ(Parse(Vendor({0x86, 0x00, 0x01})), HidParseError::BadReportId);
    // Data first without an id, then an id: the first report would be unreadable.
    EXPECT_EQ(Parse(Vendor({0x75, 0x08, 0x95, 0x01, 0x81, 0x02, 0x85, 0x01, 0x81, 0x02})),
              HidParseError::MissingReportId);
    const Bytes a = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x85,
                     0x01, 0x75, 0x08, 0x95, 0x01, 0x81, 0x02, 0xC0};
    const Bytes b = {0x06, 0x00, 0xFF, 0x09, 0x02, 0xA1, 0x01, 0x81, 0x02, 0xC0};
    EXPECT_EQ(Parse(Cat({a, b})), HidParseError::ReportIdInTwoCollections);
    const Bytes noIds = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x75, 0x08, 0x95, 0x01, 0x81, 0x02, 0xC0};
    EXPECT_EQ(Parse(Cat({noIds, noIds})), HidParseError::MissingReportId);
    EXPECT_EQ(Parse({0x75, 0x08, 0x95, 0x01, 0x81, 0x02}), HidParseError::MainItemOutsideCollection);
}

// A keyboard interface whose vendor collections use report 4 as input (2), output (3) and
// feature (4): each collection owns its own type of report 4 only.
TEST(ReportDescriptor, OneIdServesOneCollectionPerReportType) {
    std::vector<HidCollectionInfo> cols;
    ASSERT_EQ(Parse(LoadFixture("FFFF_0003_0001_0006.rdesc"), &cols), HidParseError::None);
    ASSERT_EQ(cols.size(), 4u);
    const auto in = HidReportType::Input;
    const auto out = HidReportType::Output;
    const auto feature = HidReportType::Feature;
    EXPECT_FALSE(cols[0].HasReportId(4));
    EXPECT_EQ(cols[1].reportIds, std::vector<uint8_t>{4});
    EXPECT_EQ(cols[2].reportIds, (std::vector<uint8_t>{4, 5}));
    EXPECT_EQ(cols[3].reportIds, std::vector<uint8_t>{4});
    EXPECT_EQ(cols[1].ReportLength(in, 4), 16u);
    EXPECT_EQ(cols[1].ReportLength(out, 4), 0u);
    EXPECT_EQ(cols[1].ReportLength(feature, 4), 0u);
    EXPECT_EQ(cols[2].ReportLength(in, 4), 0u);
    EXPECT_EQ(cols[2].ReportLength(out, 4), 64u);
    EXPECT_EQ(cols[2].ReportLength(feature, 4), 0u);
    EXPECT_EQ(cols[2].ReportLength(in, 5), 4u);
    EXPECT_EQ(cols[3].ReportLength(in, 4), 0u);
    EXPECT_EQ(cols[3].ReportLength(out, 4), 0u);
    EXPECT_EQ(cols[3].ReportLength(feature, 4), 8u);

    // An input report 4 checked against each collection: only the second one reads it.
    Bytes report(16, 0x5A);
    report[0] = 4;
    EXPECT_EQ(HidCheckReport(cols[1], in, report.data(), report.size()), kHidStatusSuccess);
    EXPECT_EQ(HidCheckReport(cols[2], in, report.data(), report.size()), kHidStatusReportDoesNotExist);
    EXPECT_EQ(HidCheckReport(cols[3], in, report.data(), report.size()), kHidStatusReportDoesNotExist);
    EXPECT_EQ(HidCheckReport(cols[0], in, report.data(), report.size()), kHidStatusIncompatibleReportId);
    uint32_t value = 0;
    EXPECT_EQ(HidGetUsageValue(cols[1], in, 0xFF00, 0x02, report.data(), report.size(), value),
              kHidStatusSuccess);
    EXPECT_EQ(value, 0x5Au);

    // The same interface with the third collection's report 4 made an input report as well.
    EXPECT_EQ(Parse(LoadFixture("FFFF_0004_0001_0006.rdesc"), &cols),
              HidParseError::ReportIdInTwoCollections);
    EXPECT_TRUE(cols.empty());
}

TEST(ReportDescriptor, SameIdAndTypeInTwoCollectionsIsRefused) {
    // Collection with usage `usage` holding one field of report 7, of main item `main`.
    auto col = [](uint8_t usage, uint8_t main) {
        return Bytes{0x06, 0x00, 0xFF, 0x09, usage, 0xA1, 0x01, 0x85,
                     0x07, 0x75, 0x08, 0x95, 0x02,  main, 0x02, 0xC0};
    };
    const uint8_t input = 0x81, output = 0x91, feature = 0xB1;
    EXPECT_EQ(Parse(Cat({col(1, input), col(2, output), col(3, feature)})), HidParseError::None);
    EXPECT_EQ(Parse(Cat({col(1, output), col(2, output)})), HidParseError::ReportIdInTwoCollections);
    EXPECT_EQ(Parse(Cat({col(1, feature), col(2, feature)})), HidParseError::ReportIdInTwoCollections);
    // Sharing with one type does not free the id for a type that is already taken.
    EXPECT_EQ(Parse(Cat({col(1, input), col(2, output), col(3, input)})),
              HidParseError::ReportIdInTwoCollections);
    // Nested collections belong to their top-level one: no clash with itself.
    std::vector<HidCollectionInfo> cols;
    ASSERT_EQ(Parse(Vendor({0x85, 0x07, 0x75, 0x08, 0x95, 0x01, 0x81, 0x02, 0xA1, 0x00, 0x81, 0x02, 0x91,
                            0x02, 0xC0}),
                    &cols),
              HidParseError::None);
    EXPECT_EQ(cols[0].reportIds, std::vector<uint8_t>{7});
    EXPECT_EQ(cols[0].ReportLength(HidReportType::Input, 7), 3u);
    EXPECT_EQ(cols[0].ReportLength(HidReportType::Output, 7), 2u);

    // Without report ids every collection's report of one type is report 0: input of one and
    // output of another is fine, input of both is not.
    auto plain = [](uint8_t usage, uint8_t main) {
        return Bytes{0x06, 0x00, 0xFF, 0x09, usage, 0xA1, 0x01, 0x75, 0x08, 0x95, 0x02, main, 0x02, 0xC0};
    };
    ASSERT_EQ(Parse(Cat({plain(1, input), plain(2, output)}), &cols), HidParseError::None);
    ASSERT_EQ(cols.size(), 2u);
    EXPECT_EQ(cols[0].ReportLength(HidReportType::Input, 0), 3u);
    EXPECT_EQ(cols[0].ReportLength(HidReportType::Output, 0), 0u);
    EXPECT_EQ(cols[1].ReportLength(HidReportType::Input, 0), 0u);
    EXPECT_EQ(cols[1].ReportLength(HidReportType::Output, 0), 3u);
    EXPECT_EQ(Parse(Cat({plain(1, output), plain(2, output)})), HidParseError::MissingReportId);
}

TEST(ReportDescriptor, UsageAndDelimiterLimits) {
    Bytes many;
    for (size_t i = 0; i <= kHidMaxUsagesPerItem; ++i)
        many.push_back(0x09), many.push_back(0x01);
    EXPECT_EQ(Parse(Vendor(many)), HidParseError::TooManyUsages);
    EXPECT_EQ(Parse(Vendor({0xA9, 0x01})), HidParseError::UnbalancedDelimiter);
    EXPECT_EQ(Parse(Vendor({0xA9, 0x00})), HidParseError::UnbalancedDelimiter);
    // Of a delimited set only the first usage names the field.
    std::vector<HidCollectionInfo> cols;
    ASSERT_EQ(
        Parse(Vendor({0xA9, 0x01, 0x09, 0x05, 0x09, 0x06, 0xA9, 0x00, 0x75, 0x08, 0x95, 0x01, 0x81, 0x02}),
              &cols),
        HidParseError::None);
    ASSERT_EQ(cols[0].Report(HidReportType::Input).values.size(), 1u);
    EXPECT_EQ(cols[0].Report(HidReportType::Input).values[0].usageMin, 5u);
}

TEST(ReportDescriptor, EmptyAndOversized) {
    EXPECT_EQ(Parse({}), HidParseError::Empty);
    EXPECT_EQ(Parse({0x05, 0x01, 0x09, 0x02}), HidParseError::Empty);
    EXPECT_EQ(Parse(Bytes(kHidMaxDescriptorBytes + 1, 0x00)), HidParseError::TooLong);
    std::vector<HidCollectionInfo> cols;
    EXPECT_EQ(ParseReportDescriptor(nullptr, 10, cols), HidParseError::Empty);
}

TEST(ReportDescriptor, NumbersAndUsages) {
    std::vector<HidCollectionInfo> cols;
    // Logical 0..255 written as one byte 0xFF; -1..1 signed; extended usage with its own page.
    ASSERT_EQ(Parse(Vendor({0x15, 0x00, 0x25, 0xFF, 0x75, 0x08, 0x95, 0x01, 0x09, 0x10, 0x81, 0x02,
                            0x15, 0xFF, 0x25, 0x01, 0x0B, 0x30, 0x00, 0x01, 0x00, 0x81, 0x02}),
                    &cols),
              HidParseError::None);
    const auto& values = cols[0].Report(HidReportType::Input).values;
    ASSERT_EQ(values.size(), 2u);
    EXPECT_EQ(values[0].logicalMin, 0);
    EXPECT_EQ(values[0].logicalMax, 255);
    EXPECT_EQ(values[1].logicalMin, -1);
    EXPECT_EQ(values[1].logicalMax, 1);
    EXPECT_EQ(values[1].usagePage, 0x0001);
    EXPECT_EQ(values[1].usageMin, 0x0030);
    EXPECT_EQ(values[1].bitPosition, 16u);
    // A usage range on values is cut to the fields there are.
    ASSERT_EQ(Parse(Vendor({0x19, 0x01, 0x29, 0x40, 0x75, 0x08, 0x95, 0x03, 0x81, 0x02}), &cols),
              HidParseError::None);
    ASSERT_EQ(cols[0].Report(HidReportType::Input).values.size(), 1u);
    EXPECT_EQ(cols[0].Report(HidReportType::Input).values[0].usageMax, 3u);
}

} // namespace
} // namespace nk7x
