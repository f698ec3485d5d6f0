// The keyboard page's preview engine: the on-screen animation of the effect the keyboard runs by
// itself, with the mode preparations and the key hooks that light keys pressed on the device.
#pragma once

#include "devices/LightModeTables.h"
#include "devices/NotifyCodes.h"
#include "devices/light/LightEngine.h"

namespace nk7x::light {

class KeyboardLightEngine final : public LightEngine {
  public:
    explicit KeyboardLightEngine(const LightClock& clock, uint32_t seed = 1);

    // A key press or release reported by the keyboard, as a key index 0..125.
    void OnReactiveKey(uint8_t key, KeyEventKind kind);

    // Read-only views of the preview state.
    uint8_t Hue(std::size_t key) const;
    uint8_t Phase() const;
    uint8_t TwinklePhase(std::size_t key) const;
    bool Held(std::size_t key) const;
    // Wave array 0..3 (A, B, C, D) at a column.
    uint8_t WaveBits(std::size_t array, std::size_t column) const;

    // The key itself when it is in the serpentine order, else kNoKey.
    static uint8_t OrderedKey(uint8_t key);

  protected:
    int Threshold(uint8_t mode) const override;
    void RunStep(uint8_t mode) override;
    void OnModeChange() override;

  private:
    void ResetPreview();
    void MarkWaveKeys();
    void ShiftWave();
    void SetWaveBits(std::size_t column, uint8_t bits);
    void FadeAndDrawAll(uint8_t mode);
    void FadeAndDrawOrdered(uint8_t mode);
    void LightKey(uint8_t key);

    void KbColumnWave();
    void KbRowWave();
    void KbOrderWave();
    void KbRunningKey();
    void PrepareTwinkle();
    void KbTwinkle();
    void KbRandomSparkle();
    void PreparePhasedTwinkle();
    void KbPhasedTwinkle();
    void KbCustomAlpha();
    void KbRingWave();
    void KbColumnSweep();
    void PrepareCornerRipple();
    void KbCornerRipple();
    void KbPresetColour();
    void SeedRipple(uint8_t key, KeyEventKind kind);
    void KbReactive();
    void KbPathTrail();
    void FlashKey(uint8_t key, KeyEventKind kind);
    void RippleKey(uint8_t key, KeyEventKind kind);
    bool NeighbourHeld(int column, int row, uint8_t key) const;
    void PrepareHues();
    void KbKeyCycle();
    void PrepareCentreRipple();
    void KbCentreRipple();
    void KbScriptedBurst();

    uint8_t m_phase = 0;
    std::array<uint8_t, kKeyboardKeys> m_twinkle{};
    std::array<uint8_t, kKeyboardKeys> m_held{};
    std::array<std::array<uint8_t, kColumns>, 4> m_wave{}; // A, B, C, D
};

} // namespace nk7x::light
