// CKeyboardLightPreview: the on-screen animation of the lighting mode the keyboard runs by itself:
// the preview engine, its clock, and the thread that steps it while the link is open and no
// background pause holds it.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "devices/DeviceBase.h"
#include "devices/NotifyCodes.h"
#include "devices/light/KeyboardLightEngine.h"
#include "devices/light/LightClock.h"
#include "devices/light/LightThread.h"

namespace nk7x {

class CKeyboardLightPreview {
  public:
    // The thread asks `link` whether it is open and paused; the link outlives the preview.
    explicit CKeyboardLightPreview(CDeviceCommandLink& link);
    CKeyboardLightPreview(const CKeyboardLightPreview&) = delete;
    CKeyboardLightPreview& operator=(const CKeyboardLightPreview&) = delete;

    bool Start() { return m_thread->Start(); }
    void Stop() { m_thread->Stop(); }
    bool Running() const { return m_thread->Running(); }
    // Whether a window shows the preview; the thread sleeps while none does.
    void SetWatched(bool watched) { m_thread->SetWatched(watched); }
    bool Watched() const { return m_thread->Watched(); }
    uint64_t Passes() const { return m_thread->Passes(); }
    const light::KeyboardLightEngine& Engine() const { return *m_engine; }

    // New light settings for the engine; true when their mode is not the one it showed, so that
    // the caller prepares the mode.
    bool TakeLightSettings(const LightState& state);
    void TakeLightList(const std::vector<LightState>& list) { m_engine->SetLightList(list); }
    void TakeEffectFrames(const std::vector<EffectFrame>& frames) { m_engine->SetEffectFrames(frames); }
    // The custom colours of `table` into the engine (red, green, blue; alpha too when
    // `withAlpha`); the custom step sets the alpha from the brightness. The caller holds the
    // table's lock.
    void MirrorColours(const std::vector<KeyColour>& table, bool withAlpha);
    // A key press or release of key index `keyIndex` (0..125), turned into the mode's key hook.
    void OnReactiveKey(int keyIndex, KeyEventKind kind);
    // What the key buttons show now.
    std::vector<KeyColour> Colours() const;

  private:
    light::SteadyLightClock m_clock;
    std::unique_ptr<light::KeyboardLightEngine> m_engine;
    std::unique_ptr<light::LightThread> m_thread; // declared after the engine it drives
};

} // namespace nk7x
