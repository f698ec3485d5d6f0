#include "devices/mousepad/MousePadDevice.h"

#include "profiles/ProfileFolders.h"

namespace nk7x {

CMousePadDevice::CMousePadDevice(int ledCount)
    : CRingLightDevice(DeviceFamily::MousePad, ledCount, "mouse pad") {
    m_profile.SetDefaultPath(nk7x::DefaultProfilePath(DeviceFamily::MousePad));
}

CMousePadDevice::~CMousePadDevice() {
    // The threads reach the profile: they end before it goes.
    StopWorker();
    StopKeyEventThread();
    StopLightThread();
}

} // namespace nk7x
