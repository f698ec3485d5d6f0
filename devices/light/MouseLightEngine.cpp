#include "devices/light/MouseLightEngine.h"

#include "devices/LightModeTables.h"

namespace nk7x::light {

using Mode = MouseLightMode;

MouseLightEngine::MouseLightEngine(std::size_t ledCount, const LightClock& clock, uint32_t seed)
    : LightEngine(LightPage::Mouse, ledCount, clock, seed) {}

int MouseLightEngine::Threshold(uint8_t mode) const {
    return mode <= ModeNumber(Mode::Off) ? ThresholdFor(kSlowThresholds, m_state.speed) : -1;
}

void MouseLightEngine::RunStep(uint8_t mode) {
    switch (static_cast<Mode>(mode)) {
    case Mode::Wave:
        MouseWave();
        break;
    case Mode::Spectrum:
        StepColourCycle();
        break;
    case Mode::Breathing:
        StepBreathing();
        break;
    case Mode::Static:
        StepStatic();
        break;
    case Mode::Blink:
        StepBlink();
        break;
    case Mode::ZoneChase:
        MouseZoneChase();
        break;
    case Mode::PaletteBreathing:
        StepPaletteBreathing();
        break;
    case Mode::PaletteBlink:
        StepPaletteBlink();
        break;
    default:
        StepOff();
        break;
    }
}

// A new mode starts the chase from the first zone.
void MouseLightEngine::OnModeChange() {
    m_intensity.fill(0);
    m_marks.fill(0);
    m_marks[0] = 1;
}

void MouseLightEngine::MouseWave() {
    const uint8_t bright = Bright();
    if (Multi()) {
        m_c = Advance(Forwards(), 192, m_c, 1);
        for (std::size_t i = 0; i < m_colours.size(); ++i)
            Put(i, kWheel[(m_c + 1 + 7 * i) % 192], bright);
        return;
    }
    m_c = Advance(Forwards(), 96, m_c, 1);
    for (std::size_t i = 0; i < m_colours.size(); ++i)
        Put(i, StateColour(), Scale(kWave[(m_c + 1 + 7 * i) % 96], bright));
}

void MouseLightEngine::MouseZoneChase() {
    m_c = Advance(Forwards(), 192, m_c, 1);
    LightMarkedKeys();
    ShiftPreviewWave(Forwards());
    const uint8_t bright = Bright();
    for (std::size_t z = 0; z < kMouseZones.size(); ++z) {
        FadePreviewKey(z, m_state.mode);
        Rgb colour = StateColour();
        if (Multi()) {
            m_c = static_cast<uint8_t>(m_c + 12);
            colour = kWheel[m_c >= 192 ? m_c - 192 : m_c];
        }
        const uint8_t alpha = Scale(bright, m_intensity[z]);
        for (uint8_t led : kMouseZones[z])
            if (led != kNoSlot)
                Put(led, colour, alpha);
    }
}

} // namespace nk7x::light
