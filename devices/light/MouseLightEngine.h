// The mouse page's light engine: its mode table, the wave across its LEDs and the zone chase. The
// mouse runs no light-area overlays.
#pragma once

#include "devices/light/LightEngine.h"

namespace nk7x::light {

class MouseLightEngine final : public LightEngine {
  public:
    explicit MouseLightEngine(std::size_t ledCount, const LightClock& clock, uint32_t seed = 1);

  protected:
    int Threshold(uint8_t mode) const override;
    void RunStep(uint8_t mode) override;
    void OnModeChange() override;
    bool RunsOverlays() const override { return false; }

  private:
    void MouseWave();
    void MouseZoneChase();
};

} // namespace nk7x::light
