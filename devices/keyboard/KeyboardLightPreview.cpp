#include "devices/keyboard/KeyboardLightPreview.h"

namespace nk7x {

CKeyboardLightPreview::CKeyboardLightPreview(CDeviceCommandLink& link)
    : m_engine(std::make_unique<light::KeyboardLightEngine>(m_clock, static_cast<uint32_t>(m_clock.NowMs()))),
      m_thread(std::make_unique<light::LightThread>(
          *m_engine, [&link] { return link.IsOpen(); }, [&link] { return link.BackgroundPause(); })) {}

bool CKeyboardLightPreview::TakeLightSettings(const LightState& state) {
    const bool modeChanged = m_engine->LightSettings().mode != state.mode;
    m_engine->SetLightSettings(state);
    return modeChanged;
}

void CKeyboardLightPreview::MirrorColours(const std::vector<KeyColour>& table, bool withAlpha) {
    for (size_t k = 0; k < table.size() && k < m_engine->LedCount(); ++k) {
        const KeyColour& c = table[k];
        const uint8_t alpha = withAlpha ? c.alpha : m_engine->Colour(k).a;
        m_engine->SetColour(k, {c.red, c.green, c.blue, alpha});
    }
}

void CKeyboardLightPreview::OnReactiveKey(int keyIndex, KeyEventKind kind) {
    m_engine->OnReactiveKey(static_cast<uint8_t>(keyIndex), kind);
}

std::vector<KeyColour> CKeyboardLightPreview::Colours() const {
    const std::vector<light::Rgba> colours = m_engine->Colours();
    std::vector<KeyColour> shown;
    shown.reserve(colours.size());
    for (const light::Rgba& c : colours)
        shown.push_back({c.r, c.g, c.b, c.a});
    return shown;
}

} // namespace nk7x
