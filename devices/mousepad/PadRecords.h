// The mouse pad's settings record (the headset keeps the same one): the program's mirror of it, its
// wire form both ways, and the two transfers that move it over the command link.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "devices/mousepad/MousePadTables.h"
#include "link/DeviceCommandLink.h"
#include "profiles/ProfileRecords.h"

namespace nk7x {

inline constexpr uint8_t kPadFirstUnsentLightMode = 9; // user effects travel as mode 0
inline constexpr uint8_t kPadTopSpeed = 4;             // the wire counts the speed down from here
inline constexpr int kPadMaxRecordIndex = 255;

using PadWireRecord = std::array<uint8_t, kPadSettingsRecordSize>;
using PadReadBytes = std::array<uint8_t, kPadSettingsReadSize>;

// The mirror: the record last read from the pad with the profile's lighting laid over it. Byte 3
// holds the speed as the program counts it; bytes 0, 4 and 9..20 belong to the pad and go back
// exactly as they were read (all zero before the first read).
class PadSettingsRecord {
  public:
    static constexpr std::size_t kIndex = 0;
    static constexpr std::size_t kMode = 1;
    static constexpr std::size_t kBrightness = 2;
    static constexpr std::size_t kSpeed = 3;
    static constexpr std::size_t kMultiColour = 5;
    static constexpr std::size_t kRed = 6; // then green, blue

    const PadWireRecord& Bytes() const { return m_bytes; }
    uint8_t Index() const { return m_bytes[kIndex]; }
    // The profile's mode, brightness, speed, multi-colour flag and colour. A speed beyond the top
    // level is taken as the top level: counted down on the wire it would wrap round.
    void TakeLight(const LightState& light);
    // A record as the pad sent it: its first 21 bytes, the speed counted up again. Fewer bytes
    // change nothing (false).
    bool TakeRead(std::span<const uint8_t> read);
    // The 21 bytes WriteSettings sends: a user effect (mode 9 and up) as mode 0, the speed counted
    // down from the top level.
    PadWireRecord Wire() const;

  private:
    PadWireRecord m_bytes{};
};

struct PadSettingsRead {
    LinkResult result = kResultFailed;
    uint8_t index = 0; // the record the pad names at byte 0 of its parameter area
    PadReadBytes bytes{};
};

// Reads record n, where n is byte 0 of the parameter area: 1 byte at 0, then 26 at n x 25.
PadSettingsRead ReadPadSettings(CDeviceCommandLink& link);
// Sends record n (21 bytes at n x 64) inside a configuration session and returns the first failure;
// an index outside 0..255 sends nothing.
LinkResult WritePadSettings(CDeviceCommandLink& link, int n, const PadWireRecord& wire);

} // namespace nk7x
