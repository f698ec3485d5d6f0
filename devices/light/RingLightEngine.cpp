#include "devices/light/RingLightEngine.h"

#include <algorithm>

#include "devices/LightModeTables.h"

namespace nk7x::light {

namespace {
using Mode = PadLightMode;
constexpr std::array<std::array<uint8_t, 2>, 7> kPairs = {
    {{1, 14}, {2, 13}, {3, 12}, {4, 11}, {5, 10}, {6, 9}, {7, 8}}};
constexpr std::size_t kPairMarks = 8;
} // namespace

RingLightEngine::RingLightEngine(LightPage page, std::size_t ledCount, const LightClock& clock, uint32_t seed)
    : LightEngine(page, ledCount, clock, seed) {}

int RingLightEngine::Threshold(uint8_t mode) const {
    const bool ownStep = mode <= ModeNumber(Mode::Off) && mode != ModeNumber(Mode::UserEffect);
    return ownStep ? ThresholdFor(kSlowThresholds, m_state.speed) : -1;
}

void RingLightEngine::RunStep(uint8_t mode) {
    switch (static_cast<Mode>(mode)) {
    case Mode::Wave:
        RingWave();
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
    case Mode::RingChase:
        RingChase();
        break;
    case Mode::PairChase:
        PairChase();
        break;
    default:
        StepOff();
        break;
    }
}

void RingLightEngine::LightMarkedKeys() {
    for (std::size_t i = 0; i < m_colours.size() && i < m_marks.size(); ++i)
        if (m_marks[i])
            m_intensity[i] = 255;
}

void RingLightEngine::RingWave() {
    const uint8_t bright = Bright();
    const bool headset = m_page == LightPage::Headset;
    if (Multi()) {
        m_c = Advance(Forwards(), 192, m_c, 1);
        for (std::size_t i = 0; i < m_colours.size(); ++i)
            Put(i, kWheel[(m_c + 1 + (headset ? 16 : 7) * i) % 192], bright);
        return;
    }
    m_c = Advance(Forwards(), 96, m_c, headset ? 3 : 1);
    for (std::size_t i = 0; i < m_colours.size(); ++i) {
        const std::size_t at = headset ? (m_c + 10 * i) % 96 : (m_c + 1 + 7 * i) % 96;
        Put(i, StateColour(), Scale(kWave[at], bright));
    }
}

void RingLightEngine::RingChase() {
    m_c = Advance(Forwards(), 192, m_c, 1);
    m_secondCall = !m_secondCall;
    if (!m_secondCall) {
        LightMarkedKeys();
        ShiftMarks(kMarks, Forwards());
    }
    const std::size_t n = std::min(m_colours.size(), m_intensity.size());
    if (n == 0)
        return;
    const std::size_t leading = Forwards() ? 0 : n - 1;
    const uint8_t bright = Bright();
    for (std::size_t i = 0; i < n; ++i) {
        FadePreviewKey(i, m_state.mode);
        Rgb colour = StateColour();
        if (Multi()) {
            m_c = static_cast<uint8_t>(m_c + 12);
            const Rgba& now = m_colours[i];
            colour =
                m_intensity[leading] == 0 ? kWheel[m_c >= 192 ? m_c - 192 : m_c] : Rgb{now.r, now.g, now.b};
        }
        Put(i, colour, Scale(bright, m_intensity[i]));
    }
}

// Seven zones of two LEDs; zone z follows mark z of a ring of eight.
void RingLightEngine::PairChase() {
    m_c = Advance(Forwards(), 192, m_c, 1);
    m_secondCall = !m_secondCall;
    if (!m_secondCall) {
        for (std::size_t z = 0; z < kPairMarks; ++z)
            if (m_marks[z])
                m_intensity[z] = 255;
        ShiftMarks(kPairMarks, !Forwards());
    }
    const std::size_t leading = Forwards() ? 0 : kPairs.size() - 1;
    const uint8_t bright = Bright();
    for (std::size_t z = 0; z < kPairs.size(); ++z) {
        FadePreviewKey(z, m_state.mode);
        Rgb colour = StateColour();
        if (Multi()) {
            m_c = static_cast<uint8_t>(m_c + 12);
            const uint8_t first = kPairs[z][0];
            const Rgba now = first < m_colours.size() ? m_colours[first] : Rgba{};
            colour =
                m_intensity[leading] == 0 ? kWheel[m_c >= 192 ? m_c - 192 : m_c] : Rgb{now.r, now.g, now.b};
        }
        for (uint8_t led : kPairs[z])
            Put(led, colour, Scale(bright, m_intensity[z]));
    }
}

} // namespace nk7x::light
