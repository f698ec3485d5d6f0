// The status record every device kind answers the status poll with (6 bytes at offset 0): battery
// level, power state, the wireless flag the program sets, and the phone lying on a mouse pad.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace nk7x {

struct DeviceStatusRecord {
    static constexpr size_t kSize = 6;
    static constexpr size_t kBattery = 0;  // percent
    static constexpr size_t kPower = 1;    // 0 powered, 1 charging, 2 on battery
    static constexpr size_t kWireless = 3; // set by the program: 1 behind a receiver
    static constexpr size_t kPhone = 5;    // mouse pad: 1 iPhone, 2 Samsung, 3 other, else none
    uint8_t battery = 0;
    uint8_t power = 0;
    uint8_t wireless = 0;
    uint8_t phoneType = 0;
    std::array<uint8_t, kSize> raw{};
};

using DeviceStatusBytes = std::array<uint8_t, DeviceStatusRecord::kSize>;

} // namespace nk7x
