#include "tools/sim/SimMemory.h"

#include <algorithm>
#include <cstring>

#include "tools/sim/HeadsetMemory.h"
#include "tools/sim/KeyboardLayout.h"
#include "tools/sim/MouseMemory.h"
#include "tools/sim/PadMemory.h"

namespace nk7x {

namespace {
enum Command : uint8_t {
    kBeginConfig = 1,
    kEndConfig = 2,
    kReadDeviceInfo = 3,
    kReadParameters = 5,
    kWriteParameters = 6,
    kReadKeyTable = 7,
    kWriteKeyTable = 9,
    kWriteLightingPage = 11,
    kStreamLighting = 18,
    kWriteMacroArea = 21,
    kWriteShootArea = 23,
    kReadBlock = 26,
    kReadKeyIndexTable = 27,
    kEnterLiveLighting = 28,
    kProbe = kSimCommandProbe,
};

// Commands only the keyboard knows; a mouse refuses them as unknown.
bool KeyboardOnly(uint8_t command) {
    return command == kWriteLightingPage || command == kReadKeyIndexTable;
}

// What a kind refuses as unknown: a mouse the keyboard's own commands, a pad or a headset (no keys,
// macros or shoot patterns) those and every table and area it lacks.
bool Refuses(SimKind kind, uint8_t command) {
    if (kind == SimKind::Keyboard)
        return false;
    if (KeyboardOnly(command))
        return true;
    // A headset keeps its information to itself (the host does not ask it).
    if (kind == SimKind::Headset && command == kReadDeviceInfo)
        return true;
    return SimHasPadMemory(kind) && (command == kReadKeyTable || command == kWriteKeyTable ||
                                     command == kWriteMacroArea || command == kWriteShootArea);
}
} // namespace

bool SimIsMouse(SimKind kind) {
    return kind == SimKind::Mouse || kind == SimKind::Receiver;
}

bool SimHasPadMemory(SimKind kind) {
    return kind == SimKind::Pad || kind == SimKind::Headset;
}

size_t SimSettingsStride(SimKind kind) {
    if (SimHasPadMemory(kind))
        return kSimPadSettingsReadStride;
    return SimIsMouse(kind) ? kSimMouseSettingsStride : kSimSettingsStride;
}

size_t SimSettingsRecordBytes(SimKind kind) {
    if (SimHasPadMemory(kind))
        return kSimPadSettingsRecordBytes;
    return SimIsMouse(kind) ? kSimMouseSettingsRecordBytes : kSimSettingsRecordBytes;
}

std::vector<uint8_t> SimFactorySettingsRecord() {
    std::vector<uint8_t> r(kSimSettingsRecordBytes, 0);
    r[0] = 0;    // record index
    r[1] = 1;    // lighting mode
    r[2] = 4;    // brightness, full
    r[3] = 2;    // speed, counted downwards (middle)
    r[4] = 0;    // effect variant
    r[5] = 1;    // multi-colour
    r[6] = 0xFF; // red
    r[7] = 0xFF; // green
    r[8] = 0xFF; // blue
    r[22] = 3;   // polling rate option
    return r;
}

SimMemory::SimMemory(const SimOptions& options) : m_options(options) {
    ResetToFactory();
}

void SimMemory::ResetToFactory() {
    const bool mouse = SimIsMouse(m_options.kind);
    const bool pad = SimHasPadMemory(m_options.kind); // or the headset, which has the pad's memory
    const bool headset = m_options.kind == SimKind::Headset;
    const int k = headset ? static_cast<int>(kSimHeadsetLedCount)
                  : pad   ? kSimPadLedCount
                          : std::clamp(mouse ? m_options.buttonCount : m_options.keyCount, 0, 255);
    const int pages = mouse || pad ? 0 : std::clamp(m_options.lightingPages, 0, 255);
    const uint8_t macroUnits = pad ? 0 : m_options.macroCapacity;
    info.assign(kSimDeviceInfoBytes, 0);
    info[kSimInfoFirmware] = kSimFirmwareVersion & 0xFF;
    info[kSimInfoFirmware + 1] = kSimFirmwareVersion >> 8;
    info[kSimInfoProduct] = static_cast<uint8_t>(m_options.productId & 0xFF);
    info[kSimInfoProduct + 1] = static_cast<uint8_t>(m_options.productId >> 8);
    info[kSimInfoKind] = headset ? kSimHeadsetKind : pad ? kSimPadKind : mouse ? 2 : 1;
    info[kSimInfoKeyCount] = static_cast<uint8_t>(k);
    info[kSimInfoMacroUnits] = macroUnits;
    info[kSimInfoRecords] = 1;
    info[kSimInfoPages] = static_cast<uint8_t>(pages);
    if (mouse)
        SimFillMouseDeviceInfo(m_options, info);

    parameters.assign(kSimParameterBytes, 0);
    const std::vector<uint8_t> record = pad     ? SimFactoryPadSettingsRecord()
                                        : mouse ? SimFactoryMouseSettingsRecord()
                                                : SimFactorySettingsRecord();
    std::copy(record.begin(), record.end(), parameters.begin());

    if (pad)
        keyTable.clear();
    else
        keyTable = mouse ? SimFactoryButtonTable(k) : SimFactoryKeyTable(k);
    ledTable = mouse || pad ? std::vector<uint8_t>{} : SimFactoryLedTable(k);
    lighting.assign(static_cast<size_t>(pages) * kSimLightingPageBytes, 0);
    live.assign(kSimLiveLightingBytes, 0);
    macros.assign(static_cast<size_t>(macroUnits) * kSimMacroUnit, 0);
    shoot.assign(pad ? 0 : kSimShootAreaBytes, 0);
    if (m_options.kind == SimKind::Receiver)
        status = {80, 2, 0, 0, 0, 0}; // a wireless mouse runs on its battery
    else
        status = {100, 0, 0, 0, 0, 0}; // full battery, powered
    liveLighting = false;
    inConfig = false;
    headsetLeds = {};
}

uint8_t SimMemory::ReadArea(const std::vector<uint8_t>& area, uint16_t offset, uint8_t length, uint8_t* out) {
    if (size_t(offset) + length > area.size())
        return kSimStatusRefused;
    if (length != 0)
        std::memcpy(out, area.data() + offset, length);
    return kSimStatusOk;
}

uint8_t SimMemory::WriteArea(std::vector<uint8_t>& area, uint16_t offset, uint8_t length, const uint8_t* in) {
    if (size_t(offset) + length > area.size())
        return kSimStatusRefused;
    if (length != 0)
        std::memcpy(area.data() + offset, in, length);
    return kSimStatusOk;
}

uint8_t SimMemory::Execute(uint8_t command, uint8_t length, uint16_t offset, const uint8_t* payload,
                           uint8_t* replyData) {
    if (Refuses(m_options.kind, command))
        return kSimStatusRefused;
    switch (command) {
    case kBeginConfig:
        inConfig = true;
        return kSimStatusOk;
    case kEndConfig:
        inConfig = false;
        return kSimStatusOk;
    case kReadDeviceInfo:
        return ReadArea(info, offset, length, replyData);
    case kReadParameters:
        return ReadArea(parameters, offset, length, replyData);
    case kWriteParameters:
        return WriteArea(parameters, offset, length, payload);
    case kReadKeyTable:
        return ReadArea(keyTable, offset, length, replyData);
    case kWriteKeyTable:
        return WriteArea(keyTable, offset, length, payload);
    case kWriteLightingPage:
        return WriteArea(lighting, offset, length, payload);
    case kStreamLighting:
        return WriteArea(live, offset, length, payload);
    case kWriteMacroArea:
        return WriteArea(macros, offset, length, payload);
    case kWriteShootArea:
        return WriteArea(shoot, offset, length, payload);
    case kReadBlock:
        return ReadArea(status, offset, length, replyData);
    case kReadKeyIndexTable:
        return ReadArea(ledTable, offset, length, replyData);
    case kEnterLiveLighting:
        liveLighting = true;
        return kSimStatusOk;
    case kProbe:
        replyData[0] = kSimProbeAwake;
        return kSimStatusOk;
    default:
        return kSimStatusRefused;
    }
}

} // namespace nk7x
