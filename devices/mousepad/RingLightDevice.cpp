#include "devices/mousepad/RingLightDevice.h"

#include <memory>

#include "platform/DebugLog.h"

namespace nk7x {

CRingLightDevice::CRingLightDevice(DeviceFamily family, int ledCount, const char* logName)
    : CStreamedLightDevice(family, ledCount), m_logName(logName) {}

CRingLightDevice::~CRingLightDevice() {
    StopWorker();
    StopKeyEventThread();
    StopLightThread();
}

void CRingLightDevice::SetView(IMousePadView* view) {
    m_view = view;
    SetStreamedLightView(view);
}

void CRingLightDevice::ReportFailure(LinkResult result) {
    if (result != kResultOk && m_view)
        m_view->PadWriteFailed(result);
}

// ---- device information ---------------------------------------------------------------------

CRingLightDevice::InfoRead CRingLightDevice::FetchDeviceInfo() {
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

LinkResult CRingLightDevice::ApplyDeviceInfo(const InfoRead& read) {
    if (read.result == kResultOk)
        SetDeviceInfo(read.info);
    return read.result;
}

// ---- settings record ------------------------------------------------------------------------

PadSettingsRead CRingLightDevice::FetchSettings() {
    CDeviceCommandLink& link = Link();
    link.SetBackgroundPause(false);
    if (!link.IsOpen())
        return {};
    return ReadPadSettings(link);
}

LinkResult CRingLightDevice::ApplySettings(const PadSettingsRead& read) {
    if (read.result != kResultOk)
        return read.result;
    return m_mirror.TakeRead(read.bytes) ? kResultOk : kResultFailed;
}

LinkResult CRingLightDevice::ReadSettings() {
    return ApplySettings(FetchSettings());
}

LinkResult CRingLightDevice::TransferSettings(int n, const PadWireRecord& wire) {
    CDeviceCommandLink& link = Link();
    if (!link.IsOpen())
        return kResultFailed;
    return WritePadSettings(link, n, wire);
}

LinkResult CRingLightDevice::WriteSettings(int n, uint8_t /*byte0*/) {
    if (n < 0 || n > kPadMaxRecordIndex)
        return kResultFailed;
    const bool open = Link().IsOpen();
    const LinkResult result = TransferSettings(n, m_mirror.Wire());
    if (open)
        ReportFailure(result);
    return result;
}

void CRingLightDevice::QueueSettingsWrite(int n, uint8_t /*byte0*/) {
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

void CRingLightDevice::ApplyProfile() {
    ApplyProfileLighting();
    m_mirror.TakeLight(m_lightSettings);
}

// ---- page flow ------------------------------------------------------------------------------

void CRingLightDevice::OnConnect() {
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

void CRingLightDevice::OnSyncRequest() {
    RunTransfer("sync", [this]() -> Continuation {
        auto read = std::make_shared<const PadSettingsRead>(FetchSettings());
        return [this, read] {
            const LinkResult result = ApplySettings(*read);
            if (result != kResultOk)
                DebugLogf("%s: settings not read back (%d)", m_logName, ResultCode(result));
        };
    });
}

void CRingLightDevice::RefreshPage() {
    RefreshNameLists();
    if (m_view)
        m_view->PadLightChanged(m_lightSettings);
}

} // namespace nk7x
