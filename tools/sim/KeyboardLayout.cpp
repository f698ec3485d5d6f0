#include "tools/sim/KeyboardLayout.h"

#include "devices/keyboard/KeyboardTables.h"

namespace nk7x {

namespace {
// Extra keys of boards with more than 126 positions: F13..F24, then positions without a function.
constexpr uint8_t kFirstExtraUsage = 0x68;
constexpr int kExtraUsages = 12;

bool HasNoLed(int keyIndex) {
    // The placeholder positions (factory code 20 00 00) carry no key cap and no LED.
    const KeyCode& c = DefaultKeyCodeTable[static_cast<size_t>(keyIndex)].code;
    return c == KeyCode{0x20, 0x00, 0x00};
}
} // namespace

int SimKeyPosition(int keyIndex) {
    if (keyIndex < 0 || keyIndex >= kKeyboardKeyCount)
        return -1;
    const int row = keyIndex / kSimMatrixColumns;
    const int column = keyIndex % kSimMatrixColumns;
    return column * kSimMatrixRows + row;
}

int SimKeyAtPosition(int position) {
    if (position < 0 || position >= kKeyboardKeyCount)
        return -1;
    const int column = position / kSimMatrixRows;
    const int row = position % kSimMatrixRows;
    return row * kSimMatrixColumns + column;
}

uint8_t SimKeyLed(int keyIndex) {
    if (keyIndex < 0 || keyIndex >= kKeyboardKeyCount || HasNoLed(keyIndex))
        return kSimNoLed;
    const int row = keyIndex / kSimMatrixColumns;
    const int column = keyIndex % kSimMatrixColumns;
    const int chained = (row % 2 == 0) ? column : kSimMatrixColumns - 1 - column;
    return static_cast<uint8_t>(row * kSimMatrixColumns + chained);
}

std::vector<uint8_t> SimFactoryKeyTable(int keyCount) {
    std::vector<uint8_t> table;
    if (keyCount <= 0)
        return table;
    table.assign(static_cast<size_t>(keyCount) * 3, 0);
    for (int p = 0; p < keyCount; ++p) {
        uint8_t* e = &table[static_cast<size_t>(p) * 3];
        const int key = SimKeyAtPosition(p);
        if (key >= 0) {
            const KeyCode& c = DefaultKeyCodeTable[static_cast<size_t>(key)].code;
            e[0] = c.type;
            e[1] = c.b1;
            e[2] = c.b2;
        } else if (p - kKeyboardKeyCount < kExtraUsages) {
            e[0] = 0x20;
            e[1] = 0x00;
            e[2] = static_cast<uint8_t>(kFirstExtraUsage + (p - kKeyboardKeyCount));
        }
    }
    return table;
}

std::vector<uint8_t> SimFactoryLedTable(int keyCount) {
    std::vector<uint8_t> table;
    if (keyCount <= 0)
        return table;
    table.assign(static_cast<size_t>(keyCount), kSimNoLed);
    for (int p = 0; p < keyCount; ++p) {
        const int key = SimKeyAtPosition(p);
        if (key >= 0)
            table[static_cast<size_t>(p)] = SimKeyLed(key);
        else if (p < 170)
            table[static_cast<size_t>(p)] =
                static_cast<uint8_t>(p); // extra keys: LEDs after the program keys
    }
    return table;
}

} // namespace nk7x
