#include "devices/mousepad/MousePadDevice.h"

#include <memory>

#include "platform/DebugLog.h"
#include "profiles/ProfileFolders.h"

namespace nk7x {

CMousePadDevice::CMousePadDevice(int ledCount)
    : CMousePadDevice(DeviceFamily::MousePad, ledCount, std::make_unique<CBasicProfiledata>(), "mouse pad") {}

CMousePadDevice::CMousePadDevice(DeviceFamily family, int ledCount,
                                 std::unique_ptr<CBasicProfiledata> profile, const char* logName)
    : CStreamedLightDevice(family, ledCount), m_profile(std::move(profile)), m_logName(logName) {
    m_profile->SetDefaultPath(nk7x::DefaultProfilePath(family));
}

CMousePadDevice::~CMousePadDevice() {
    StopWorker();
    StopKeyEventThread();
    StopLightThread();
}

void CMousePadDevice::SetView(IMousePadView* view) {
    m_view = view;
    SetStreamedLightView(view);
}

void CMousePadDevice::ReportFailure(LinkResult result) {
    if (result != kResultOk && m_view)
        m_view->PadWriteFailed(result);
}

// ---- device information ---------------------------------------------------------------------

CMousePadDevice::InfoRead CMousePadDevice::FetchDeviceInfo() {
    InfoRead r;
    CDeviceCommandLink& link = Link();
    if (!link.IsOpen())
        return r;
    FirstFailure f;
    f.Take(link.BeginConfig());
    f.Take(link.ReadDeviceInfo(r.info));
    (void)link.EndConfig(); // the information stands or falls with the read above
    r.result = f.result;
    return r;
}

LinkResult CMousePadDevice::ApplyDeviceInfo(const InfoRead& read) {
    if (read.result == kResultOk)
        SetDeviceInfo(read.info);
    return read.result;
}

// ---- settings record ------------------------------------------------------------------------

PadSettingsRead CMousePadDevice::FetchSettings() {
    CDeviceCommandLink& link = Link();
    link.SetBackgroundPause(false);
    if (!link.IsOpen())
        return {};
    return ReadPadSettings(link);
}

LinkResult CMousePadDevice::ApplySettings(const PadSettingsRead& read) {
    if (read.result != kResultOk)
        return read.result;
    return m_mirror.TakeRead(read.bytes) ? kResultOk : kResultFailed;
}

LinkResult CMousePadDevice::ReadSettings() {
    return ApplySettings(FetchSettings());
}

LinkResult CMousePadDevice::TransferSettings(int n, const PadWireRecord& wire) {
    CDeviceCommandLink& link = Link();
    if (!link.IsOpen())
        return kResultFailed;
    return WritePadSettings(link, n, wire);
}

LinkResult CMousePadDevice::WriteSettings(int n, uint8_t /*byte0*/) {
    if (n < 0 || n > kPadMaxRecordIndex)
        return kResultFailed;
    const bool open = Link().IsOpen();
    const LinkResult result = TransferSettings(n, m_mirror.Wire());
    if (open)
        ReportFailure(result);
    return result;
}

void CMousePadDevice::QueueSettingsWrite(int n, uint8_t /*byte0*/) {
    if (n < 0 || n > kPadMaxRecordIndex || !Link().IsOpen())
        return; // nothing to write to: the profile keeps the change
    // The bytes are taken from the mirror now; the worker only moves them.
    const PadWireRecord wire = m_mirror.Wire();
    RunTransfer("settings-" + std::to_string(n), [this, n, wire]() -> Continuation {
        const LinkResult result = TransferSettings(n, wire);
        return [this, result] { ReportFailure(result); };
    });
}

// ---- profile --------------------------------------------------------------------------------

void CMousePadDevice::ApplyProfile() {
    ApplyProfileLighting();
    m_mirror.TakeLight(m_lightSettings);
}

// ---- page flow ------------------------------------------------------------------------------

void CMousePadDevice::OnConnect() {
    RunTransfer("connect", [this]() -> Continuation {
        const bool askInfo = m_readsDeviceInfo;
        const InfoRead read = askInfo ? FetchDeviceInfo() : InfoRead{};
        // The record too: the first lighting change would otherwise overwrite the pad's own bytes
        // (4 and 9..20) with the zeros of a mirror that was never read.
        auto record = std::make_shared<PadSettingsRead>();
        if (Link().IsOpen())
            *record = ReadPadSettings(Link());
        return [this, askInfo, read, record] {
            const LinkResult result = askInfo ? ApplyDeviceInfo(read) : kResultOk;
            if (result != kResultOk && Link().IsOpen())
                DebugLogf("%s: device information not read (%d)", m_logName, ResultCode(result));
            if (ApplySettings(*record) != kResultOk && Link().IsOpen())
                DebugLogf("%s: settings record not read at connection; its own bytes go out as 0", m_logName);
            LoadConnectedProfile(); // lays the profile's lighting over the record just read
            RefreshPage();
            StartLightThread();
            ConnectFinished();
        };
    });
}

void CMousePadDevice::OnSyncRequest() {
    RunTransfer("sync", [this]() -> Continuation {
        auto read = std::make_shared<const PadSettingsRead>(FetchSettings());
        return [this, read] {
            const LinkResult result = ApplySettings(*read);
            if (result != kResultOk)
                DebugLogf("%s: settings not read back (%d)", m_logName, ResultCode(result));
        };
    });
}

void CMousePadDevice::RefreshPage() {
    RefreshNameLists();
    if (m_view)
        m_view->PadLightChanged(m_lightSettings);
}

} // namespace nk7x
