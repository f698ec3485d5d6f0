// CRingLightDevice: what the mouse pad and the headset share, without a toolkit: the device
// information read at connection, the mirror of the pad's settings record (read when the device
// reports a change, sent after lighting changes), and the ring of LEDs the program animates and
// streams itself (CStreamedLightDevice). Each kind owns its profile and gives it through ProfileData.
#pragma once

#include "devices/StreamedLightDevice.h"
#include "devices/mousepad/MousePadTables.h"
#include "devices/mousepad/MousePadView.h"
#include "devices/mousepad/PadRecords.h"
#include "profiles/BasicProfileData.h"

namespace nk7x {

class CRingLightDevice : public CStreamedLightDevice, public ISettingsRecordDevice {
  public:
    ~CRingLightDevice() override;
    ISettingsRecordDevice* SettingsRecord() override { return this; }

    void SetView(IMousePadView* view);

    // Device information, read at connection; the pad gives none of its bytes a meaning the page
    // uses. The halves as the mouse's: the transfer on any thread, the result on the page's thread.
    struct InfoRead {
        LinkResult result = kResultFailed;
        DeviceInfoRecord info{};
    };
    InfoRead FetchDeviceInfo();
    LinkResult ApplyDeviceInfo(const InfoRead& read);

    // Settings record: a read replaces the mirror (the profile stays as it is); a write sends the
    // mirror, not the profile.
    PadSettingsRead FetchSettings();
    LinkResult ApplySettings(const PadSettingsRead& read);
    LinkResult ReadSettings();
    const PadSettingsRecord& Mirror() const { return m_mirror; }
    // Sends the mirror as record n (the main window always writes record 0); byte 0 is not taken
    // from the caller: it stays the record index last read.
    LinkResult WriteSettings(int n, uint8_t byte0) override;
    void QueueSettingsWrite(int n, uint8_t byte0) override;

    // The profile's lighting into the device, the engine and the mirror.
    void ApplyProfile() override;

    // Page flow. The connection reads the device information and the settings record (so that the
    // pad's own bytes go back unchanged), then loads the profile and starts the light thread.
    void OnConnect() override;
    void OnSyncRequest() override;
    void RefreshPage() override;

  protected:
    // `ledCount`: the LEDs the page shows and streams (the page table's key count); `logName`
    // starts the kind's log lines.
    CRingLightDevice(DeviceFamily family, int ledCount, const char* logName);

    IMousePadView* PadView() const { return m_view; }
    // The connection's profile load (after the record was read, before the page is filled).
    virtual void LoadConnectedProfile() { LoadProfile(); }
    // Whether the connection asks for the device information (command 3): the pad does; a headset
    // is not asked, since it need not answer that command.
    bool m_readsDeviceInfo = true;

  private:
    LinkResult TransferSettings(int n, const PadWireRecord& wire);
    void ReportFailure(LinkResult result);

    IMousePadView* m_view = nullptr;
    const char* m_logName;
    PadSettingsRecord m_mirror;
};

} // namespace nk7x
