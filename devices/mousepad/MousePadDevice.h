// CMousePadDevice: the mouse pad's device without a toolkit: the record and ring lighting it shares
// with the headset (CRingLightDevice), and its profile, which keeps only lighting.
#pragma once

#include "devices/mousepad/RingLightDevice.h"

namespace nk7x {

class CMousePadDevice : public CRingLightDevice {
  public:
    // `ledCount`: the LEDs the page shows and streams (the page table's key count).
    explicit CMousePadDevice(int ledCount = kMousePadLedCount);
    ~CMousePadDevice() override;

    CBasicProfiledata& Profile() { return m_profile; }

  protected:
    CBasicProfiledata& ProfileData() override { return m_profile; }
    const CBasicProfiledata& ProfileData() const override { return m_profile; }

  private:
    CBasicProfiledata m_profile;
};

} // namespace nk7x
