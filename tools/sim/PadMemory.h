// What the emulated mouse pad holds when new and where its fields sit: its bytes of the device
// information record and its settings record (record n read at n x 25, 26 bytes; written at
// n x 64, 21 bytes; record 0 at offset 0 both ways).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace nk7x {

inline constexpr int kSimPadLedCount = 15; // device information byte 5
inline constexpr uint8_t kSimPadKind = 3;  // device information byte 4

inline constexpr size_t kSimPadSettingsReadStride = 25;
inline constexpr size_t kSimPadSettingsWriteStride = 64;
inline constexpr size_t kSimPadSettingsRecordBytes = 26;  // what a read takes
inline constexpr size_t kSimPadSettingsWrittenBytes = 21; // what a write carries
inline constexpr size_t kSimPadRecordIndex = 0;
inline constexpr size_t kSimPadRecordMode = 1;
inline constexpr size_t kSimPadRecordBrightness = 2;
inline constexpr size_t kSimPadRecordSpeed = 3; // counted downwards: 4 - speed
inline constexpr size_t kSimPadRecordOwnByte = 4;
inline constexpr size_t kSimPadRecordMultiColour = 5;
inline constexpr size_t kSimPadRecordRed = 6;         // then green, blue
inline constexpr size_t kSimPadRecordOwnTail = 9;     // bytes 9..20: the pad's own
inline constexpr size_t kSimPadRecordOwnTailEnd = 21; // one past the last

// Settings record 0 of a new pad (kSimPadSettingsRecordBytes). Byte 4 and bytes 9..20 hold values
// of the pad's own (not zero), so that a host that does not hand them back is seen at once.
std::vector<uint8_t> SimFactoryPadSettingsRecord();

} // namespace nk7x
