#include "devices/discovery/DeviceTables.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

using namespace nk7x;

namespace {

const char* kCommandPath = "hid#vid_0c45&pid_0820&mi_01&col04#/dev/hidraw3";
const char* kNotifyPath = "sim#vid_0c45&pid_0820&mi_01&col03#/run/user/1000/nk7x-sim/kbd1-mi01.sock";

// The text between `key` (which ends with the opening quote) and the closing quote; empty if absent.
std::string Quoted(const std::string& line, const std::string& key) {
    const size_t at = line.find(key);
    if (at == std::string::npos)
        return {};
    const size_t begin = at + key.size();
    const size_t end = line.find('"', begin);
    return end == std::string::npos ? std::string() : line.substr(begin, end - begin);
}

} // namespace

TEST(PathNumbers, MarkersAreFoundWithoutRegardToCase) {
    const std::string upper = "HID#VID_0C45&PID_0820&MI_01&COL04#/dev/hidraw3";
    EXPECT_EQ(ReadPathNumber(upper, "vid_"), 0x0C45);
    EXPECT_EQ(ReadPathNumber(upper, "pid_"), 0x0820);
    EXPECT_EQ(ReadPathNumber(upper, "&mi_"), 1);
    EXPECT_EQ(ReadPathNumber(upper, "&col"), 4);
    EXPECT_EQ(ReadPathNumber("x#Vid_0c45&Pid_0820", "VID_"), 0x0C45);
    EXPECT_EQ(ReadPathNumber("x#vid_AbCd", "vid_"), 0xABCD);
}

TEST(PathNumbers, AbsentMarkersAndMissingOrOversizedNumbersReadAsZero) {
    EXPECT_EQ(ReadPathNumber("hid#vid_0c45&pid_0820&mi_01#/dev/hidraw0", "&col"), 0);
    EXPECT_EQ(ReadPathNumber("hid#vid_&pid_0820", "vid_"), 0);
    EXPECT_EQ(ReadPathNumber("", "vid_"), 0);
    EXPECT_EQ(ReadPathNumber("vid_", "vid_"), 0);
    // Five digits do not fit: reading 0x10c45 as 0x0c45 would claim a foreign device.
    EXPECT_EQ(ReadPathNumber("hid#vid_10c45&pid_0820", "vid_"), 0);
    EXPECT_EQ(ReadPathNumber("hid#vid_ffff", "vid_"), 0xFFFF);
    // The first occurrence counts, so a folder after the node cannot override the markers.
    EXPECT_EQ(ReadPathNumber("hid#vid_0c45&col04#/tmp/&col02/x", "&col"), 4);
}

TEST(InterfaceMatching, BothKeyboardCollectionsMatchTheirRows) {
    int row = -2;
    DeviceSlot command = SlotFromInterface(kCommandPath, 0x0C45, 0x0820, 0xFF1C, 0x0092, &row);
    EXPECT_EQ(row, 0);
    EXPECT_EQ(command.kind, DeviceKind::Keyboard);
    EXPECT_EQ(command.role, kRoleCommand);
    EXPECT_EQ(command.path, kCommandPath);
    EXPECT_TRUE(SameInterface(command, InterfaceTable()[0]));

    DeviceSlot notify = SlotFromInterface(kNotifyPath, 0x0C45, 0x0820, 0x000C, 0x0001, &row);
    EXPECT_EQ(row, 1);
    EXPECT_EQ(notify.role, kRoleNotification);
    EXPECT_EQ(notify.interfaceNumber, 1);
    EXPECT_EQ(notify.collection, 3);
    EXPECT_TRUE(SameInterface(notify, InterfaceTable()[1]));
    EXPECT_FALSE(SameInterface(notify, InterfaceTable()[0]));

    EXPECT_EQ(FindRowByPath(CandidateFromPath("HID#VID_0C45&PID_0820&MI_01&COL04#/dev/hidraw3")), 0);
}

TEST(InterfaceMatching, OtherCollectionsInterfacesAndUsagesMatchNothing) {
    int row = 7;
    // Right device, collection 2 (the keyboard collection): not one of ours, never opened.
    EXPECT_EQ(FindRowByPath(CandidateFromPath("hid#vid_0c45&pid_0820&mi_01&col02#/dev/hidraw3")), -1);
    SlotFromInterface("hid#vid_0c45&pid_0820&mi_01&col02#/dev/hidraw3", 0x0C45, 0x0820, 0x0001, 0x0006, &row);
    EXPECT_EQ(row, -1);
    // No "&col": collection 0, which no row has.
    EXPECT_EQ(FindRowByPath(CandidateFromPath("hid#vid_0c45&pid_0820&mi_01#/dev/hidraw3")), -1);
    EXPECT_EQ(CandidateFromPath("hid#vid_0c45&pid_0820&mi_01#/dev/hidraw3").collection, 0);
    // Other interface number, or the right numbers with a foreign usage page.
    EXPECT_EQ(FindRowByPath(CandidateFromPath("hid#vid_0c45&pid_0820&mi_00&col04#/dev/hidraw1")), -1);
    DeviceSlot wrongUsage = SlotFromInterface(kCommandPath, 0x0C45, 0x0820, 0xFF00, 0x0092, &row);
    EXPECT_EQ(row, -1);
    EXPECT_EQ(wrongUsage.kind, std::nullopt);
    // The interface's own identity counts, not the path's.
    SlotFromInterface(kCommandPath, 0x0C45, 0x0821, 0xFF1C, 0x0092, &row);
    EXPECT_EQ(row, -1);
}

TEST(DeviceTables, OnlyTheKeyboardOptionHasAnInterfaceRow) {
    const auto& options = OptionTable();
    const auto& pages = PageTable();
    ASSERT_EQ(options.size(), pages.size());
    std::vector<std::string> withPage;
    for (const DeviceOptionRow& o : options) {
        for (const DeviceSlot& r : InterfaceTable()) {
            if (r.vendorId == o.VendorId() && r.productId == o.ProductId() && r.kind && r.kind == o.Kind() &&
                r.role == o.Role())
                withPage.push_back(o.kindName);
        }
    }
    EXPECT_EQ(withPage, std::vector<std::string>{"keyboard"});
    EXPECT_EQ(options[1].Family(), DeviceFamily::Keyboard);
    EXPECT_EQ(pages[1].keyCount, 126);
    EXPECT_STREQ(pages[1].pageLayout, "XML\\DeviceXml\\keyboarddevice.xml");
    // Every family is used once, and each row's kind, family and folder name agree.
    std::set<DeviceFamily> families;
    for (const DeviceOptionRow& o : options) {
        ASSERT_TRUE(o.Kind().has_value()) << o.kindName;
        ASSERT_TRUE(o.Family().has_value()) << o.kindName;
        EXPECT_EQ(FamilyOf(*o.Kind()), *o.Family()) << o.kindName;
        EXPECT_STREQ(FolderName(*o.Family()), o.kindName);
        families.insert(*o.Family());
    }
    EXPECT_EQ(families.size(), options.size());
}

// Numbers read from tables and files become kinds and families only when they name one.
TEST(DeviceKinds, NumbersConvertOnlyWhenTheyNameAKindOrFamily) {
    for (DeviceKind kind : {DeviceKind::Keyboard, DeviceKind::Mouse, DeviceKind::MousePad,
                            DeviceKind::MouseReceiver, DeviceKind::Headset})
        EXPECT_EQ(KindFromNumber(KindNumber(kind)), kind) << KindNumber(kind);
    for (int number : {0, 4, 5, 8, -1, 0x10001, 0xFFFF})
        EXPECT_EQ(KindFromNumber(number), std::nullopt) << number;

    for (int index = 0; index < kDeviceFamilyCount; ++index) {
        ASSERT_TRUE(FamilyFromIndex(index).has_value()) << index;
        EXPECT_EQ(FamilyIndex(*FamilyFromIndex(index)), index);
    }
    for (int index : {-1, kDeviceFamilyCount, 7})
        EXPECT_EQ(FamilyFromIndex(index), std::nullopt) << index;
}

TEST(DeviceKinds, EachKindHasItsFamilyAndFolder) {
    struct Expect {
        DeviceKind kind;
        DeviceFamily family;
        const char* folder;
        const char* shown;
    };
    const Expect expected[] = {
        {DeviceKind::Keyboard, DeviceFamily::Keyboard, "keyboard", "keyboard"},
        {DeviceKind::Mouse, DeviceFamily::Mouse, "mouse", "mouse"},
        {DeviceKind::MouseReceiver, DeviceFamily::Mouse, "mouse", "mouse receiver"},
        {DeviceKind::MousePad, DeviceFamily::MousePad, "MousePad", "mouse pad"},
        {DeviceKind::Headset, DeviceFamily::Headset, "HD", "headset"},
    };
    for (const Expect& e : expected) {
        EXPECT_EQ(FamilyOf(e.kind), e.family) << e.shown;
        EXPECT_STREQ(FolderName(FamilyOf(e.kind)), e.folder) << e.shown;
        EXPECT_STREQ(DisplayName(e.kind), e.shown);
    }
}

// The udev rule must give the logged-in user every supported device, and nobody else write access.
TEST(UdevRules, EverySupportedDeviceHasAnUaccessRuleAndNoModeIsWorldWritable) {
    const char* env = std::getenv("NK7X_SOURCE_DIR");
    const std::string source = env && *env ? env : NK7X_SOURCE_DIR;
    std::ifstream in(source + "/udev/70-nk7x.rules");
    ASSERT_TRUE(in) << "udev/70-nk7x.rules not found under " << source;

    std::set<std::pair<unsigned, unsigned>> granted;
    std::string line;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        const size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#')
            continue;
        for (const char* key : {"MODE=\"", "MODE:=\""}) {
            const std::string mode = Quoted(line, key);
            if (!mode.empty()) {
                ASSERT_EQ(mode.find_first_not_of("01234567"), std::string::npos) << line;
                EXPECT_EQ(std::stoul(mode, nullptr, 8) & 02, 0u)
                    << "line " << lineNo << " gives a world-writable mode: " << line;
            }
        }
        const std::string vendor = Quoted(line, "ATTRS{idVendor}==\"");
        const std::string product = Quoted(line, "ATTRS{idProduct}==\"");
        if (vendor.size() == 4 && product.size() == 4 && line.find("TAG+=\"uaccess\"") != std::string::npos &&
            line.find("hidraw") != std::string::npos)
            granted.insert({std::stoul(vendor, nullptr, 16), std::stoul(product, nullptr, 16)});
    }

    std::set<std::pair<unsigned, unsigned>> wanted;
    for (const DeviceSlot& r : InterfaceTable())
        if (r.vendorId != 0)
            wanted.insert({r.vendorId, r.productId});
    for (const DeviceOptionRow& o : OptionTable())
        if (o.VendorId() != 0)
            wanted.insert({static_cast<unsigned>(o.VendorId()), static_cast<unsigned>(o.ProductId())});
    ASSERT_FALSE(wanted.empty());
    for (const auto& [vendor, product] : wanted)
        EXPECT_TRUE(granted.count({vendor, product}))
            << std::hex << "no uaccess rule for " << vendor << ":" << product;
}
