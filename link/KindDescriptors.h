// What the program knows of each device family, as data: the kind its list entry carries, the device
// it ships with, its page's layout and its key and button counts. The device tables, the service
// answer, the emulator and the command-line tool read these rows instead of repeating them. A kind
// can be added at run time (AddKind): a descriptor, its device class and its page are then all of it.
#pragma once

#include "link/DeviceKind.h"

#include <array>
#include <cstdint>
#include <deque>
#include <string>

namespace nk7x {

struct KindDescriptor {
    DeviceFamily family;
    DeviceKind kind; // the kind of the family's list entry and option row
    // The device the program ships for the family; 0 and 0 when a device rows file names it.
    uint16_t vendorId;
    uint16_t productId;
    const char* pageLayout;   // the page's layout, naming the page's class at its root
    int32_t keyCount;         // keys, or LEDs where the device has no keys
    int32_t buttonCount;      // buttons that take assignments
    const char* lightingName; // the element of the lighting name files
    const char* scriptName;   // how scripts name the family (the desktop bus, the command line)
    const char* productName;  // how other programs name the device (the bus, the lighting server)
    const char* folderName;   // the profile folder and the default profile's base name
    const char* displayName;  // how the command-line tool names the kind
    DeviceFamily lightModes;  // whose built-in light modes, light areas and report rates it has
};

// In the order of the option table, which is the order of the pages.
// clang-format off
inline constexpr std::array<KindDescriptor, kDeviceFamilyCount> kKindDescriptors = {{
    {DeviceFamily::Mouse, DeviceKind::Mouse, 0, 0, "XML\\DeviceXml\\mousedevice.xml", 6, 7, "tavro_light", "mouse", "NK-7X Mouse",
     FolderName(DeviceFamily::Mouse), DisplayName(DeviceKind::Mouse), DeviceFamily::Mouse},
    {DeviceFamily::Keyboard, DeviceKind::Keyboard, 0x0C45, 0x0820, "XML\\DeviceXml\\keyboarddevice.xml", 126, 126,
     "tavro_light", "keyboard", "NK-7X Keyboard", FolderName(DeviceFamily::Keyboard), DisplayName(DeviceKind::Keyboard),
     DeviceFamily::Keyboard},
    {DeviceFamily::MousePad, DeviceKind::MousePad, 0x320F, 0x1004, "XML\\DeviceXml\\mousepaddevice.xml", 15, 0,
     "tavro_light", "pad", "NK-7X Mouse Pad", FolderName(DeviceFamily::MousePad), DisplayName(DeviceKind::MousePad),
     DeviceFamily::MousePad},
    {DeviceFamily::Headset, DeviceKind::Headset, 0, 0, "XML\\DeviceXml\\hs6533device.xml", 13, 0, "tavro_light", "headset",
     "NK-7X Headset", FolderName(DeviceFamily::Headset), DisplayName(DeviceKind::Headset), DeviceFamily::Headset},
}};
// clang-format on

// Each family has exactly one row, whose kind belongs to it.
constexpr bool EachFamilyOnce() {
    for (int f = 0; f < kDeviceFamilyCount; ++f) {
        int rows = 0;
        for (const KindDescriptor& d : kKindDescriptors)
            rows += FamilyIndex(d.family) == f && FamilyOf(d.kind) == d.family ? 1 : 0;
        if (rows != 1)
            return false;
    }
    return true;
}
static_assert(EachFamilyOnce(), "every family needs one description");

// The shipped rows followed by the added ones, in the order of the option table.
const std::deque<KindDescriptor>& Kinds();

// Adds a kind: before anything reads the device tables, the pages or the kinds (start-up, a test's
// set-up), since the list is not guarded against a concurrent reader. Its texts must outlive the
// program's use of them (literals). False with the reason when its family is not the next unused
// one, its kind number or a name is taken, or its light modes are not a shipped family's.
bool AddKind(const KindDescriptor& kind, std::string* why = nullptr);

// The added kind of a family or a kind number; null for a shipped one or an unknown one.
const KindDescriptor* AddedKind(DeviceFamily family);
const KindDescriptor* AddedKind(DeviceKind kind);

constexpr const KindDescriptor& Describe(DeviceFamily family) {
    for (const KindDescriptor& d : kKindDescriptors)
        if (d.family == family)
            return d;
    if (const KindDescriptor* added = AddedKind(family))
        return *added;
    return kKindDescriptors[0];
}

// The shipped family whose light modes, light areas and report rates a family has: itself for a
// shipped one.
constexpr DeviceFamily LightFamily(DeviceFamily family) {
    return Describe(family).lightModes;
}

} // namespace nk7x
