#include "devices/headset/HeadsetDevice.h"

#include <chrono>
#include <memory>
#include <thread>

namespace nk7x {

CHeadsetDevice::CHeadsetDevice(int ledCount)
    : CMousePadDevice(DeviceFamily::Headset, ledCount, std::make_unique<CHs6533Profiledata>(), "headset"),
      m_headsetProfile(static_cast<CHs6533Profiledata*>(&ProfileData())) {}

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

LinkResult CHeadsetDevice::StreamKeyColours() {
    if (Link().LongTimeouts())
        return kResultOk;
    std::vector<light::Rgba> colours;
    colours.reserve(KeyColours().size());
    for (const KeyColour& c : KeyColours())
        colours.push_back({c.red, c.green, c.blue, c.alpha});
    const HeadsetFrame frame = BuildHeadsetFrame(colours);
    const auto made = std::chrono::steady_clock::now();
    auto stream = [this, frame, made] {
        NoteStreamSend(made);
        const LinkResult result = SendFrame(frame);
        if (result != kResultOk)
            std::this_thread::sleep_for(std::chrono::milliseconds(kFailedFramePauseMs));
        return result;
    };
    if (!Worker().Running())
        return stream();
    RunTransfer("stream", [stream]() -> Continuation {
        (void)stream();
        return nullptr;
    });
    return kResultOk;
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
