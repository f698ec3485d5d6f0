#include "devices/light/LightEngine.h"

#include <algorithm>

namespace nk7x::light {

LightEngine::LightEngine(LightPage page, std::size_t ledCount, const LightClock& clock, uint32_t seed)
    : m_page(page), m_clock(clock), m_colours(ledCount), m_rng(seed == 0 ? 1 : seed) {}

void LightEngine::Step() {
    Pass(false);
}
void LightEngine::StepNow() {
    Pass(true);
}

void LightEngine::Pass(bool due) {
    std::lock_guard lock(m_stateMutex);
    ++m_ticks;
    const int threshold = Threshold(m_state.mode);
    if (threshold < 0) {
        PlayUserEffect();
    } else if (due || m_ticks >= static_cast<uint32_t>(threshold)) {
        RunStep(m_state.mode);
        m_ticks = 0;
    }
    if (RunsOverlays())
        ApplyOverlays();
}

void LightEngine::SetLightSettings(const LightState& state, bool forceModeChange) {
    std::lock_guard lock(m_stateMutex);
    const bool changed = forceModeChange || state.mode != m_state.mode;
    m_state = state;
    if (changed)
        OnModeChange();
}

LightState LightEngine::LightSettings() const {
    std::lock_guard lock(m_stateMutex);
    return m_state;
}

void LightEngine::SetLightList(const std::vector<LightState>& list) {
    std::lock_guard lock(m_lightListMutex);
    m_overlays.assign(std::min(list.size(), m_colours.size()), Overlay{});
    for (std::size_t i = 0; i < m_overlays.size(); ++i)
        m_overlays[i].light = list[i];
}

void LightEngine::SetEffectFrames(const std::vector<EffectFrame>& frames) {
    {
        std::lock_guard lock(m_effectFrameMutex);
        m_frames = frames;
        m_frameIndex = 0;
    }
    std::lock_guard lock(m_stateMutex);
    m_player.frameStart = m_clock.NowMs();
}

std::size_t LightEngine::EffectFrameIndex() const {
    std::lock_guard lock(m_effectFrameMutex);
    return m_frameIndex;
}

std::vector<Rgba> LightEngine::Colours() const {
    std::lock_guard lock(m_stateMutex);
    return m_colours;
}

Rgba LightEngine::Colour(std::size_t i) const {
    std::lock_guard lock(m_stateMutex);
    return i < m_colours.size() ? m_colours[i] : Rgba{};
}

void LightEngine::SetColour(std::size_t i, Rgba value) {
    std::lock_guard lock(m_stateMutex);
    if (i < m_colours.size())
        m_colours[i] = value;
}

uint8_t LightEngine::Counter() const {
    std::lock_guard lock(m_stateMutex);
    return m_c;
}

uint8_t LightEngine::Intensity(std::size_t i) const {
    std::lock_guard lock(m_stateMutex);
    return i < m_intensity.size() ? m_intensity[i] : 0;
}

void LightEngine::SetIntensity(std::size_t i, uint8_t value) {
    std::lock_guard lock(m_stateMutex);
    if (i < m_intensity.size())
        m_intensity[i] = value;
}

bool LightEngine::Mark(std::size_t i) const {
    std::lock_guard lock(m_stateMutex);
    return i < m_marks.size() && m_marks[i] != 0;
}

void LightEngine::ClearPreview() {
    std::lock_guard lock(m_stateMutex);
    m_intensity.fill(0);
    m_marks.fill(0);
}

void LightEngine::SetMark(std::size_t i, bool on) {
    std::lock_guard lock(m_stateMutex);
    if (i < m_marks.size())
        m_marks[i] = on ? 1 : 0;
}

void LightEngine::FillAll(Rgb colour, uint8_t alpha) {
    for (auto& e : m_colours)
        e = {colour.r, colour.g, colour.b, alpha};
}

bool LightEngine::BlinkDue(uint64_t lastToggle, uint8_t speed) const {
    const uint64_t halfPeriod = uint64_t{ThresholdFor(kSlowThresholds, speed)} * 200;
    const uint64_t now = m_clock.NowMs();
    return now >= lastToggle && now - lastToggle >= halfPeriod;
}

// --- base steps ---

void LightEngine::StepBreathing() {
    m_c = Advance(Forwards(), 128, m_c, 1);
    const uint8_t alpha = Scale(kBreathing[m_c], Bright());
    for (auto& e : m_colours)
        e.a = alpha;
    if (!Multi()) {
        FillAll(StateColour(), alpha);
        return;
    }
    for (std::size_t x = 0; x < kColumns; ++x)
        for (uint8_t key : kKeyMatrix[x])
            Put(key, kWheel[1 + 7 * x], alpha);
}

void LightEngine::StepPaletteBreathing() {
    m_c = Advance(Forwards(), 128, m_c, 1);
    if (m_c == 0)
        m_h = m_h + 1 > 3 ? 0 : static_cast<uint8_t>(m_h + 1);
    FillAll(kPalette[m_h & 3], Scale(kBreathing[m_c], Bright()));
}

void LightEngine::StepStatic() {
    const uint8_t bright = Bright();
    if (!Multi()) {
        FillAll(StateColour(), bright);
        return;
    }
    for (auto& e : m_colours)
        e.a = bright;
    for (std::size_t r = 0; r < kRings; ++r) {
        const Rgb colour = kWheel[static_cast<uint8_t>(117 - 13 * r)];
        for (uint8_t key : kRingMatrix[r])
            Put(key, colour, bright);
    }
}

void LightEngine::StepColourCycle() {
    m_c = Advance(Forwards(), 192, m_c, 1);
    FillAll(kWheel[m_c], Bright());
}

void LightEngine::StepBlink() {
    if (BlinkDue(m_blinkTime, m_state.speed)) {
        m_blinkOn = !m_blinkOn;
        m_blinkTime = m_clock.NowMs();
        m_c = m_c + 16 > 191 ? 0 : static_cast<uint8_t>(m_c + 16);
    }
    if (m_blinkOn)
        FillAll(Multi() ? kWheel[m_c] : StateColour(), Bright());
    else
        FillAll({}, 0);
}

void LightEngine::StepPaletteBlink() {
    if (BlinkDue(m_blinkTime, m_state.speed)) {
        m_blinkOn = !m_blinkOn;
        m_blinkTime = m_clock.NowMs();
        m_c = m_c + 1 > 3 ? 0 : static_cast<uint8_t>(m_c + 1);
    }
    if (m_blinkOn)
        FillAll(kPalette[m_c & 3], Bright());
    else
        FillAll({}, 0);
}

void LightEngine::StepOff() {
    FillAll({}, 0);
}

void LightEngine::LightMarkedKeys() {
    for (std::size_t i = 0; i < 9; ++i)
        if (m_marks[i])
            m_intensity[i] = 255;
}

void LightEngine::ShiftPreviewWave(bool forward) {
    ShiftMarks(kMarks, forward);
}

void LightEngine::ShiftMarks(std::size_t ringSize, bool forward) {
    const auto first = m_marks.begin();
    const auto last = m_marks.begin() + static_cast<std::ptrdiff_t>(std::min(ringSize, m_marks.size()));
    if (forward)
        std::rotate(first, last - 1, last); // mark i moves to i + 1
    else
        std::rotate(first, first + 1, last);
}

// --- user light effect player ---

void LightEngine::PlayUserEffect() {
    EffectFrame f;
    {
        std::lock_guard lock(m_effectFrameMutex);
        if (m_frameIndex >= m_frames.size())
            m_frameIndex = 0;
        if (m_frames.empty()) {
            StepOff();
            return;
        }
        f = m_frames[m_frameIndex];
    }
    Player& pl = m_player;
    pl.p = static_cast<uint8_t>(pl.p + 1);
    const uint8_t t = ThresholdFor(kSlowThresholds, f.speed);
    const uint8_t bright = BrightnessAlpha(f.brightness);
    const Rgb colour{f.red, f.green, f.blue};
    switch (f.mode) {
    case 0:
        if (pl.p >= t) {
            pl.q = static_cast<uint8_t>((pl.q + 1) % 128);
            pl.p = 0;
            FillAll(f.multiColor ? kWheel[pl.breathHue] : colour, Scale(kBreathing[pl.q], bright));
        }
        break;
    case 1:
        if (pl.p >= t) {
            pl.p = 0;
            FillAll(colour, bright);
        }
        break;
    case 2:
        pl.q = static_cast<uint8_t>((pl.q + 1) % 128);
        if (pl.p >= t)
            pl.p = 0;
        if (BlinkDue(pl.blinkTime, m_state.speed)) {
            pl.blinkOn = !pl.blinkOn;
            pl.blinkTime = m_clock.NowMs();
            pl.blinkHue = static_cast<uint8_t>(pl.q + 14);
        }
        if (pl.blinkOn)
            FillAll(f.multiColor ? kWheel[pl.blinkHue] : colour, bright);
        else
            FillAll({}, 0);
        break;
    case 4:
        if (pl.p >= t) {
            pl.q = static_cast<uint8_t>((pl.q + 1) % 192);
            pl.p = 0;
            unsigned d = f.direction != 0 ? 192u - pl.q : (pl.q + 1u) % 192u;
            if (d == 192)
                d = 191;
            for (std::size_t i = 0; i < m_colours.size(); ++i) {
                if (f.multiColor)
                    Put(i, kWheel[(d + 12 * i) % 192], bright);
                else
                    Put(i, colour, Scale(kWave[(d + 12 * (i + 1)) % 96], bright));
            }
        }
        break;
    case 5:
        if (pl.p >= ThresholdFor(kFastThresholds, f.speed)) {
            pl.q = static_cast<uint8_t>((pl.q + 1) % 192);
            pl.p = 0;
            FillAll(kWheel[pl.q], bright);
        }
        break;
    default: // 3 and unknown frame modes draw nothing
        break;
    }
    if (pl.p == 255)
        pl.p = 0;
    // A frame time of 0 or less moves on at every pass.
    const uint64_t now = m_clock.NowMs();
    if (f.time <= 0 || (now >= pl.frameStart && now - pl.frameStart > static_cast<uint64_t>(f.time))) {
        std::lock_guard lock(m_effectFrameMutex);
        m_frameIndex = m_frameIndex + 1 >= m_frames.size() ? 0 : m_frameIndex + 1;
        pl.frameStart = now;
    }
}

// --- light-area overlays ---

void LightEngine::ApplyOverlays() {
    std::lock_guard lock(m_lightListMutex);
    for (std::size_t i = 0; i < m_overlays.size() && i < m_colours.size(); ++i) {
        Overlay& o = m_overlays[i];
        const LightState& l = o.light;
        if (!l.present)
            continue;
        const uint8_t bright = BrightnessAlpha(l.brightness);
        const Rgb colour{l.red, l.green, l.blue};
        switch (l.mode) {
        case 0: {
            const unsigned s = o.s + std::min<unsigned>(l.speed, 4) + 4;
            o.s = static_cast<uint8_t>(s);
            if (s >= 128) {
                o.s = 0;
                o.h = o.h + 1 > 192 ? 191 : static_cast<uint8_t>(o.h + 1);
            }
            Put(i, l.multiColor ? kWheel[o.h] : colour, Scale(kBreathing[o.s], bright));
            break;
        }
        case 1:
            Put(i, colour, bright);
            break;
        case 2:
            if (BlinkDue(o.blinkTime, l.speed)) {
                o.blinkOn = !o.blinkOn;
                o.blinkTime = m_clock.NowMs();
                o.h = o.h + 14 > 191 ? 0 : static_cast<uint8_t>(o.h + 14);
            }
            if (o.blinkOn)
                Put(i, l.multiColor ? kWheel[o.h] : colour, bright);
            else
                Put(i, {}, 0);
            break;
        case 3:
            o.k = static_cast<uint8_t>(o.k + 1);
            if (o.k >= ThresholdFor(kSlowThresholds, l.speed)) {
                o.k = 0;
                o.h = static_cast<uint8_t>((o.h + 1) % 192);
            }
            Put(i, kWheel[o.h], bright);
            break;
        case 4:
            Put(i, {}, 0);
            break;
        default:
            break;
        }
    }
}

} // namespace nk7x::light
