#include "tools/sim/PadMemory.h"

namespace nk7x {

std::vector<uint8_t> SimFactoryPadSettingsRecord() {
    std::vector<uint8_t> r(kSimPadSettingsRecordBytes, 0);
    r[kSimPadRecordIndex] = 0;
    r[kSimPadRecordMode] = 0;       // wave
    r[kSimPadRecordBrightness] = 4; // full
    r[kSimPadRecordSpeed] = 2;      // middle
    r[kSimPadRecordOwnByte] = 0x01;
    r[kSimPadRecordMultiColour] = 1;
    r[kSimPadRecordRed] = 0xFF;
    r[kSimPadRecordRed + 1] = 0xFF;
    r[kSimPadRecordRed + 2] = 0xFF;
    for (size_t i = kSimPadRecordOwnTail; i < kSimPadRecordOwnTailEnd; ++i)
        r[i] = static_cast<uint8_t>(0x40 + (i - kSimPadRecordOwnTail));
    return r;
}

} // namespace nk7x
