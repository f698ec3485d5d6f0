#include "panels/light/LightLayoutTable.h"

#include <initializer_list>
#include <string_view>

namespace nk7x {
namespace {

// Speed column: shown, hidden, hidden and disabled (keyboard); on, off (the other styles).
enum class Speed { Shown, Hidden, HiddenOff, On, Off };

struct TableRow {
    std::initializer_list<int> modes; // empty: every mode not listed before
    // One character per LightGroup in order: '1' on, '0' off, '-' left as it was.
    std::string_view groups;
    Speed speed;
    bool same = false;
    bool custom = false;
    bool secondary = false;
    DirectionCaptions captions = DirectionCaptions::LeftRight;
};

using Dc = DirectionCaptions;

//                   modes                       multi rgb selects colour palette bright direction
const TableRow kKeyboard[] = {
    {{1, 2, 3, 25}, "1111111", Speed::Shown},
    {{4}, "0000010", Speed::Shown, true},
    {{5}, "1111110", Speed::Shown, true},
    {{6}, "1111110", Speed::Hidden, true},
    {{7, 8, 9, 10, 13, 15, 29}, "1111110", Speed::Shown},
    {{11}, "0000010", Speed::Shown},
    {{12}, "0000011", Speed::Shown, false, false, false, Dc::DownUp},
    {{14}, "1111110", Speed::Shown},
    {{16}, "1111110", Speed::Hidden},
    {{17}, "0000010", Speed::Hidden, false, false, true},
    {{18}, "0000011", Speed::Hidden, false, false, false, Dc::OutsideInside},
    {{19}, "0011110", Speed::Hidden, false, true},
    {{21}, "1-11111", Speed::Shown},
    {{22}, "1--1110", Speed::Shown},
    {{24}, "1111110", Speed::Shown, true},
    {{26}, "01-0010", Speed::Shown},
    {{27}, "00-0010", Speed::Shown},
    {{28}, "0--0000", Speed::Hidden, true},
    {{}, "0--0000", Speed::HiddenOff},
};

// The mouse has no RGB edits or swatch rows of its own in the table: they are left as they are.
const TableRow kMouse[] = {
    {{0, 5}, "1--1111", Speed::On},
    {{1}, "0--0010", Speed::On, true},
    {{2}, "1--1111", Speed::On, true},
    {{3}, "0--1110", Speed::Off, true},
    {{4}, "1--1110", Speed::On, true},
    {{6, 7}, "0--0010", Speed::On},
    {{8}, "0--0000", Speed::Off, true},
    {{}, "0--0000", Speed::Off},
};

// Mouse pad and headset.
const TableRow kRing[] = {
    {{0}, "1--1111", Speed::On},
    {{1}, "0--0010", Speed::On, true},
    {{2, 4}, "1--1110", Speed::On, true},
    {{3}, "0--1110", Speed::Off, true},
    {{8}, "0--0000", Speed::Off, true},
    {{}, "0--0000", Speed::Off},
};

template <std::size_t N> const TableRow& Find(const TableRow (&table)[N], int mode) {
    for (const TableRow& row : table) {
        if (row.modes.size() == 0)
            return row;
        for (int m : row.modes)
            if (m == mode)
                return row;
    }
    return table[N - 1];
}

LightLayoutRow Convert(const TableRow& t) {
    LightLayoutRow row;
    for (std::size_t i = 0; i < kLightGroupCount && i < t.groups.size(); ++i)
        row.enable[i] = t.groups[i] == '1' ? GroupState::On : t.groups[i] == '0' ? GroupState::Off : GroupState::Keep;
    switch (t.speed) {
    case Speed::Shown:
        row.speedShown = GroupState::On;
        break;
    case Speed::Hidden:
        break; // the re-layout has hidden it already
    case Speed::HiddenOff:
        row.speedEnabled = GroupState::Off;
        break;
    case Speed::On:
        row.speedEnabled = GroupState::On;
        break;
    case Speed::Off:
        row.speedEnabled = GroupState::Off;
        break;
    }
    row.sameMode = t.same;
    row.customShown = t.custom;
    row.secondaryShown = t.secondary;
    row.captions = t.captions;
    return row;
}

} // namespace

bool LightLayoutFor(int style, int mode, LightLayoutRow& row) {
    switch (style) {
    case 1:
        row = Convert(Find(kKeyboard, mode));
        return true;
    case 2:
    case 6: // a mouse through its receiver is laid out as a mouse
        row = Convert(Find(kMouse, mode));
        return true;
    case 3:
    case 7:
        row = Convert(Find(kRing, mode));
        return true;
    default:
        return false;
    }
}

const char* LeftCaptionKey(DirectionCaptions c) {
    switch (c) {
    case DirectionCaptions::DownUp:
        return "light_set_down_to_up_text";
    case DirectionCaptions::OutsideInside:
        return "light_set_outside_to_inside_text";
    case DirectionCaptions::LeftRight:
        break;
    }
    return "light_set_right_to_left_text";
}

const char* RightCaptionKey(DirectionCaptions c) {
    switch (c) {
    case DirectionCaptions::DownUp:
        return "light_set_up_to_down_text";
    case DirectionCaptions::OutsideInside:
        return "light_set_inside_to_outside_text";
    case DirectionCaptions::LeftRight:
        break;
    }
    return "light_set_left_to_right_text";
}

} // namespace nk7x
