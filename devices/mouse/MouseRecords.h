// The mouse's wire records: its device information fields, the settings record it keeps at
// n × 128 of its parameter area (71 bytes read, 66 written), the button position map and the DPI
// arithmetic of the page's stage controls.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "devices/DeviceStatus.h"
#include "devices/mouse/MouseTables.h"
#include "link/CommandFrame.h"
#include "profiles/ProfileRecords.h"

namespace nk7x {

inline constexpr size_t kMouseSettingsStride = 128;
inline constexpr size_t kMouseSettingsReadBytes = 71;
inline constexpr size_t kMouseSettingsWriteBytes = 66;
inline constexpr uint8_t kMouseFirstUnsentLightMode = 9; // modes from here on travel as 0

// The fields of the device information the mouse page uses.
struct MouseDeviceInfo {
    int buttons = 0;    // byte 5: entries of the button table
    int macroUnits = 0; // byte 6: macro memory in units of 128 bytes
    int dpiStep = 0;    // byte 11: DPI per step
    int maxSteps = 0;   // bytes 12-13
    int minDpi = 0;     // bytes 14-15

    static MouseDeviceInfo From(const DeviceInfoRecord& info);
    // The largest DPI a stage can have.
    int MaxDpi() const { return maxSteps * dpiStep; }
    // A typed DPI as a step count: raised to the smallest DPI, divided by the step (rounded down),
    // limited to the largest count. 0 without a step.
    int StepsForDpi(int dpi) const;
    // The DPI a step count stands for; the count itself while the mouse has told no step.
    int DpiForSteps(int steps) const { return dpiStep > 0 ? steps * dpiStep : steps; }
};

// The settings record in program terms.
struct MouseSettingsRecord {
    uint8_t index = 0;
    LightState light; // mode, brightness, speed, direction, multi-colour, colour
    uint8_t reportStage = 0;
    uint8_t activeStage = 0;
    std::vector<DpiStage> stages; // at most five travel; missing ones travel as zeros
    uint8_t byte59 = 1;
    uint16_t screenWidth = 0;
    uint16_t screenHeight = 0;
    uint8_t correctMinSquare = 0;
    uint8_t correctPixelThreshold = 0;

    // The 66 bytes the mouse takes.
    std::array<uint8_t, kMouseSettingsWriteBytes> Serialise() const;
    // From the 71 bytes the mouse gives; false (out untouched) when fewer than 66 bytes are given.
    static bool Parse(std::span<const uint8_t> bytes, MouseSettingsRecord& out);
};

// The correction choice the record carries: the first entry that is selected, else none.
void TakeCorrection(const std::vector<CorrectEntry>& entries, MouseSettingsRecord& record);

// Button index -> position in the device's button table (kMouseButtonNotFound when the factory code
// of the button is nowhere in the first `count` entries).
std::array<uint8_t, kMouseButtonCount> BuildButtonPositionMap(std::span<const uint8_t> table, int count);

} // namespace nk7x
