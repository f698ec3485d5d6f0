// CHeadsetDevice: the headset's device operations without a toolkit. Its settings record and ring
// lighting are the ones the mouse pad has too (CRingLightDevice); its LED frame leaves as twelve
// output reports instead of live-colour frames. Its sound settings live in the same profile and reach the
// headset through the page.
#pragma once

#include "devices/headset/HeadsetLightReports.h"
#include "devices/headset/HeadsetTables.h"
#include "devices/headset/HeadsetView.h"
#include "devices/mousepad/RingLightDevice.h"
#include "profiles/HeadsetProfileData.h"

namespace nk7x {

class CHeadsetDevice : public CRingLightDevice {
  public:
    explicit CHeadsetDevice(int ledCount = kHeadsetLedCount);
    ~CHeadsetDevice() override;

    void SetView(IHeadsetView* view);
    CHs6533Profiledata& HeadsetProfile() { return m_profile; }

    // Sends one frame now on the calling thread; 1 when every report left.
    LinkResult SendFrame(const HeadsetFrame& frame);

    void RefreshPage() override;

  protected:
    LinkResult SendLiveColours(const std::vector<light::Rgba>& colours) override {
        return SendFrame(BuildHeadsetFrame(colours));
    }
    CBasicProfiledata& ProfileData() override { return m_profile; }
    const CBasicProfiledata& ProfileData() const override { return m_profile; }
    void LoadConnectedProfile() override;
    void ProfileLoaded() override;

  private:
    CHs6533Profiledata m_profile;
    IHeadsetView* m_view = nullptr;
    bool m_loadingAtConnection = false;
};

} // namespace nk7x
