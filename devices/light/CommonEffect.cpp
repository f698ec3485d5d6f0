#include "devices/light/CommonEffect.h"

#include "devices/LightModeTables.h"
#include "link/KindDescriptors.h"

namespace nk7x::light {
namespace {

// Mode per common effect (breathing, static, flashing, spectrum, off): the keyboard's, then the
// mouse's, which the mouse pad and the headset number alike.
constexpr int kKeyboardModes[kCommonEffectCount] = {
    ModeNumber(KeyboardLightMode::Breathing), ModeNumber(KeyboardLightMode::Static),
    ModeNumber(KeyboardLightMode::Blink),     ModeNumber(KeyboardLightMode::Spectrum),
    ModeNumber(KeyboardLightMode::Off),
};
constexpr int kOtherModes[kCommonEffectCount] = {
    ModeNumber(MouseLightMode::Breathing), ModeNumber(MouseLightMode::Static),
    ModeNumber(MouseLightMode::Blink),     ModeNumber(MouseLightMode::Spectrum),
    ModeNumber(MouseLightMode::Off),
};
static_assert(ModeNumber(PadLightMode::Breathing) == ModeNumber(MouseLightMode::Breathing) &&
              ModeNumber(PadLightMode::Static) == ModeNumber(MouseLightMode::Static) &&
              ModeNumber(PadLightMode::Blink) == ModeNumber(MouseLightMode::Blink) &&
              ModeNumber(PadLightMode::Spectrum) == ModeNumber(MouseLightMode::Spectrum) &&
              ModeNumber(PadLightMode::Off) == ModeNumber(MouseLightMode::Off));

const int* ModesOf(DeviceFamily family) {
    return LightFamily(family) == DeviceFamily::Keyboard ? kKeyboardModes : kOtherModes;
}

} // namespace

int CommonEffectOfMode(DeviceFamily family, int mode) {
    const int* modes = ModesOf(family);
    for (int e = 0; e < kCommonEffectCount; ++e) {
        if (modes[e] == mode)
            return e;
    }
    return -1;
}

int ModeOfCommonEffect(DeviceFamily family, int effect) {
    if (effect < 0 || effect >= kCommonEffectCount)
        return -1;
    return ModesOf(family)[effect];
}

} // namespace nk7x::light

namespace nk7x::light {

int CommonEffectPeriod(int speedIndex) {
    if (speedIndex < 0 || speedIndex > 4)
        speedIndex = 0;
    return kSlowThresholds[static_cast<std::size_t>(speedIndex)];
}

void CommonEffectPlayer::AdvanceWheel(int by) {
    const int next = m_wheel + by;
    m_wheel = next >= 192 ? 0 : static_cast<uint8_t>(next);
}

CommonEffectPaint CommonEffectPlayer::Breathing() {
    m_curve = Advance(m_settings.direction != 0, 128, m_curve, 1);
    const bool multi = m_settings.multiColor != 0;
    // The hue moves on as the curve passes its dark end.
    if (multi && (m_curve == 0 || m_curve == 1))
        AdvanceWheel(16);
    return {multi ? kWheel[m_wheel] : Fixed(), static_cast<uint8_t>((Level() * kBreathing[m_curve]) >> 8)};
}

CommonEffectPaint CommonEffectPlayer::Flashing() {
    const uint64_t now = m_clock.NowMs();
    const uint64_t halfPeriod = static_cast<uint64_t>(CommonEffectPeriod(m_settings.speed)) * 200;
    if (now - m_lastToggle >= halfPeriod) {
        m_flashOn = !m_flashOn;
        m_lastToggle = now;
        AdvanceWheel(14);
    }
    if (!m_flashOn)
        return {};
    return {m_settings.multiColor != 0 ? kWheel[m_wheel] : Fixed(), Level()};
}

CommonEffectPaint CommonEffectPlayer::Spectrum() {
    AdvanceWheel(1);
    return {kWheel[m_wheel], Level()};
}

std::optional<CommonEffectPaint> CommonEffectPlayer::Step() {
    switch (m_settings.effect) {
    case static_cast<int>(CommonEffect::Breathing):
        return Breathing();
    case static_cast<int>(CommonEffect::Static):
        return CommonEffectPaint{Fixed(), Level()};
    case static_cast<int>(CommonEffect::Flashing):
        return Flashing();
    case static_cast<int>(CommonEffect::Spectrum):
        return Spectrum();
    case static_cast<int>(CommonEffect::Off):
        return CommonEffectPaint{};
    default:
        return std::nullopt;
    }
}

} // namespace nk7x::light
