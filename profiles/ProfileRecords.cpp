#include "profiles/ProfileRecords.h"

namespace nk7x {
namespace {

void PutU16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

uint16_t GetU16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

void PutI32(uint8_t* p, int32_t value) {
    auto v = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

int32_t GetI32(const uint8_t* p) {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v |= uint32_t{p[i]} << (8 * i);
    return static_cast<int32_t>(v);
}

// Sixteen-bit fields of the stage records, in record order.
template <std::size_t N> std::array<uint8_t, 2 * N> PutU16s(const std::array<uint16_t, N>& values) {
    std::array<uint8_t, 2 * N> out{};
    for (std::size_t i = 0; i < N; ++i)
        PutU16(out.data() + 2 * i, values[i]);
    return out;
}

template <std::size_t N> std::array<uint16_t, N> GetU16s(const uint8_t* p) {
    std::array<uint16_t, N> out{};
    for (std::size_t i = 0; i < N; ++i)
        out[i] = GetU16(p + 2 * i);
    return out;
}

} // namespace

std::array<uint8_t, LightState::kSize> LightState::Serialise() const {
    return {mode, brightness, speed,   direction, multiColor,    red,        green,
            blue, unused8,    unused9, present,   secondaryMode, customGroup};
}

bool LightState::Parse(std::span<const uint8_t> b, LightState& out) {
    if (b.size() < kSize)
        return false;
    out = LightState{b[0], b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12]};
    return true;
}

std::array<uint8_t, EffectFrame::kSize> EffectFrame::Serialise() const {
    std::array<uint8_t, kSize> out{mode, brightness, speed, direction, multiColor, red, green, blue};
    for (std::size_t i = 0; i < unused.size(); ++i)
        out[8 + i] = unused[i];
    PutI32(out.data() + 16, time);
    PutI32(out.data() + 20, cycle);
    return out;
}

bool EffectFrame::Parse(std::span<const uint8_t> b, EffectFrame& out) {
    if (b.size() < kSize)
        return false;
    EffectFrame f;
    f.mode = b[0];
    f.brightness = b[1];
    f.speed = b[2];
    f.direction = b[3];
    f.multiColor = b[4];
    f.red = b[5];
    f.green = b[6];
    f.blue = b[7];
    for (std::size_t i = 0; i < f.unused.size(); ++i)
        f.unused[i] = b[8 + i];
    f.time = GetI32(b.data() + 16);
    f.cycle = GetI32(b.data() + 20);
    out = f;
    return true;
}

std::array<uint8_t, KeyAssignment::kSize> KeyAssignment::Serialise() const {
    std::array<uint8_t, kSize> out{};
    PutU16(out.data(), keyIndex);
    out[2] = assignment.type;
    out[3] = assignment.b1;
    out[4] = assignment.b2;
    out[5] = unused5;
    PutU16(out.data() + 6, keyIndexAgain);
    out[8] = defaultAssignment.type;
    out[9] = defaultAssignment.b1;
    out[10] = defaultAssignment.b2;
    out[11] = unused11;
    return out;
}

bool KeyAssignment::Parse(std::span<const uint8_t> b, KeyAssignment& out) {
    if (b.size() < kSize)
        return false;
    KeyAssignment k;
    k.keyIndex = GetU16(b.data());
    k.assignment = {b[2], b[3], b[4]};
    k.unused5 = b[5];
    k.keyIndexAgain = GetU16(b.data() + 6);
    k.defaultAssignment = {b[8], b[9], b[10]};
    k.unused11 = b[11];
    out = k;
    return true;
}

std::array<uint8_t, KeyboardSystemStages::kSize> KeyboardSystemStages::Serialise() const {
    return PutU16s<6>({repeatRate, repeatDelay, key6Flag, pollingRate, wKeyFlag, winKeyFlag});
}

bool KeyboardSystemStages::Parse(std::span<const uint8_t> b, KeyboardSystemStages& out) {
    if (b.size() < kSize)
        return false;
    auto v = GetU16s<6>(b.data());
    out = KeyboardSystemStages{v[0], v[1], v[2], v[3], v[4], v[5]};
    return true;
}

std::array<uint8_t, CustomColor::kSize> CustomColor::Serialise() const {
    return {red, green, blue, alpha};
}

bool CustomColor::Parse(std::span<const uint8_t> b, CustomColor& out) {
    if (b.size() < kSize)
        return false;
    out = CustomColor{b[0], b[1], b[2], b[3]};
    return true;
}

std::array<uint8_t, DpiStage::kSize> DpiStage::Serialise() const {
    std::array<uint8_t, kSize> out{active, xy};
    PutU16(out.data() + 2, dpiX);
    PutU16(out.data() + 4, dpiY);
    out[6] = red;
    out[7] = green;
    out[8] = blue;
    return out;
}

bool DpiStage::Parse(std::span<const uint8_t> b, DpiStage& out) {
    if (b.size() < kSize)
        return false;
    out = DpiStage{b[0], b[1], GetU16(b.data() + 2), GetU16(b.data() + 4), b[6], b[7], b[8]};
    return true;
}

std::array<uint8_t, MouseSystemStages::kSize> MouseSystemStages::Serialise() const {
    return PutU16s<6>(
        {doubleClickTime, pointerSpeed, pointerPrecision, scrollPage, wheelScrollLines, reportRateStage});
}

bool MouseSystemStages::Parse(std::span<const uint8_t> b, MouseSystemStages& out) {
    if (b.size() < kSize)
        return false;
    auto v = GetU16s<6>(b.data());
    out = MouseSystemStages{v[0], v[1], v[2], v[3], v[4], v[5]};
    return true;
}

std::array<uint8_t, HeadsetSystemSetStages::kSize> HeadsetSystemSetStages::Serialise() const {
    std::array<uint8_t, kSize> out{};
    const int32_t values[8] = {voiceEffectEnabled, voiceEffectType, eqType,
                               customEqIndex,      micInSelected,   micInValue,
                               micMonitorSelected, micMonitorValue};
    for (int i = 0; i < 8; ++i)
        PutI32(out.data() + 4 * i, values[i]);
    return out;
}

bool HeadsetSystemSetStages::Parse(std::span<const uint8_t> b, HeadsetSystemSetStages& out) {
    if (b.size() < kSize)
        return false;
    const uint8_t* p = b.data();
    out = HeadsetSystemSetStages{GetI32(p),      GetI32(p + 4),  GetI32(p + 8),  GetI32(p + 12),
                                 GetI32(p + 16), GetI32(p + 20), GetI32(p + 24), GetI32(p + 28)};
    return true;
}

} // namespace nk7x
