// The device kinds of the supported-device tables and the page families they fall into, with the
// family's profile folder name; the one place that gives these numbers and names. Kinds added at run
// time (link/KindDescriptors.h) answer where the shipped ones do not.
#pragma once

#include <cstdint>
#include <optional>

namespace nk7x {

// A device kind as the device tables number it; the numbers also reach the power indicator and
// the device list entry, so they never change.
enum class DeviceKind : uint16_t {
    Keyboard = 1,
    Mouse = 2,
    MousePad = 3,
    MouseReceiver = 6, // a mouse reached through its wireless receiver
    Headset = 7,
};

// The page family of a kind: the order of the main window's page lists, the kind index of the
// option table and the element of the lighting name files. A kind added at run time brings a family
// numbered from kDeviceFamilyCount on.
enum class DeviceFamily : int { Keyboard = 0, Mouse = 1, MousePad = 2, Headset = 3 };
inline constexpr int kDeviceFamilyCount = 4; // the shipped families

// What the kinds added at run time say (link/KindDescriptors.cpp); nothing, or the last shipped
// answer, for a number no added kind has.
std::optional<DeviceKind> AddedKindFromNumber(int number);
std::optional<DeviceFamily> AddedFamilyFromIndex(int index);
DeviceFamily AddedFamilyOf(DeviceKind kind);
const char* AddedFolderName(DeviceFamily family);
const char* AddedDisplayName(DeviceKind kind);

constexpr uint16_t KindNumber(DeviceKind kind) {
    return static_cast<uint16_t>(kind);
}
constexpr int FamilyIndex(DeviceFamily family) {
    return static_cast<int>(family);
}

// A number read from a table, a file or a command line; nothing for a number that names no kind.
constexpr std::optional<DeviceKind> KindFromNumber(int number) {
    switch (number) {
    case 1:
        return DeviceKind::Keyboard;
    case 2:
        return DeviceKind::Mouse;
    case 3:
        return DeviceKind::MousePad;
    case 6:
        return DeviceKind::MouseReceiver;
    case 7:
        return DeviceKind::Headset;
    default:
        return AddedKindFromNumber(number);
    }
}

// A family index read from a table or a file; nothing for an index no family has.
constexpr std::optional<DeviceFamily> FamilyFromIndex(int index) {
    if (index < 0)
        return std::nullopt;
    if (index >= kDeviceFamilyCount)
        return AddedFamilyFromIndex(index);
    return static_cast<DeviceFamily>(index);
}

// A mouse behind its receiver is shown, stored and lit as a mouse.
constexpr DeviceFamily FamilyOf(DeviceKind kind) {
    switch (kind) {
    case DeviceKind::Keyboard:
        return DeviceFamily::Keyboard;
    case DeviceKind::Mouse:
    case DeviceKind::MouseReceiver:
        return DeviceFamily::Mouse;
    case DeviceKind::MousePad:
        return DeviceFamily::MousePad;
    case DeviceKind::Headset:
        return DeviceFamily::Headset;
    }
    return AddedFamilyOf(kind);
}

// The family's folder under the user data root and the base name of its default profile.
constexpr const char* FolderName(DeviceFamily family) {
    switch (family) {
    case DeviceFamily::Keyboard:
        return "keyboard";
    case DeviceFamily::Mouse:
        return "mouse";
    case DeviceFamily::MousePad:
        return "MousePad";
    case DeviceFamily::Headset:
        return "HD";
    }
    return AddedFolderName(family);
}

// How the command-line tool names a kind.
constexpr const char* DisplayName(DeviceKind kind) {
    switch (kind) {
    case DeviceKind::Keyboard:
        return "keyboard";
    case DeviceKind::Mouse:
        return "mouse";
    case DeviceKind::MousePad:
        return "mouse pad";
    case DeviceKind::MouseReceiver:
        return "mouse receiver";
    case DeviceKind::Headset:
        return "headset";
    }
    return AddedDisplayName(kind);
}

} // namespace nk7x
