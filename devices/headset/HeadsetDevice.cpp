#include "devices/headset/HeadsetDevice.h"

#include <memory>

namespace nk7x {

CHeadsetDevice::CHeadsetDevice(int ledCount)
    : CMousePadDevice(DeviceFamily::Headset, ledCount, std::make_unique<CHs6533Profiledata>(), "headset"),
      m_headsetProfile(static_cast<CHs6533Profiledata*>(&ProfileData())) {
    m_readsDeviceInfo = false;
}

CHeadsetDevice::~CHeadsetDevice() {
    StopWorker();
    StopKeyEventThread();
    StopLightThread();
}

void CHeadsetDevice::SetView(IHeadsetView* view) {
    m_view = view;
    CMousePadDevice::SetView(view);
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
    CMousePadDevice::ProfileLoaded();
    if (!m_loadingAtConnection && m_view)
        m_view->SoundProfileLoaded();
}

void CHeadsetDevice::RefreshPage() {
    CMousePadDevice::RefreshPage();
    if (m_view)
        m_view->SoundRefresh();
}

} // namespace nk7x
