// The fixed-layout records that the device pages and the setting panels exchange with a profile:
// lighting state, effect frames, key assignments, system stages, colours, DPI stages, pointer
// correction and headset settings. Records with a byte layout have one serialise/parse pair.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <type_traits>

namespace nk7x {

// The 13-byte lighting state; the device pages keep their current lighting in the same layout.
struct LightState {
    static constexpr std::size_t kSize = 13;

    uint8_t mode = 0;       // "SelectItem" / "LEDREGMode"
    uint8_t brightness = 0; // "Light" / "LEDBrightness"
    uint8_t speed = 0;      // "Speed" / "LEDSpeed"
    uint8_t direction = 0;  // "Fx" / "LEDDirection"
    uint8_t multiColor = 0; // "MultiColor" / "LEDMultiColor"
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    uint8_t unused8 = 0;       // not kept in the profile
    uint8_t unused9 = 0;       // not kept in the profile
    uint8_t present = 0;       // 1 when the light list element exists, 0 when it is null
    uint8_t secondaryMode = 0; // "ZZCCLedMode"
    uint8_t customGroup = 0;   // "CustomGroup"

    std::array<uint8_t, kSize> Serialise() const;
    // False (and `out` untouched) when `bytes` holds fewer than kSize bytes.
    static bool Parse(std::span<const uint8_t> bytes, LightState& out);
    bool operator==(const LightState&) const = default;
};
static_assert(sizeof(LightState) == LightState::kSize && std::is_standard_layout_v<LightState>);

// One step of a custom lighting effect, 24 bytes.
struct EffectFrame {
    static constexpr std::size_t kSize = 24;

    uint8_t mode = 0;
    uint8_t brightness = 0;
    uint8_t speed = 0;
    uint8_t direction = 0;
    uint8_t multiColor = 0;
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    std::array<uint8_t, 8> unused{};
    int32_t time = 0;
    int32_t cycle = 0;

    std::array<uint8_t, kSize> Serialise() const; // time and cycle little-endian
    static bool Parse(std::span<const uint8_t> bytes, EffectFrame& out);
    bool operator==(const EffectFrame&) const = default;
};
static_assert(sizeof(EffectFrame) == EffectFrame::kSize && std::is_standard_layout_v<EffectFrame>);

// A three-byte key code: type, byte 1, byte 2. In JSON one integer
// type * 65536 + b1 * 256 + b2.
struct KeyCode {
    uint8_t type = 0;
    uint8_t b1 = 0;
    uint8_t b2 = 0;

    constexpr uint32_t Packed() const { return uint32_t{type} << 16 | uint32_t{b1} << 8 | b2; }
    static constexpr KeyCode FromPacked(int64_t value) {
        auto v = static_cast<uint64_t>(value);
        return {static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)};
    }
    constexpr bool operator==(const KeyCode&) const = default;
};
static_assert(sizeof(KeyCode) == 3);

// The 12-byte key record: the key's assignment and its factory (default) assignment.
struct KeyAssignment {
    static constexpr std::size_t kSize = 12;

    uint16_t keyIndex = 0;
    KeyCode assignment;
    uint8_t unused5 = 0;
    uint16_t keyIndexAgain = 0;
    KeyCode defaultAssignment;
    uint8_t unused11 = 0;

    std::array<uint8_t, kSize> Serialise() const; // key indexes little-endian
    static bool Parse(std::span<const uint8_t> bytes, KeyAssignment& out);
    bool operator==(const KeyAssignment&) const = default;
};
static_assert(sizeof(KeyAssignment) == KeyAssignment::kSize && std::is_standard_layout_v<KeyAssignment>);

// Keyboard system settings, six 16-bit values in this order.
struct KeyboardSystemStages {
    static constexpr std::size_t kSize = 12;

    uint16_t repeatRate = 0;  // "Repeat"
    uint16_t repeatDelay = 0; // "RepeatDelay"
    uint16_t key6Flag = 0;    // "Key6Flag"
    uint16_t pollingRate = 0; // "PollingRate"
    uint16_t wKeyFlag = 0;    // "WFlag"
    uint16_t winKeyFlag = 0;  // "WinFlag"

    std::array<uint8_t, kSize> Serialise() const;
    static bool Parse(std::span<const uint8_t> bytes, KeyboardSystemStages& out);
    bool operator==(const KeyboardSystemStages&) const = default;
};
static_assert(sizeof(KeyboardSystemStages) == KeyboardSystemStages::kSize);

// One key's colour in a custom colour group.
struct CustomColor {
    static constexpr std::size_t kSize = 4;

    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    uint8_t alpha = 0;

    std::array<uint8_t, kSize> Serialise() const;
    static bool Parse(std::span<const uint8_t> bytes, CustomColor& out);
    bool operator==(const CustomColor&) const = default;
};
static_assert(sizeof(CustomColor) == CustomColor::kSize);

// One mouse sensitivity stage; 9 bytes on the wire with the DPI values low byte first.
struct DpiStage {
    static constexpr std::size_t kSize = 9;

    uint8_t active = 0; // "StageActive"
    uint8_t xy = 0;     // "StageXY"
    uint16_t dpiX = 0;  // "StageDPIX"
    uint16_t dpiY = 0;  // "StageDPIY"
    uint8_t red = 0;    // "StageColorR"
    uint8_t green = 0;  // "StageColorG"
    uint8_t blue = 0;   // "StageColorB"

    std::array<uint8_t, kSize> Serialise() const;
    static bool Parse(std::span<const uint8_t> bytes, DpiStage& out);
    bool operator==(const DpiStage&) const = default;
};

// Mouse system settings, six 16-bit values in this order.
struct MouseSystemStages {
    static constexpr std::size_t kSize = 12;

    uint16_t doubleClickTime = 0;  // "DoubleClickTime"
    uint16_t pointerSpeed = 0;     // "MouseSpeed"
    uint16_t pointerPrecision = 0; // "PointerPrecision"
    uint16_t scrollPage = 0;       // "ScorllPage"
    uint16_t wheelScrollLines = 0; // "WheelScorlllinse"
    uint16_t reportRateStage = 0;  // "ReportStages"/"StageActive"

    std::array<uint8_t, kSize> Serialise() const;
    static bool Parse(std::span<const uint8_t> bytes, MouseSystemStages& out);
    bool operator==(const MouseSystemStages&) const = default;
};
static_assert(sizeof(MouseSystemStages) == MouseSystemStages::kSize);

// One pointer-correction choice of a mouse profile; it has no byte layout of its own.
struct CorrectEntry {
    uint8_t pixelThreshold = 0; // "CorrectPixThresh"
    uint8_t minSquare = 0;      // "CorrectMinSq"
    uint8_t selected = 0;       // "CorrectSelect"
    std::string name;           // "CorrectName", UTF-8
    bool operator==(const CorrectEntry&) const = default;
};

// Headset settings, eight 32-bit values in this order.
struct HeadsetSystemSetStages {
    static constexpr std::size_t kSize = 32;

    int32_t voiceEffectEnabled = 0; // "MagicEnable"
    int32_t voiceEffectType = 0;    // "MagicType"
    int32_t eqType = 0;             // "EqType"
    int32_t customEqIndex = 0;      // "CustomEqSeletIndex"
    int32_t micInSelected = 0;      // "MicInSelect"
    int32_t micInValue = 0;         // "MicInValue"
    int32_t micMonitorSelected = 0; // "MicMoniterSelect"
    int32_t micMonitorValue = 0;    // "MicMoniterValue"

    std::array<uint8_t, kSize> Serialise() const; // little-endian
    static bool Parse(std::span<const uint8_t> bytes, HeadsetSystemSetStages& out);
    bool operator==(const HeadsetSystemSetStages&) const = default;
};
static_assert(sizeof(HeadsetSystemSetStages) == HeadsetSystemSetStages::kSize);

} // namespace nk7x
