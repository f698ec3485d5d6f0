// The keyboard's wire records: the 26-byte settings record of its parameter area and the macro
// image it stores all macros in. Each has one serialise/parse pair.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "macros/MacroEvent.h"
#include "profiles/ProfileRecords.h"

namespace nk7x {

inline constexpr int kCustomLightMode = 19;
inline constexpr int kFirstUnsentLightMode = 20; // modes from here on travel as 0
inline constexpr size_t kSettingsRecordStride = 25;

#pragma pack(push, 1)
struct KeyboardSettingsWire {
    uint8_t index;
    uint8_t mode;
    uint8_t brightness;
    uint8_t speed; // 4 - speed: the keyboard counts the other way round
    uint8_t direction;
    uint8_t multiColor;
    uint8_t red;
    uint8_t green;
    uint8_t blue;
    uint8_t reserved9[9];
    uint8_t secondaryMode;
    uint8_t wKeyFlag;
    uint8_t key6Flag;
    uint8_t winKeyFlag;
    uint8_t pollingRate;
    uint8_t reserved23[2];
    uint8_t customGroup;
};
#pragma pack(pop)
static_assert(sizeof(KeyboardSettingsWire) == 26, "the keyboard's settings record is 26 bytes");

// The settings record in program terms.
struct KeyboardSettingsRecord {
    static constexpr size_t kSize = sizeof(KeyboardSettingsWire);

    uint8_t index = 0;
    LightState light;            // unused8, unused9 and present do not travel
    KeyboardSystemStages stages; // repeat rate and delay do not travel

    // From the profile's lighting and system settings.
    static KeyboardSettingsRecord From(uint8_t index, const LightState& light,
                                       const KeyboardSystemStages& stages);
    std::array<uint8_t, kSize> Serialise() const;
    // False (out untouched) when fewer than kSize bytes are given.
    static bool Parse(std::span<const uint8_t> bytes, KeyboardSettingsRecord& out);
};

// The macro image: header (0x55AA, total length T, count N, 10 reserved bytes), N block offsets,
// then per macro its event count, 2 reserved bytes and 4 bytes per event. Little-endian.
struct MacroImage {
    static constexpr uint16_t kMagic = 0x55AA;
    static constexpr size_t kHeaderSize = 16;
    static constexpr size_t kBlockHeaderSize = 4;
    static constexpr size_t kEventSize = 4;
    static constexpr size_t kMaxSize = 0xFFFF; // the length field is 16 bits

    std::vector<std::vector<MacroEvent>> macros;

    // T = 16 + 6 N + 4 (sum of the event counts).
    static size_t SizeFor(std::span<const size_t> eventCounts);
    size_t Size() const;
    // Empty when the image would not fit its 16-bit length field.
    std::vector<uint8_t> Serialise() const;
    // False when the bytes are no well-formed image (magic, lengths, offsets inside the image).
    static bool Parse(std::span<const uint8_t> bytes, MacroImage& out);
};

} // namespace nk7x
