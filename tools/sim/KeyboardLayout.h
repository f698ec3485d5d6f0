// Where the emulated keyboard keeps its keys: the key matrix is scanned column by column, so the
// device position of a program key differs from its key index, and its LEDs are chained row by row
// in alternating directions. Positions from 126 on hold the extra keys of larger boards.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace nk7x {

inline constexpr int kSimMatrixRows = 6;
inline constexpr int kSimMatrixColumns = 21;
inline constexpr uint8_t kSimNoLed = 0xFF;

// Device position of program key `keyIndex` (0..125) in the factory key table.
int SimKeyPosition(int keyIndex);
// Program key at device position `position`, or -1 for positions beyond the 126 program keys.
int SimKeyAtPosition(int position);
// LED index of program key `keyIndex`, or kSimNoLed for the keys that have no LED.
uint8_t SimKeyLed(int keyIndex);

// The factory key table for K positions (3 bytes each, device position order) and the LED table
// (one byte per position). Keys whose position is K or more are not on a board that small.
std::vector<uint8_t> SimFactoryKeyTable(int keyCount);
std::vector<uint8_t> SimFactoryLedTable(int keyCount);

} // namespace nk7x
