// What the emulated mouse holds when new and where its fields sit: the mouse's bytes of the device
// information record, its button table and its settings record (one per 128 bytes of the parameter
// area, 71 bytes read and the first 66 written).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace nk7x {

struct SimOptions;

// Device information bytes only the mouse gives meaning to.
inline constexpr size_t kSimInfoDpiStep = 11;  // DPI per step
inline constexpr size_t kSimInfoMaxSteps = 12; // 2 bytes LE: largest DPI step count
inline constexpr size_t kSimInfoMinDpi = 14;   // 2 bytes LE: smallest DPI the page accepts

// Settings records.
inline constexpr size_t kSimMouseSettingsStride = 128;      // record n starts at n x 128
inline constexpr size_t kSimMouseSettingsRecordBytes = 71;  // what a read takes
inline constexpr size_t kSimMouseSettingsWrittenBytes = 66; // what a write carries
inline constexpr size_t kSimMouseRecordIndex = 0;
inline constexpr size_t kSimMouseRecordMode = 1;
inline constexpr size_t kSimMouseRecordBrightness = 2;
inline constexpr size_t kSimMouseRecordSpeed = 3; // counted downwards: 4 - speed
inline constexpr size_t kSimMouseRecordEffect = 4;
inline constexpr size_t kSimMouseRecordMultiColour = 5;
inline constexpr size_t kSimMouseRecordRed = 6; // then green, blue
inline constexpr size_t kSimMouseRecordReportStage = 11;
inline constexpr size_t kSimMouseRecordActiveStage = 12;
inline constexpr size_t kSimMouseRecordFirstStage = 14;
inline constexpr size_t kSimMouseStageBytes = 9; // on, XY, X LE, Y LE, red, green, blue
inline constexpr int kSimMouseStageCount = 5;
inline constexpr size_t kSimMouseRecordByte59 = 59;
inline constexpr size_t kSimMouseRecordScreenWidth = 60;  // 2 bytes LE
inline constexpr size_t kSimMouseRecordScreenHeight = 62; // 2 bytes LE

// The buttons a new mouse has, in table order; a larger table holds 00 00 00 past them.
inline constexpr int kSimMouseFactoryButtons = 10;

// The button table of `buttonCount` entries of 3 bytes.
std::vector<uint8_t> SimFactoryButtonTable(int buttonCount);
// Settings record 0 of a new mouse (kSimMouseSettingsRecordBytes).
std::vector<uint8_t> SimFactoryMouseSettingsRecord();
// Writes the mouse's own fields (DPI step, largest step count, smallest DPI) into a 34-byte record.
void SimFillMouseDeviceInfo(const SimOptions& options, std::vector<uint8_t>& info);

} // namespace nk7x
