#include "panels/light/LightLayoutTable.h"

#include "link/KindDescriptors.h"

#include <initializer_list>
#include <string_view>

#include "devices/LightModeTables.h"

namespace nk7x {
namespace {

// Speed column: shown, hidden, hidden and disabled (keyboard); on, off (the other styles).
enum class Speed { Shown, Hidden, HiddenOff, On, Off };

// A mode list of any family's mode type, kept as the numbers the profiles store.
class Modes {
  public:
    Modes() = default;
    template <class Mode> Modes(std::initializer_list<Mode> modes) {
        for (Mode m : modes) {
            if (m_count < m_numbers.size())
                m_numbers[m_count++] = ModeNumber(m);
        }
    }
    bool Empty() const { return m_count == 0; }
    bool Contains(int mode) const {
        for (std::size_t i = 0; i < m_count; ++i)
            if (m_numbers[i] == mode)
                return true;
        return false;
    }

  private:
    std::array<int, 8> m_numbers{};
    std::size_t m_count = 0;
};

struct TableRow {
    Modes modes; // empty: every mode not listed before
    // One character per LightGroup in order: '1' on, '0' off, '-' left as it was.
    std::string_view groups;
    Speed speed;
    bool same = false;
    bool custom = false;
    bool secondary = false;
    DirectionCaptions captions = DirectionCaptions::LeftRight;
};

using Dc = DirectionCaptions;
using K = KeyboardLightMode;
using M = MouseLightMode;
using P = PadLightMode;

//                   modes                       multi rgb selects colour palette bright direction
const TableRow kKeyboard[] = {
    {{K::Wave, K::Sweep, K::Snake, K::PathTrail}, "1111111", Speed::Shown},
    {{K::Spectrum}, "0000010", Speed::Shown, true},
    {{K::Breathing}, "1111110", Speed::Shown, true},
    {{K::Static}, "1111110", Speed::Hidden, true},
    {{K::Reactive, K::Ripple, K::ReactiveFade, K::Sparkle, K::CentreRipple, K::Raindrops, K::ReactiveRipple},
     "1111110",
     Speed::Shown},
    {{K::KeyCycle}, "0000010", Speed::Shown},
    {{K::RowWave}, "0000011", Speed::Shown, false, false, false, Dc::DownUp},
    {{K::Burst}, "1111110", Speed::Shown},
    {{K::CornerRipple}, "1111110", Speed::Hidden},
    {{K::PresetColour}, "0000010", Speed::Hidden, false, false, true},
    {{K::RingWave}, "0000011", Speed::Hidden, false, false, false, Dc::OutsideInside},
    {{K::Custom}, "0011110", Speed::Hidden, false, true},
    {{K::RunningKey}, "1-11111", Speed::Shown},
    {{K::Twinkle}, "1--1110", Speed::Shown},
    {{K::Blink}, "1111110", Speed::Shown, true},
    {{K::PaletteBreathing}, "01-0010", Speed::Shown},
    {{K::PaletteBlink}, "00-0010", Speed::Shown},
    {{K::Off}, "0--0000", Speed::Hidden, true},
    {{}, "0--0000", Speed::HiddenOff},
};

// The mouse has no RGB edits or swatch rows of its own in the table: they are left as they are.
const TableRow kMouse[] = {
    {{M::Wave, M::ZoneChase}, "1--1111", Speed::On},
    {{M::Spectrum}, "0--0010", Speed::On, true},
    {{M::Breathing}, "1--1111", Speed::On, true},
    {{M::Static}, "0--1110", Speed::Off, true},
    {{M::Blink}, "1--1110", Speed::On, true},
    {{M::PaletteBreathing, M::PaletteBlink}, "0--0010", Speed::On},
    {{M::Off}, "0--0000", Speed::Off, true},
    {{}, "0--0000", Speed::Off},
};

// Mouse pad and headset.
const TableRow kRing[] = {
    {{P::Wave}, "1--1111", Speed::On},
    {{P::Spectrum}, "0--0010", Speed::On, true},
    {{P::Breathing, P::Blink}, "1--1110", Speed::On, true},
    {{P::Static}, "0--1110", Speed::Off, true},
    {{P::Off}, "0--0000", Speed::Off, true},
    {{}, "0--0000", Speed::Off},
};

template <std::size_t N> const TableRow& Find(const TableRow (&table)[N], int mode) {
    for (const TableRow& row : table) {
        if (row.modes.Empty() || row.modes.Contains(mode))
            return row;
    }
    return table[N - 1];
}

LightLayoutRow Convert(const TableRow& t) {
    LightLayoutRow row;
    for (std::size_t i = 0; i < kLightGroupCount && i < t.groups.size(); ++i)
        row.enable[i] = t.groups[i] == '1'   ? GroupState::On
                        : t.groups[i] == '0' ? GroupState::Off
                                             : GroupState::Keep;
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

LightLayoutRow LightLayoutFor(DeviceKind kind, int mode) {
    switch (LightFamily(FamilyOf(kind))) {
    case DeviceFamily::Keyboard:
        return Convert(Find(kKeyboard, mode));
    case DeviceFamily::Mouse:
        return Convert(Find(kMouse, mode));
    case DeviceFamily::MousePad:
    case DeviceFamily::Headset:
        break;
    }
    return Convert(Find(kRing, mode));
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
