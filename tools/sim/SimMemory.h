// The emulated device's memory (keyboard, mouse, mouse pad or headset) and what each command does to it. No
// sockets here: the server hands over one well-formed request and sends back what this returns.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/sim/SimDevice.h"

namespace nk7x {

// Device information record bytes (34 bytes; read with command 3).
inline constexpr size_t kSimInfoFirmware = 0; // 2 bytes, little-endian firmware version
inline constexpr size_t kSimInfoProduct = 2;  // 2 bytes, little-endian product id
inline constexpr size_t kSimInfoKind = 4; // 1 keyboard, 2 mouse (also through the receiver), 3 pad, 7 headset
inline constexpr size_t kSimInfoKeyCount = 5;   // K (a pad, a headset: its LEDs)
inline constexpr size_t kSimInfoMacroUnits = 6; // macro memory in units of 128 bytes
inline constexpr size_t kSimInfoRecords = 7;    // settings records held
inline constexpr size_t kSimInfoPages = 8;      // custom colour pages (keyboard)
inline constexpr uint16_t kSimFirmwareVersion = 0x0105;

// Probe (0xAA) reply data byte 0: the device behind the link answers, or (a receiver whose mouse
// sleeps) it does not.
inline constexpr uint8_t kSimProbeAwake = 0xFF;
inline constexpr uint8_t kSimProbeAsleep = 0x00;
inline constexpr uint8_t kSimCommandProbe = 0xAA;

// Where settings record n starts in the parameter area, and how many bytes a read of it takes.
size_t SimSettingsStride(SimKind kind);
size_t SimSettingsRecordBytes(SimKind kind);
bool SimIsMouse(SimKind kind); // by cable or through the receiver
// The pad and the headset: one settings record, live colours and a status block, and no key, LED or
// colour tables, macros or shoot area.
bool SimHasPadMemory(SimKind kind);

class SimMemory {
  public:
    explicit SimMemory(const SimOptions& options);

    void ResetToFactory();

    // Carries out one request whose frame is well formed and whose checksum was accepted. Read data
    // goes to `replyData` (56 bytes, zeroed by the caller). Returns the reply status byte; a refused
    // request changes nothing.
    uint8_t Execute(uint8_t command, uint8_t length, uint16_t offset, const uint8_t* payload,
                    uint8_t* replyData);

    std::vector<uint8_t> info;
    std::vector<uint8_t> parameters;
    std::vector<uint8_t> keyTable; // the mouse's button table; a pad or headset has none
    std::vector<uint8_t> ledTable; // keyboard only
    std::vector<uint8_t> lighting; // all pages back to back (keyboard only)
    std::vector<uint8_t> live;
    std::vector<uint8_t> macros;
    std::vector<uint8_t> shoot;
    std::vector<uint8_t> status;
    bool liveLighting = false;
    bool inConfig = false;
    SimHeadsetFrame headsetLeds; // what the headset's LED output reports set; volatile

  private:
    static uint8_t ReadArea(const std::vector<uint8_t>& area, uint16_t offset, uint8_t length, uint8_t* out);
    static uint8_t WriteArea(std::vector<uint8_t>& area, uint16_t offset, uint8_t length, const uint8_t* in);

    SimOptions m_options;
};

// The settings record the keyboard holds when new (record 0 at offset 0 of the parameter area).
std::vector<uint8_t> SimFactorySettingsRecord();

} // namespace nk7x
