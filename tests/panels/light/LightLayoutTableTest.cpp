// The enabling tables as data: rows that differ in one place from their neighbours, the dashes
// that leave a group alone, and the rows for modes no table lists.
#include "panels/light/LightLayoutTable.h"

#include <gtest/gtest.h>

namespace nk7x {
namespace {

GroupState At(const LightLayoutRow& r, LightGroup g) {
    return r.enable[static_cast<std::size_t>(g)];
}

constexpr DeviceKind kKeyboard = DeviceKind::Keyboard;
constexpr DeviceKind kMouse = DeviceKind::Mouse;
constexpr DeviceKind kPad = DeviceKind::MousePad;
constexpr DeviceKind kHeadset = DeviceKind::Headset;

LightLayoutRow Row(DeviceKind kind, int mode) {
    return LightLayoutFor(kind, mode);
}

TEST(LightLayoutTable, KeyboardRowsCarryTheirExtras) {
    EXPECT_TRUE(Row(kKeyboard, 4).sameMode);
    EXPECT_TRUE(Row(kKeyboard, 5).sameMode);
    EXPECT_TRUE(Row(kKeyboard, 6).sameMode);
    EXPECT_TRUE(Row(kKeyboard, 24).sameMode);
    EXPECT_TRUE(Row(kKeyboard, 28).sameMode);
    EXPECT_FALSE(Row(kKeyboard, 11).sameMode);
    EXPECT_FALSE(Row(kKeyboard, 1).sameMode);
    EXPECT_TRUE(Row(kKeyboard, 17).secondaryShown);
    EXPECT_FALSE(Row(kKeyboard, 17).customShown);
    EXPECT_TRUE(Row(kKeyboard, 19).customShown);
    EXPECT_EQ(Row(kKeyboard, 12).captions, DirectionCaptions::DownUp);
    EXPECT_EQ(Row(kKeyboard, 18).captions, DirectionCaptions::OutsideInside);
    EXPECT_EQ(Row(kKeyboard, 3).captions, DirectionCaptions::LeftRight);
}

TEST(LightLayoutTable, KeyboardDashesLeaveGroupsAlone) {
    EXPECT_EQ(At(Row(kKeyboard, 21), LightGroup::RgbEdits), GroupState::Keep);
    EXPECT_EQ(At(Row(kKeyboard, 21), LightGroup::ColorSelects), GroupState::On);
    EXPECT_EQ(At(Row(kKeyboard, 22), LightGroup::RgbEdits), GroupState::Keep);
    EXPECT_EQ(At(Row(kKeyboard, 22), LightGroup::ColorSelects), GroupState::Keep);
    EXPECT_EQ(At(Row(kKeyboard, 26), LightGroup::RgbEdits), GroupState::On);
    EXPECT_EQ(At(Row(kKeyboard, 26), LightGroup::ColorSelects), GroupState::Keep);
    EXPECT_EQ(At(Row(kKeyboard, 27), LightGroup::RgbEdits), GroupState::Off);
    EXPECT_EQ(At(Row(kKeyboard, 19), LightGroup::RgbEdits), GroupState::Off);
    EXPECT_EQ(At(Row(kKeyboard, 19), LightGroup::ColorSelects), GroupState::On);
    EXPECT_EQ(At(Row(kKeyboard, 19), LightGroup::MultiColor), GroupState::Off);
}

TEST(LightLayoutTable, KeyboardSpeedIsShownHiddenOrSwitchedOff) {
    for (int mode : {1, 4, 5, 11, 12, 21, 24, 27}) {
        EXPECT_EQ(Row(kKeyboard, mode).speedShown, GroupState::On) << mode;
        EXPECT_EQ(Row(kKeyboard, mode).speedEnabled, GroupState::Keep) << mode;
    }
    for (int mode : {6, 16, 17, 18, 19, 28}) {
        EXPECT_EQ(Row(kKeyboard, mode).speedShown, GroupState::Keep) << mode; // hidden by the reset
        EXPECT_EQ(Row(kKeyboard, mode).speedEnabled, GroupState::Keep) << mode;
    }
    // A mode of no row: hidden and disabled, brightness off, colour groups left alone.
    for (int mode : {0, 20, 23, 30, 255, -1}) {
        const LightLayoutRow r = Row(kKeyboard, mode);
        EXPECT_EQ(r.speedEnabled, GroupState::Off) << mode;
        EXPECT_EQ(At(r, LightGroup::Brightness), GroupState::Off) << mode;
        EXPECT_EQ(At(r, LightGroup::RgbEdits), GroupState::Keep) << mode;
        EXPECT_FALSE(r.sameMode) << mode;
    }
}

TEST(LightLayoutTable, MouseSpeedIsEnabledOrDisabledNeverHidden) {
    for (int mode = -1; mode < 12; ++mode) {
        const LightLayoutRow r = Row(kMouse, mode);
        EXPECT_EQ(r.speedShown, GroupState::Keep) << mode;
        EXPECT_NE(r.speedEnabled, GroupState::Keep) << mode;
        EXPECT_EQ(At(r, LightGroup::RgbEdits), GroupState::Keep) << mode;
    }
    EXPECT_EQ(Row(kMouse, 3).speedEnabled, GroupState::Off);
    EXPECT_EQ(At(Row(kMouse, 3), LightGroup::ColorLayout), GroupState::On);
    EXPECT_EQ(Row(kMouse, 5).speedEnabled, GroupState::On);
    EXPECT_EQ(At(Row(kMouse, 5), LightGroup::Direction), GroupState::On);
    EXPECT_EQ(At(Row(kMouse, 4), LightGroup::Direction), GroupState::Off);
    EXPECT_TRUE(Row(kMouse, 8).sameMode);
    EXPECT_FALSE(Row(kMouse, 6).sameMode);
    EXPECT_FALSE(Row(kMouse, 0).sameMode);
}

TEST(LightLayoutTable, MousePadAndHeadsetShareTheirTable) {
    for (int mode = -1; mode < 12; ++mode) {
        const LightLayoutRow pad = Row(kPad, mode);
        const LightLayoutRow headset = Row(kHeadset, mode);
        EXPECT_EQ(pad.enable, headset.enable) << mode;
        EXPECT_EQ(pad.speedEnabled, headset.speedEnabled) << mode;
        EXPECT_EQ(pad.sameMode, headset.sameMode) << mode;
    }
    // Where the pad differs from the mouse: mode 5 is no pad mode, mode 2 has no direction.
    EXPECT_EQ(At(Row(kPad, 5), LightGroup::Brightness), GroupState::Off);
    EXPECT_EQ(At(Row(kMouse, 5), LightGroup::Brightness), GroupState::On);
    EXPECT_EQ(At(Row(kPad, 2), LightGroup::Direction), GroupState::Off);
    EXPECT_EQ(At(Row(kMouse, 2), LightGroup::Direction), GroupState::On);
}

TEST(LightLayoutTable, AMouseBehindItsReceiverIsLaidOutAsAMouse) {
    for (int mode = -1; mode < 12; ++mode) {
        const LightLayoutRow mouse = Row(kMouse, mode);
        const LightLayoutRow receiver = Row(DeviceKind::MouseReceiver, mode);
        EXPECT_EQ(mouse.enable, receiver.enable) << mode;
        EXPECT_EQ(mouse.speedEnabled, receiver.speedEnabled) << mode;
        EXPECT_EQ(mouse.sameMode, receiver.sameMode) << mode;
    }
}

TEST(LightLayoutTable, CaptionKeys) {
    EXPECT_STREQ(LeftCaptionKey(DirectionCaptions::LeftRight), "light_set_right_to_left_text");
    EXPECT_STREQ(RightCaptionKey(DirectionCaptions::LeftRight), "light_set_left_to_right_text");
    EXPECT_STREQ(LeftCaptionKey(DirectionCaptions::DownUp), "light_set_down_to_up_text");
    EXPECT_STREQ(RightCaptionKey(DirectionCaptions::DownUp), "light_set_up_to_down_text");
    EXPECT_STREQ(LeftCaptionKey(DirectionCaptions::OutsideInside), "light_set_outside_to_inside_text");
    EXPECT_STREQ(RightCaptionKey(DirectionCaptions::OutsideInside), "light_set_inside_to_outside_text");
}

} // namespace
} // namespace nk7x
