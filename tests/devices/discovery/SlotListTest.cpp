#include "devices/discovery/SlotList.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

using namespace nk7x;

namespace {

const char* kCommandPath = "sim#vid_0c45&pid_0820&mi_01&col04#/tmp/x/kbd1-mi01.sock";
const char* kNotifyPath = "sim#vid_0c45&pid_0820&mi_01&col03#/tmp/x/kbd1-mi01.sock";
const char* kSecondCommandPath = "sim#vid_0c45&pid_0820&mi_01&col04#/tmp/x/kbd2-mi01.sock";

// The record discovery builds for an opened interface.
DeviceSlot Opened(const std::string& path, uint16_t usagePage, uint16_t usage) {
    DeviceSlot s = CandidateFromPath(path);
    s.usagePage = usagePage;
    s.usage = usage;
    return s;
}

DeviceSlot MouseRow(uint16_t product, DeviceKind kind) {
    DeviceSlot s;
    s.vendorId = 0x1234;
    s.productId = product;
    s.interfaceNumber = 2;
    s.collection = 1;
    s.kind = kind;
    s.role = kRoleCommand;
    s.usagePage = 0xFF00;
    s.usage = 1;
    return s;
}

} // namespace

TEST(SlotList, BuiltFromTheInterfaceTableInOrderAndFree) {
    CSlotList slots;
    ASSERT_EQ(slots.Size(), static_cast<int>(kInterfaceRowCount));
    const std::vector<DeviceSlot> all = slots.Snapshot();
    for (int i = 0; i < slots.Size(); ++i) {
        EXPECT_TRUE(SameInterface(all[static_cast<size_t>(i)], InterfaceTable()[static_cast<size_t>(i)]));
        EXPECT_TRUE(slots.IsFree(i));
        EXPECT_FALSE(slots.HasPartner(i));
    }
    EXPECT_EQ(all[0].role, kRoleCommand);
    EXPECT_EQ(all[1].role, kRoleNotification);
    EXPECT_TRUE(slots.AnyFree());
    EXPECT_FALSE(slots.AllSlotsTaken());
    // Indices outside the list give nothing and change nothing.
    EXPECT_FALSE(slots.Get(-1).has_value());
    EXPECT_FALSE(slots.Get(2).has_value());
    EXPECT_FALSE(slots.IsFree(2));
    EXPECT_FALSE(slots.Detach(5, kCommandPath));
    EXPECT_EQ(slots.PartnerIndex(9), kNoDeviceSlot);
}

TEST(SlotList, ClaimAttachesTheMatchingRowsSlotAndCopiesKindAndRole) {
    CSlotList slots;
    DeviceSlot notify = Opened(kNotifyPath, 0x000C, 0x0001);
    ASSERT_TRUE(slots.MatchesInterfaceRow(notify));
    EXPECT_EQ(slots.ClaimSlot(notify), 1);
    EXPECT_EQ(notify.kind, DeviceKind::Keyboard);
    EXPECT_EQ(notify.role, kRoleNotification);

    DeviceSlot command = Opened(kCommandPath, 0xFF1C, 0x0092);
    EXPECT_EQ(slots.ClaimSlot(command), 0);
    EXPECT_TRUE(slots.AllSlotsTaken());

    const DeviceSlot s0 = *slots.Get(0);
    EXPECT_EQ(s0.connected, 1);
    EXPECT_EQ(s0.path, kCommandPath);
    EXPECT_EQ(slots.Get(1)->path, kNotifyPath);
    EXPECT_EQ(slots.FindSame(command), 0);
    EXPECT_EQ(slots.FindSame(notify), 1);

    // A copy handed out is the caller's own.
    DeviceSlot copy = *slots.Get(0);
    copy.path = "changed";
    EXPECT_EQ(slots.Get(0)->path, kCommandPath);
}

TEST(SlotList, ASecondInterfaceOfTheSameKindFindsNoFreeSlot) {
    CSlotList slots;
    DeviceSlot first = Opened(kCommandPath, 0xFF1C, 0x0092);
    ASSERT_EQ(slots.ClaimSlot(first), 0);
    DeviceSlot second = Opened(kSecondCommandPath, 0xFF1C, 0x0092);
    EXPECT_FALSE(slots.MatchesInterfaceRow(second));
    EXPECT_EQ(slots.ClaimSlot(second), kNoDeviceSlot);
    EXPECT_EQ(slots.Get(0)->path, kCommandPath);
    // Its notification collection still has a free slot, as discovery sees it.
    EXPECT_TRUE(slots.MatchesInterfaceRow(CandidateFromPath(kNotifyPath)));
}

TEST(SlotList, ForeignCollectionsUsagesAndPathsClaimNothing) {
    CSlotList slots;
    // Collection 2 of the keyboard and a path without "&col" (collection 0).
    EXPECT_FALSE(slots.MatchesInterfaceRow(CandidateFromPath("sim#vid_0c45&pid_0820&mi_01&col02#/n")));
    EXPECT_FALSE(slots.MatchesInterfaceRow(CandidateFromPath("hid#vid_0c45&pid_0820&mi_01#/dev/hidraw1")));
    EXPECT_FALSE(slots.MatchesInterfaceRow(CandidateFromPath("hid#vid_0c45&pid_0821&mi_01&col04#/n")));
    EXPECT_FALSE(slots.MatchesInterfaceRow(CandidateFromPath("hid#vid_0c45&pid_0820&mi_00&col04#/n")));
    // The right path, but the opened interface is not what the row says: no slot, kind stays 0.
    DeviceSlot wrongUsage = Opened(kCommandPath, 0x0001, 0x0006);
    EXPECT_EQ(slots.ClaimSlot(wrongUsage), kNoDeviceSlot);
    EXPECT_EQ(wrongUsage.kind, std::nullopt);
    // A record without a path could never be checked for presence again.
    DeviceSlot noPath = Opened("", 0xFF1C, 0x0092);
    noPath.vendorId = 0x0C45;
    noPath.productId = 0x0820;
    noPath.interfaceNumber = 1;
    noPath.collection = 4;
    EXPECT_EQ(slots.ClaimSlot(noPath), kNoDeviceSlot);
    EXPECT_TRUE(slots.IsFree(0));
    EXPECT_TRUE(slots.IsFree(1));

    DeviceSlot described = CandidateFromPath(kNotifyPath);
    EXPECT_TRUE(slots.DescribeByPath(described));
    EXPECT_EQ(described.role, kRoleNotification);
    DeviceSlot foreign = CandidateFromPath("sim#vid_0c45&pid_0820&mi_01&col02#/n");
    EXPECT_FALSE(slots.DescribeByPath(foreign));
}

TEST(SlotList, DetachFreesOnlyTheSlotStillAttachedToThatPath) {
    CSlotList slots;
    DeviceSlot command = Opened(kCommandPath, 0xFF1C, 0x0092);
    ASSERT_EQ(slots.ClaimSlot(command), 0);

    EXPECT_FALSE(slots.Detach(0, kSecondCommandPath)); // a stale check of another path
    EXPECT_FALSE(slots.Detach(1, kCommandPath));       // not attached at all
    EXPECT_FALSE(slots.IsFree(0));

    DeviceSlot was;
    ASSERT_TRUE(slots.Detach(0, kCommandPath, &was));
    EXPECT_EQ(was.connected, 1);
    EXPECT_EQ(was.path, kCommandPath);
    EXPECT_TRUE(slots.IsFree(0));
    EXPECT_TRUE(slots.Get(0)->path.empty());
    EXPECT_FALSE(slots.Detach(0, kCommandPath)); // twice frees once

    // Re-plugging attaches the same slot again.
    DeviceSlot again = Opened(kCommandPath, 0xFF1C, 0x0092);
    EXPECT_EQ(slots.ClaimSlot(again), 0);
}

TEST(SlotList, IdenticalRowsAreTakenInOrder) {
    const DeviceSlot row = InterfaceTable()[0];
    CSlotList slots({row, row});
    DeviceSlot a = Opened(kCommandPath, 0xFF1C, 0x0092);
    DeviceSlot b = Opened(kSecondCommandPath, 0xFF1C, 0x0092);
    EXPECT_EQ(slots.ClaimSlot(a), 0);
    EXPECT_TRUE(slots.MatchesInterfaceRow(b));
    EXPECT_EQ(slots.ClaimSlot(b), 1);
    EXPECT_TRUE(slots.AllSlotsTaken());
    ASSERT_TRUE(slots.Detach(0, kCommandPath));
    DeviceSlot c = Opened(kCommandPath, 0xFF1C, 0x0092);
    EXPECT_EQ(slots.ClaimSlot(c), 0); // the first free one, not the end of the list
}

TEST(SlotList, PartnersLinkBothWaysAndBadPartnerIndicesAreDropped) {
    DeviceSlot wired = MouseRow(0x0001, DeviceKind::Mouse);
    DeviceSlot receiver = MouseRow(0x0002, DeviceKind::MouseReceiver);
    DeviceSlot broken = MouseRow(0x0003, DeviceKind::Mouse);
    broken.hasPartner = 1;
    broken.partner = 40; // names no slot
    DeviceSlot self = MouseRow(0x0004, DeviceKind::Mouse);
    self.hasPartner = 1;
    self.partner = 3;
    CSlotList slots({wired, receiver, broken, self});

    EXPECT_FALSE(slots.HasPartner(2));
    EXPECT_EQ(slots.PartnerIndex(2), kNoDeviceSlot);
    EXPECT_FALSE(slots.PartnerConnected(2));
    EXPECT_FALSE(slots.HasPartner(3));

    EXPECT_FALSE(slots.LinkPartners(0, 0));
    EXPECT_FALSE(slots.LinkPartners(0, 4));
    ASSERT_TRUE(slots.LinkPartners(0, 1));
    EXPECT_EQ(slots.PartnerIndex(0), 1);
    EXPECT_EQ(slots.PartnerIndex(1), 0);
    EXPECT_FALSE(slots.PartnerConnected(0));

    DeviceSlot viaReceiver = Opened("hid#vid_1234&pid_0002&mi_02&col01#/dev/hidraw5", 0xFF00, 1);
    ASSERT_EQ(slots.ClaimSlot(viaReceiver), 1);
    EXPECT_EQ(viaReceiver.kind, DeviceKind::MouseReceiver);
    EXPECT_TRUE(slots.PartnerConnected(0));
    EXPECT_FALSE(slots.PartnerConnected(1));
    // Partner fields are not part of the interface's identity.
    DeviceSlot plain = wired;
    EXPECT_EQ(slots.FindSame(plain), 0);
}

TEST(SlotList, ConcurrentClaimsAndDetachesNeverLoseOrDoubleASlot) {
    CSlotList slots;
    std::atomic<bool> stop{false};
    std::atomic<int> badSnapshots{0};
    std::thread reader([&] {
        while (!stop.load()) {
            for (const DeviceSlot& s : slots.Snapshot()) {
                // A slot is either free or attached with a path, never half of each.
                if ((s.connected != 0) == s.path.empty())
                    badSnapshots.fetch_add(1);
            }
        }
    });
    int claimed = 0;
    for (int round = 0; round < 2000; ++round) {
        DeviceSlot c = Opened(kCommandPath, 0xFF1C, 0x0092);
        DeviceSlot n = Opened(kNotifyPath, 0x000C, 0x0001);
        claimed += slots.ClaimSlot(c) == 0;
        claimed += slots.ClaimSlot(n) == 1;
        slots.Detach(0, kCommandPath);
        slots.Detach(1, kNotifyPath);
    }
    stop.store(true);
    reader.join();
    EXPECT_EQ(claimed, 4000);
    EXPECT_EQ(badSnapshots.load(), 0);
    EXPECT_FALSE(slots.AllSlotsTaken());
}
