#include "devices/light/KeyboardLightEngine.h"

#include <algorithm>

namespace nk7x::light {

namespace {

using Mode = KeyboardLightMode;
using Row = std::array<uint8_t, 5>;
constexpr Row kF5 = {5, 4, 3, 2, 1};
constexpr Row kF6 = {6, 5, 4, 3, 2};
constexpr Row kF7 = {7, 6, 5, 4, 3};
constexpr Row kR4 = {4, 4, 4, 4, 4};
constexpr Row kR3 = {3, 3, 3, 3, 3};
constexpr Row kSl = {28, 23, 18, 13, 7};

// Threshold row of modes 0..29; null: the user light effect player runs the mode.
constexpr std::array<const Row*, 30> kModeRows = {
    nullptr, &kF5, &kF5, &kF5,    &kF5, &kF5, &kF7, &kSl, &kF7, &kF7, // 0-9
    &kF7,    &kF7, &kF5, &kF7,    &kF5, &kF6, &kR4, &kF7, &kR3, &kF5, // 10-19
    nullptr, &kF7, &kF7, nullptr, &kF7, &kSl, &kF5, &kF7, &kSl, &kSl, // 20-29
};

constexpr uint8_t kWaveRowMask = 0x3F; // rows 0..5 of the layout

struct Neighbour {
    int dc;
    int dr;
    uint8_t gain;  // added on a press
    bool nearCell; // near cells dim gently on a release
};
constexpr std::array<Neighbour, 12> kNeighbourhood = {{
    {0, -1, 150, true},
    {0, 1, 150, true},
    {-1, 0, 150, true},
    {1, 0, 150, true},
    {0, -2, 90, false},
    {0, 2, 90, false},
    {-1, -1, 90, false},
    {1, -1, 90, false},
    {-1, 1, 90, false},
    {1, 1, 90, false},
    {-2, 0, 60, false},
    {2, 0, 60, false},
}};

uint8_t CellKey(int column, int row) {
    if (column < 0 || row < 0 || column >= static_cast<int>(kColumns) || row >= static_cast<int>(kRows))
        return kNoKey;
    return kKeyMatrix[static_cast<std::size_t>(column)][static_cast<std::size_t>(row)];
}

bool FindKey(uint8_t key, int& column, int& row) {
    if (key >= kKeyboardKeys)
        return false;
    for (std::size_t i = 0; i < kColumns; ++i)
        for (std::size_t r = 0; r < kRows; ++r)
            if (kKeyMatrix[i][r] == key) {
                column = static_cast<int>(i);
                row = static_cast<int>(r);
                return true;
            }
    return false;
}

// Which key indices the serpentine order holds, built once.
const std::array<bool, 256>& InOrder() {
    static const std::array<bool, 256> table = [] {
        std::array<bool, 256> t{};
        for (uint8_t k : kKeyOrder)
            t[k] = true;
        return t;
    }();
    return table;
}

uint8_t AddClamped(uint8_t value, unsigned gain) {
    return static_cast<uint8_t>(std::min(255u, value + gain));
}

} // namespace

KeyboardLightEngine::KeyboardLightEngine(const LightClock& clock, uint32_t seed)
    : LightEngine(LightPage::Keyboard, kKeyboardKeys, clock, seed) {}

int KeyboardLightEngine::Threshold(uint8_t mode) const {
    if (mode >= kModeRows.size() || kModeRows[mode] == nullptr)
        return -1;
    return ThresholdFor(*kModeRows[mode], m_state.speed);
}

void KeyboardLightEngine::RunStep(uint8_t mode) {
    switch (static_cast<Mode>(mode)) {
    case Mode::Wave:
        KbColumnWave();
        break;
    case Mode::Sweep:
        KbColumnSweep();
        break;
    case Mode::Snake:
        KbOrderWave();
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
    case Mode::Reactive:
    case Mode::Ripple:
    case Mode::ReactiveFade:
    case Mode::ReactiveRipple:
        KbReactive();
        break;
    case Mode::Sparkle:
        KbRandomSparkle();
        break;
    case Mode::KeyCycle:
        KbKeyCycle();
        break;
    case Mode::RowWave:
        KbRowWave();
        break;
    case Mode::CentreRipple:
        KbCentreRipple();
        break;
    case Mode::Burst:
        KbScriptedBurst();
        break;
    case Mode::Raindrops:
        KbPhasedTwinkle();
        break;
    case Mode::CornerRipple:
        KbCornerRipple();
        break;
    case Mode::PresetColour:
        KbPresetColour();
        break;
    case Mode::RingWave:
        KbRingWave();
        break;
    case Mode::Custom:
        KbCustomAlpha();
        break;
    case Mode::RunningKey:
        KbRunningKey();
        break;
    case Mode::Twinkle:
        KbTwinkle();
        break;
    case Mode::Blink:
        StepBlink();
        break;
    case Mode::PathTrail:
        KbPathTrail();
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

void KeyboardLightEngine::OnModeChange() {
    ResetPreview();
    switch (static_cast<Mode>(m_state.mode)) {
    case Mode::CentreRipple:
        PrepareCentreRipple();
        break;
    case Mode::Raindrops:
        PreparePhasedTwinkle();
        break;
    case Mode::CornerRipple:
        PrepareCornerRipple();
        break;
    case Mode::Twinkle:
        PrepareTwinkle();
        break;
    default:
        PrepareHues();
        break; // the custom mode too: its key colours come from the custom-mode operations
    }
}

uint8_t KeyboardLightEngine::Hue(std::size_t key) const {
    std::lock_guard lock(m_stateMutex);
    return key < m_hue.size() ? m_hue[key] : 0;
}

uint8_t KeyboardLightEngine::Phase() const {
    std::lock_guard lock(m_stateMutex);
    return m_phase;
}

uint8_t KeyboardLightEngine::TwinklePhase(std::size_t key) const {
    std::lock_guard lock(m_stateMutex);
    return key < m_twinkle.size() ? m_twinkle[key] : 0;
}

bool KeyboardLightEngine::Held(std::size_t key) const {
    std::lock_guard lock(m_stateMutex);
    return key < m_held.size() && m_held[key] != 0;
}

uint8_t KeyboardLightEngine::WaveBits(std::size_t array, std::size_t column) const {
    std::lock_guard lock(m_stateMutex);
    return array < 4 && column < kColumns ? m_wave[array][column] : 0;
}

uint8_t KeyboardLightEngine::OrderedKey(uint8_t key) {
    return InOrder()[key] ? key : kNoKey;
}

// --- preparations ---

void KeyboardLightEngine::ResetPreview() {
    m_c = 0;
    m_phase = 0;
    m_intensity.fill(0);
    for (auto& w : m_wave)
        w.fill(0);
}

void KeyboardLightEngine::SetWaveBits(std::size_t column, uint8_t bits) {
    for (auto& w : m_wave)
        w[column] |= bits;
}

void KeyboardLightEngine::PrepareCentreRipple() {
    SetWaveBits(9, 0x40);
}
void KeyboardLightEngine::PrepareCornerRipple() {
    SetWaveBits(1, 0x01);
}

void KeyboardLightEngine::PreparePhasedTwinkle() {
    for (std::size_t i = 0; i < kColumns; ++i)
        for (std::size_t j = 0; j < kRows7; ++j) {
            const uint8_t k = kKeyMatrix7[i][j];
            if (k >= kKeyboardKeys)
                continue;
            m_intensity[k] = kPhaseStart[6 * i + j];
            m_hue[k] = static_cast<uint8_t>(7 * i);
        }
}

void KeyboardLightEngine::PrepareTwinkle() {
    for (std::size_t i = 0; i < kColumns; ++i) {
        uint8_t a = static_cast<uint8_t>(192 - 8 * i);
        for (std::size_t j = 0; j < kRows7; ++j) {
            a = a >= 35 ? static_cast<uint8_t>(a - 35) : static_cast<uint8_t>(a + 158);
            const uint8_t k = kKeyMatrix7[i][j];
            if (k < kKeyboardKeys) {
                m_twinkle[k] = a;
                m_hue[k] = static_cast<uint8_t>(7 * i);
            }
        }
    }
}

void KeyboardLightEngine::PrepareHues() {
    uint8_t v = 0;
    for (auto& h : m_hue) {
        v = (v >= 160 && v <= 222) ? static_cast<uint8_t>(v + 97) : static_cast<uint8_t>(v + 33);
        h = v;
    }
}

// --- wave arrays ---

void KeyboardLightEngine::MarkWaveKeys() {
    for (std::size_t i = 0; i < kColumns; ++i) {
        const uint8_t bits = (m_wave[0][i] | m_wave[1][i] | m_wave[2][i] | m_wave[3][i]) & kWaveRowMask;
        for (std::size_t r = 0; r < kRows; ++r) {
            const uint8_t k = kKeyMatrix[i][r];
            if ((bits >> r) & 1 && k < kKeyboardKeys) {
                m_intensity[k] = 255;
                if (Multi())
                    m_hue[k] = Random(192);
            }
        }
    }
}

void KeyboardLightEngine::ShiftWave() {
    auto& [a, b, c, d] = m_wave;
    const auto oa = a, ob = b, oc = c, od = d;
    constexpr std::size_t last = kColumns - 1;
    for (std::size_t i = 0; i < kColumns; ++i) {
        a[i] = static_cast<uint8_t>((oa[i] >> 1) | (i < last ? oa[i + 1] : 0));
        b[i] = static_cast<uint8_t>((ob[i] >> 1) | (i > 0 ? ob[i - 1] : 0));
        c[i] = static_cast<uint8_t>((oc[i] << 1) | (i > 0 ? oc[i - 1] : 0));
        d[i] = static_cast<uint8_t>((od[i] << 1) | (i < last ? od[i + 1] : 0));
    }
}

// --- drawing helpers ---

// The fading steps run these over every key on each pass, so they keep the loop tight.
void KeyboardLightEngine::FadeAndDrawAll(uint8_t /*mode*/) {
    const uint8_t bright = Bright();
    const bool multi = Multi();
    const Rgb colour = StateColour();
    for (std::size_t k = 0; k < kKeyboardKeys; ++k) {
        const uint8_t v = FadeIntensity(m_intensity[k]);
        m_intensity[k] = v;
        const Rgb c = multi ? kWheel[m_hue[k]] : colour;
        m_colours[k] = {c.r, c.g, c.b, Scale(bright, v)};
    }
}

void KeyboardLightEngine::FadeAndDrawOrdered(uint8_t /*mode*/) {
    const uint8_t bright = Bright();
    const bool multi = Multi();
    const Rgb colour = StateColour();
    for (uint8_t k : kKeyOrder) {
        const uint8_t v = FadeIntensity(m_intensity[k]);
        m_intensity[k] = v;
        const Rgb c = multi ? kWheel[m_hue[k]] : colour;
        m_colours[k] = {c.r, c.g, c.b, Scale(bright, v)};
    }
}

void KeyboardLightEngine::LightKey(uint8_t key) {
    if (key >= kKeyboardKeys)
        return;
    m_intensity[key] = 255;
    if (Multi())
        m_hue[key] = Random(192);
}

// --- steps ---

void KeyboardLightEngine::KbColumnWave() {
    const uint8_t bright = Bright();
    if (Multi()) {
        m_c = Advance(Forwards(), 192, m_c, 1);
        for (std::size_t x = 0; x < kColumns; ++x)
            for (uint8_t k : kKeyMatrix[x])
                Put(k, kWheel[(m_c + 1 + 7 * x) % 192], bright);
        return;
    }
    m_c = Advance(Forwards(), 96, m_c, 1);
    for (std::size_t x = 0; x < kColumns; ++x)
        for (uint8_t k : kKeyMatrix[x])
            Put(k, StateColour(), Scale(kWave[(m_c + 1 + 3 * x) % 96], bright));
}

void KeyboardLightEngine::KbColumnSweep() {
    const uint8_t bright = Bright();
    if (Multi()) {
        m_c = Advance(Forwards(), 192, m_c, 1);
        for (std::size_t x = 0; x < kColumns; ++x)
            for (uint8_t k : kKeyMatrix[x])
                Put(k, kWheel[(m_c + 2 * x) % 192], bright);
        return;
    }
    m_c = Advance(Forwards(), 96, m_c, 1);
    for (std::size_t x = 0; x < kColumns; ++x)
        for (uint8_t k : kKeyMatrix[x])
            Put(k, StateColour(), Scale(kTwinkle[(m_c + 5 * x) % 96], bright));
}

void KeyboardLightEngine::KbOrderWave() {
    const uint8_t bright = Bright();
    if (Multi()) {
        m_c = Advance(Forwards(), 192, m_c, 1);
        for (std::size_t n = 0; n < kKeyOrder.size(); ++n)
            Put(kKeyOrder[n], kWheel[(m_c + 3 * n) % 192], bright);
        return;
    }
    m_c = Advance(Forwards(), 96, m_c, 1);
    for (std::size_t n = 0; n < kKeyOrder.size(); ++n)
        Put(kKeyOrder[n], StateColour(), Scale(kWave[(m_c + 3 * n) % 96], bright));
}

void KeyboardLightEngine::KbRandomSparkle() {
    for (int n = 0; n < 6; ++n) {
        const uint8_t k = kKeyOrder[Random(104)];
        m_intensity[k] = 255;
        m_hue[k] = Random(192);
    }
    FadeAndDrawAll(10);
}

void KeyboardLightEngine::KbKeyCycle() {
    const uint8_t bright = Bright();
    for (std::size_t k = 0; k < kKeyboardKeys; ++k) {
        m_hue[k] = m_hue[k] + 1 >= 192 ? 0 : static_cast<uint8_t>(m_hue[k] + 1);
        Put(k, kWheel[m_hue[k]], bright);
    }
}

void KeyboardLightEngine::KbRowWave() {
    m_c = Advance(Forwards(), 192, m_c, 1);
    const uint8_t bright = Bright();
    for (std::size_t x = 0; x < kColumns; ++x)
        for (std::size_t r = 0; r < kRows; ++r)
            Put(kKeyMatrix[x][r], kWheel[(m_c + 1 + 24 * r) % 192], bright);
}

void KeyboardLightEngine::KbCentreRipple() {
    const uint8_t m = m_wave[0][9] | m_wave[1][9] | m_wave[2][9] | m_wave[3][9];
    if (m == 1)
        SetWaveBits(9, 0x01);
    else if (m == 64)
        SetWaveBits(9, 0x40);
    if (m_phase > 1) {
        m_phase = 0;
        MarkWaveKeys();
        ShiftWave();
    }
    m_phase = static_cast<uint8_t>(m_phase + 1);
    FadeAndDrawAll(ModeNumber(Mode::CentreRipple));
}

void KeyboardLightEngine::KbScriptedBurst() {
    switch (m_phase) {
    case 0:
        if (m_c < kIntroTable.size())
            for (uint8_t k : kIntroTable[m_c])
                LightKey(k);
        m_c = static_cast<uint8_t>(m_c + 1);
        if (m_c >= kIntroTable.size()) {
            m_c = 0;
            m_phase = 1;
        }
        break;
    case 1:
        if (m_c <= 30) {
            for (uint8_t k : kOrbitTable[m_c % 16])
                LightKey(k);
            m_c = static_cast<uint8_t>(m_c + 1);
        } else if (m_intensity[70] == 0) {
            m_phase = 2;
            m_c = 0;
        }
        break;
    case 2:
        SeedRipple(50, KeyEventKind::Press);
        m_phase = 3;
        break;
    case 3:
        MarkWaveKeys();
        ShiftWave();
        if (m_intensity[118] != 0)
            m_phase = 4;
        break;
    default:
        if (m_intensity[118] == 0) {
            m_phase = 0;
            m_c = 0;
        }
        break;
    }
    FadeAndDrawAll(ModeNumber(Mode::Burst));
}

void KeyboardLightEngine::KbPhasedTwinkle() {
    const uint8_t bright = Bright();
    for (uint8_t k : kKeyOrder) {
        unsigned v = m_intensity[k] + 2u;
        if (v >= 192) {
            v = 0;
            m_hue[k] = Random(192);
        }
        m_intensity[k] = static_cast<uint8_t>(v);
        Put(k, Multi() ? kWheel[m_hue[k]] : StateColour(), Scale(kTwinkle[v], bright));
    }
}

void KeyboardLightEngine::KbCornerRipple() {
    if ((m_wave[0][1] | m_wave[1][1] | m_wave[2][1] | m_wave[3][1]) == 1)
        SetWaveBits(1, 0x01);
    if ((m_wave[0][22] | m_wave[1][22] | m_wave[2][22] | m_wave[3][22]) == 64)
        SetWaveBits(22, 0x40);
    MarkWaveKeys();
    ShiftWave();
    FadeAndDrawOrdered(ModeNumber(Mode::CornerRipple));
}

void KeyboardLightEngine::KbPresetColour() {
    uint8_t p = 174;
    switch (m_state.secondaryMode) {
    case 1:
        p = 25;
        break;
    case 2:
        p = 70;
        break;
    case 3:
        p = 95;
        break;
    default:
        break;
    }
    m_c = p;
    FillAll(kWheel[p], Bright());
}

void KeyboardLightEngine::KbRingWave() {
    m_c = Advance(Forwards(), 192, m_c, 1);
    const uint8_t bright = Bright();
    const auto& inOrder = InOrder();
    for (std::size_t r = 0; r < kRings; ++r) {
        const Rgb colour = kWheel[(m_c + 10 * (r + 1)) % 192];
        for (uint8_t slot : kRingMatrix[r])
            if (inOrder[slot]) // slot < 126 for every key of the order
                m_colours[slot] = {colour.r, colour.g, colour.b, bright};
    }
}

void KeyboardLightEngine::KbCustomAlpha() {
    const uint8_t bright = Bright();
    for (auto& e : m_colours)
        e.a = bright;
}

void KeyboardLightEngine::KbRunningKey() {
    auto light = [this](uint8_t position) {
        if (position < kRunOrder.size() && kRunOrder[position] < kKeyboardKeys)
            m_intensity[kRunOrder[position]] = 254;
    };
    if (Forwards()) {
        if (m_c >= kKeyboardKeys) {
            m_c = 0;
        } else {
            light(m_c);
            m_c = static_cast<uint8_t>(m_c + 1);
        }
    } else if (m_c == 0) {
        m_c = kKeyboardKeys;
    } else {
        light(m_c);
        m_c = static_cast<uint8_t>(m_c - 1);
    }
    FadeAndDrawOrdered(ModeNumber(Mode::RunningKey));
}

void KeyboardLightEngine::KbTwinkle() {
    const uint8_t bright = Bright();
    for (uint8_t k : kKeyOrder) {
        unsigned v = m_twinkle[k] + 1u;
        if (v >= 192) {
            v = 0;
            m_hue[k] = Random(192);
        }
        m_twinkle[k] = static_cast<uint8_t>(v);
        Put(k, Multi() ? kWheel[m_hue[k]] : StateColour(), Scale(kTwinkle[v], bright));
    }
}

void KeyboardLightEngine::KbPathTrail() {
    m_c = Advance(Forwards(), static_cast<uint8_t>(kPathTable.size()), m_c, 1);
    for (uint8_t k : kPathTable[m_c])
        if (k < kKeyboardKeys) {
            m_intensity[k] = 255;
            m_hue[k] = 0;
        }
    const uint8_t bright = Bright();
    for (std::size_t k = 0; k < kKeyboardKeys; ++k) {
        m_intensity[k] = m_intensity[k] > 5 ? static_cast<uint8_t>(m_intensity[k] - 5) : 0;
        m_hue[k] = static_cast<uint8_t>(std::min(255, m_hue[k] + 3));
        if (Multi())
            Put(k, kWheel[m_hue[k]], bright);
        else
            Put(k, StateColour(), Scale(bright, m_intensity[k]));
    }
}

void KeyboardLightEngine::KbReactive() {
    MarkWaveKeys();
    ShiftWave();
    FadeAndDrawAll(m_state.mode);
}

// --- key hooks ---

void KeyboardLightEngine::OnReactiveKey(uint8_t key, KeyEventKind kind) {
    std::lock_guard lock(m_stateMutex);
    switch (static_cast<Mode>(m_state.mode)) {
    case Mode::ReactiveRipple:
        RippleKey(key, kind);
        break;
    case Mode::Ripple:
        SeedRipple(key, kind);
        break;
    case Mode::Reactive:
        FlashKey(key, kind);
        break;
    default:
        break;
    }
}

void KeyboardLightEngine::FlashKey(uint8_t key, KeyEventKind /*kind*/) {
    if (key < kKeyboardKeys)
        m_intensity[key] = 255;
}

void KeyboardLightEngine::SeedRipple(uint8_t key, KeyEventKind kind) {
    int column = 0, row = 0;
    if (kind != KeyEventKind::Press || !FindKey(key, column, row))
        return;
    SetWaveBits(static_cast<std::size_t>(column), static_cast<uint8_t>(1u << row));
}

bool KeyboardLightEngine::NeighbourHeld(int column, int row, uint8_t key) const {
    auto heldOther = [&](int c, int r) {
        const uint8_t k = CellKey(c, r);
        return k < kKeyboardKeys && k != key && m_held[k] != 0;
    };
    if (heldOther(column, row))
        return true;
    for (const Neighbour& n : kNeighbourhood)
        if (heldOther(column + n.dc, row + n.dr))
            return true;
    return false;
}

void KeyboardLightEngine::RippleKey(uint8_t key, KeyEventKind kind) {
    int column = 0, row = 0;
    if (!FindKey(key, column, row))
        return;
    if (kind == KeyEventKind::Press) {
        m_held[key] = 1;
        m_intensity[key] = 255;
        for (const Neighbour& n : kNeighbourhood) {
            const uint8_t k = CellKey(column + n.dc, row + n.dr);
            if (k < kKeyboardKeys)
                m_intensity[k] = AddClamped(m_intensity[k], n.gain);
        }
        return;
    }
    for (const Neighbour& n : kNeighbourhood) {
        const int c = column + n.dc, r = row + n.dr;
        const uint8_t k = CellKey(c, r);
        if (k >= kKeyboardKeys || NeighbourHeld(c, r, key))
            continue;
        uint8_t& v = m_intensity[k];
        if (n.nearCell)
            v = v > 14 ? static_cast<uint8_t>(v - 15) : 0;
        else
            v = v > 89 ? static_cast<uint8_t>(v - 90) : 0;
    }
    m_held[key] = 0;
}

} // namespace nk7x::light
