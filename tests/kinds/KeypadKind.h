// A numeric keypad that exists only in the tests: a kind the program learns at run time from its
// descriptor, its device class and its page, with nothing of it in the program itself.
#pragma once

#include "link/KindDescriptors.h"

namespace nk7x::test {

inline constexpr DeviceFamily kKeypadFamily = static_cast<DeviceFamily>(kDeviceFamilyCount);
inline constexpr DeviceKind kKeypadKind = static_cast<DeviceKind>(8);
inline constexpr int kKeypadKeys = 17;

// clang-format off
inline constexpr KindDescriptor kKeypad = {
    kKeypadFamily, kKeypadKind, 0x0C45, 0x0821, "kinds\\keypaddevice.xml", kKeypadKeys, kKeypadKeys,
    "tavro_light", "keypad", "NK-7X Keypad", "keypad", "keypad", DeviceFamily::Keyboard};
// clang-format on

// Adds the keypad's descriptor and page class once per test program; false when the program
// refused them (the reason is printed).
bool AddKeypadKind();

} // namespace nk7x::test
