// The light engine of the mouse pad and the headset: a ring of LEDs with its wave, ring chase and
// pair chase, and the light-area overlays. The headset's wave runs at its own pitch.
#pragma once

#include "devices/light/LightEngine.h"

namespace nk7x::light {

class RingLightEngine final : public LightEngine {
  public:
    // `page` is LightPage::MousePad or LightPage::Headset.
    RingLightEngine(LightPage page, std::size_t ledCount, const LightClock& clock, uint32_t seed = 1);

  protected:
    int Threshold(uint8_t mode) const override;
    void RunStep(uint8_t mode) override;
    void LightMarkedKeys() override;

  private:
    void RingWave();
    void RingChase();
    void PairChase();

    bool m_secondCall = false; // the chases move their marks on every second call
};

} // namespace nk7x::light
