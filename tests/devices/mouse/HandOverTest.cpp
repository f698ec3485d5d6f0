// One mouse by cable and through its receiver, without a window: the cable is preferred while it is
// there, and when the connection in use goes the device carries on through the other.
#include "devices/ConnectionHandOver.h"
#include "devices/discovery/DeviceTables.h"
#include "devices/mouse/MouseDevice.h"
#include "support/TestSupport.h"
#include "tools/sim/SimDevice.h"

#include <gtest/gtest.h>

#include <memory>

namespace nk7x::test {
namespace {

DeviceSlot CommandSlot(const SimDevice& sim, DeviceKind kind) {
    DeviceSlot s = CandidateFromPath(sim.CommandPath());
    s.kind = kind;
    s.role = kRoleCommand;
    s.usagePage = 0xFF1C;
    s.usage = 0x0092;
    s.connected = 1;
    s.path = sim.CommandPath();
    return s;
}

} // namespace

TEST(HandOver, TheCableIsPreferredAndTheOtherConnectionCarriesOn) {
    DeviceTestRoot root("nk7x-handover");
    auto start = [&](SimKind kind) {
        SimOptions o;
        o.folder = root.SimFolder();
        o.kind = kind;
        auto sim = std::make_unique<SimDevice>(o);
        EXPECT_EQ(sim->Start(), 1) << sim->LastError();
        return sim;
    };
    auto cable = start(SimKind::Mouse);
    auto receiver = start(SimKind::Receiver);
    ReloadDeviceRows(); // the emulators' rows name the two as partners
    const DeviceSlot byCable = CommandSlot(*cable, DeviceKind::Mouse);
    const DeviceSlot byReceiver = CommandSlot(*receiver, DeviceKind::MouseReceiver);

    // The table pairs them: each one's partner is the other.
    CSlotList slots;
    const std::optional<DeviceSlot> partnerOfReceiver = PartnerSlot(slots, byReceiver);
    ASSERT_TRUE(partnerOfReceiver.has_value());
    EXPECT_EQ(partnerOfReceiver->kind, DeviceKind::Mouse);
    EXPECT_EQ(PartnerSlot(slots, byCable)->kind, DeviceKind::MouseReceiver);

    CMouseDevice mouse(6);
    // The receiver first: the link waits the longer time-outs of the radio.
    ASSERT_TRUE(ConnectCommandInterface(mouse, DeviceFamily::Mouse, byReceiver));
    EXPECT_TRUE(mouse.Link().LongTimeouts());
    // The cable comes: it takes over.
    ASSERT_TRUE(ConnectCommandInterface(mouse, DeviceFamily::Mouse, byCable));
    EXPECT_FALSE(mouse.Link().LongTimeouts());
    EXPECT_EQ(mouse.GetIdentity().kind, DeviceKind::Mouse);
    EXPECT_EQ(mouse.Link().Transport().DevicePath(), cable->CommandPath());
    // The receiver goes: not the one in use, nothing changes.
    EXPECT_TRUE(RemoveCommandInterface(mouse, DeviceFamily::Mouse, byReceiver, byCable));
    EXPECT_EQ(mouse.Link().Transport().DevicePath(), cable->CommandPath());
    // The cable goes while the receiver is there: the device carries on through it.
    EXPECT_TRUE(RemoveCommandInterface(mouse, DeviceFamily::Mouse, byCable, byReceiver));
    EXPECT_TRUE(mouse.Link().IsOpen());
    EXPECT_TRUE(mouse.Link().LongTimeouts());
    EXPECT_EQ(mouse.GetIdentity().kind, DeviceKind::MouseReceiver);
    DeviceInfoRecord info{};
    EXPECT_EQ(mouse.Link().ReadDeviceInfo(info), kResultOk) << "it answers through the receiver";
    // The receiver goes too, with no other connection left: the device is gone.
    DeviceSlot cableGone = byCable;
    cableGone.connected = 0;
    cableGone.path.clear();
    EXPECT_FALSE(RemoveCommandInterface(mouse, DeviceFamily::Mouse, byReceiver, cableGone));
    EXPECT_FALSE(mouse.Link().IsOpen());
}

} // namespace nk7x::test
