#include "devices/headset/HeadsetDevice.h"

#include "profiles/ProfileFolders.h"

namespace nk7x {

CHeadsetDevice::CHeadsetDevice(int ledCount) : CRingLightDevice(DeviceFamily::Headset, ledCount, "headset") {
    m_profile.SetDefaultPath(nk7x::DefaultProfilePath(DeviceFamily::Headset));
    m_readsDeviceInfo = false;
}

CHeadsetDevice::~CHeadsetDevice() {
    StopWorker();
    StopKeyEventThread();
    StopLightThread();
}

void CHeadsetDevice::SetView(IHeadsetView* view) {
    m_view = view;
    CRingLightDevice::SetView(view);
}

LinkResult CHeadsetDevice::SendFrame(const HeadsetFrame& frame) {
    LinkResult result = kResultOk;
    // A refused report does not keep the others from going out.
    for (const HeadsetReport& report : frame) {
        const LinkResult r = Link().SendOutputReport(report.data(), report.size());
        if (r != kResultOk && result == kResultOk)
            result = r;
    }
    return result;
}

void CHeadsetDevice::LoadConnectedProfile() {
    m_loadingAtConnection = true;
    LoadProfile();
    m_loadingAtConnection = false;
    if (m_view)
        m_view->SoundConnected();
}

void CHeadsetDevice::ProfileLoaded() {
    CRingLightDevice::ProfileLoaded();
    if (!m_loadingAtConnection && m_view)
        m_view->SoundProfileLoaded();
}

void CHeadsetDevice::RefreshPage() {
    CRingLightDevice::RefreshPage();
    if (m_view)
        m_view->SoundRefresh();
}

} // namespace nk7x
