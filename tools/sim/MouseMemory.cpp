#include "tools/sim/MouseMemory.h"

#include <algorithm>
#include <array>

#include "tools/sim/SimDevice.h"

namespace nk7x {

namespace {
// Left, right, middle, forward, back, DPI up, DPI down, DPI cycle, game mode, M8: the codes the
// firmware ships, written down here on their own so the program's table is checked against them.
constexpr std::array<std::array<uint8_t, 3>, kSimMouseFactoryButtons> kFactoryButtons = {{
    {0x10, 0x01, 0x00},
    {0x10, 0x02, 0x00},
    {0x10, 0x04, 0x00},
    {0x10, 0x10, 0x00},
    {0x10, 0x08, 0x00},
    {0x13, 0x01, 0x00},
    {0x13, 0x02, 0x00},
    {0x13, 0x03, 0x00},
    {0xA0, 0x1B, 0x00},
    {0x16, 0x90, 0x01},
}};

struct FactoryStage {
    uint16_t steps;
    uint8_t red, green, blue;
};
// 400, 800, 1600, 2400 and 3200 DPI at the default step of 50.
constexpr std::array<FactoryStage, kSimMouseStageCount> kFactoryStages = {{
    {8, 0xFF, 0x00, 0x00},
    {16, 0x00, 0xFF, 0x00},
    {32, 0x00, 0x00, 0xFF},
    {48, 0xFF, 0xFF, 0x00},
    {64, 0xFF, 0x00, 0xFF},
}};

void PutLe16(std::vector<uint8_t>& bytes, size_t at, uint16_t value) {
    bytes[at] = static_cast<uint8_t>(value & 0xFF);
    bytes[at + 1] = static_cast<uint8_t>(value >> 8);
}
} // namespace

std::vector<uint8_t> SimFactoryButtonTable(int buttonCount) {
    const size_t count = static_cast<size_t>(std::max(buttonCount, 0));
    std::vector<uint8_t> table(count * 3, 0);
    for (size_t b = 0; b < count && b < kFactoryButtons.size(); ++b)
        std::copy(kFactoryButtons[b].begin(), kFactoryButtons[b].end(),
                  table.begin() + static_cast<std::ptrdiff_t>(b * 3));
    return table;
}

std::vector<uint8_t> SimFactoryMouseSettingsRecord() {
    std::vector<uint8_t> r(kSimMouseSettingsRecordBytes, 0);
    r[kSimMouseRecordIndex] = 0;
    r[kSimMouseRecordMode] = 0;
    r[kSimMouseRecordBrightness] = 4; // full
    r[kSimMouseRecordSpeed] = 2;      // middle
    r[kSimMouseRecordEffect] = 0;
    r[kSimMouseRecordMultiColour] = 1;
    r[kSimMouseRecordRed] = 0xFF;
    r[kSimMouseRecordRed + 1] = 0xFF;
    r[kSimMouseRecordRed + 2] = 0xFF;
    r[kSimMouseRecordReportStage] = 3;
    r[kSimMouseRecordActiveStage] = 0;
    for (size_t s = 0; s < kFactoryStages.size(); ++s) {
        const size_t at = kSimMouseRecordFirstStage + s * kSimMouseStageBytes;
        const FactoryStage& stage = kFactoryStages[s];
        r[at] = 1;     // on
        r[at + 1] = 0; // one value for X and Y
        PutLe16(r, at + 2, stage.steps);
        PutLe16(r, at + 4, stage.steps);
        r[at + 6] = stage.red;
        r[at + 7] = stage.green;
        r[at + 8] = stage.blue;
    }
    r[kSimMouseRecordByte59] = 1;
    // The screen size and the pointer correction stay 0 until the program writes them.
    return r;
}

void SimFillMouseDeviceInfo(const SimOptions& options, std::vector<uint8_t>& info) {
    info[kSimInfoDpiStep] = options.dpiStep;
    PutLe16(info, kSimInfoMaxSteps, options.maxDpiSteps);
    PutLe16(info, kSimInfoMinDpi, options.minDpi);
}

} // namespace nk7x
