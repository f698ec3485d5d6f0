#include "devices/mouse/MouseRecords.h"

#include <algorithm>

namespace nk7x {
namespace {

uint16_t Le16(const DeviceInfoRecord& info, size_t at) {
    return static_cast<uint16_t>(info[at] | (info[at + 1] << 8));
}

void Put16(uint8_t* at, uint16_t value) {
    at[0] = static_cast<uint8_t>(value & 0xFF);
    at[1] = static_cast<uint8_t>(value >> 8);
}

} // namespace

MouseDeviceInfo MouseDeviceInfo::From(const DeviceInfoRecord& info) {
    MouseDeviceInfo out;
    out.buttons = info[5];
    out.macroUnits = info[6];
    out.dpiStep = info[11];
    out.maxSteps = Le16(info, 12);
    out.minDpi = Le16(info, 14);
    return out;
}

int MouseDeviceInfo::StepsForDpi(int dpi) const {
    if (dpiStep <= 0)
        return 0;
    const int raised = std::max(dpi, minDpi);
    return std::clamp(raised / dpiStep, 0, maxSteps);
}

std::array<uint8_t, kMouseSettingsWriteBytes> MouseSettingsRecord::Serialise() const {
    std::array<uint8_t, kMouseSettingsWriteBytes> b{};
    b[0] = index;
    b[1] = light.mode >= kMouseFirstUnsentLightMode ? 0 : light.mode;
    b[2] = light.brightness;
    b[3] = static_cast<uint8_t>(4 - light.speed);
    b[4] = light.direction;
    b[5] = light.multiColor;
    b[6] = light.red;
    b[7] = light.green;
    b[8] = light.blue;
    b[11] = reportStage;
    b[12] = activeStage;
    for (size_t s = 0; s < static_cast<size_t>(kMouseDpiStageCount) && s < stages.size(); ++s) {
        const auto stage = stages[s].Serialise();
        std::copy(stage.begin(), stage.end(), b.begin() + 14 + 9 * s);
    }
    b[59] = byte59;
    Put16(&b[60], screenWidth);
    Put16(&b[62], screenHeight);
    b[64] = correctMinSquare;
    b[65] = correctPixelThreshold;
    return b;
}

bool MouseSettingsRecord::Parse(std::span<const uint8_t> bytes, MouseSettingsRecord& out) {
    if (bytes.size() < kMouseSettingsWriteBytes)
        return false;
    MouseSettingsRecord r;
    r.index = bytes[0];
    r.light.mode = bytes[1];
    r.light.brightness = bytes[2];
    r.light.speed = static_cast<uint8_t>(4 - bytes[3]);
    r.light.direction = bytes[4];
    r.light.multiColor = bytes[5];
    r.light.red = bytes[6];
    r.light.green = bytes[7];
    r.light.blue = bytes[8];
    r.reportStage = bytes[11];
    r.activeStage = bytes[12];
    for (size_t s = 0; s < static_cast<size_t>(kMouseDpiStageCount); ++s) {
        DpiStage stage;
        if (DpiStage::Parse(bytes.subspan(14 + 9 * s, DpiStage::kSize), stage))
            r.stages.push_back(stage);
    }
    r.byte59 = bytes[59];
    r.screenWidth = static_cast<uint16_t>(bytes[60] | (bytes[61] << 8));
    r.screenHeight = static_cast<uint16_t>(bytes[62] | (bytes[63] << 8));
    r.correctMinSquare = bytes[64];
    r.correctPixelThreshold = bytes[65];
    out = r;
    return true;
}

void TakeCorrection(const std::vector<CorrectEntry>& entries, MouseSettingsRecord& record) {
    record.correctMinSquare = 0;
    record.correctPixelThreshold = 0;
    for (const CorrectEntry& e : entries) {
        if (e.selected != 0) {
            record.correctMinSquare = e.minSquare;
            record.correctPixelThreshold = e.pixelThreshold;
            return;
        }
    }
}

std::array<uint8_t, kMouseButtonCount> BuildButtonPositionMap(std::span<const uint8_t> table, int count) {
    std::array<uint8_t, kMouseButtonCount> map;
    map.fill(kMouseButtonNotFound);
    const int entries = std::min<int>(count, static_cast<int>(table.size() / 3));
    for (int b = 0; b < kMouseButtonCount; ++b) {
        const KeyCode& code = DefaultButtonCodeTable[static_cast<size_t>(b)].code;
        for (int p = 0; p < entries && p < kMouseButtonNotFound; ++p) {
            const size_t at = static_cast<size_t>(p) * 3;
            if (table[at] == code.type && table[at + 1] == code.b1 && table[at + 2] == code.b2) {
                map[static_cast<size_t>(b)] = static_cast<uint8_t>(p);
                break;
            }
        }
    }
    return map;
}

} // namespace nk7x
