// CStreamedLightDevice: what the devices whose LEDs the program drives (mouse, mouse pad, headset)
// share: the light engine and its thread, the live stream of the engine's colours, the status poll,
// and the profile file of the device's family with its lighting names.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "devices/DeviceBase.h"
#include "devices/DeviceStatus.h"
#include "devices/light/LightClock.h"
#include "devices/light/LightEngine.h"
#include "devices/light/LightThread.h"
#include "profiles/BasicProfileData.h"
#include "profiles/LightNames.h"

namespace nk7x {

// What such a device hands to its page besides the base's calls.
class IStreamedLightView : public IDeviceView {
  public:
    virtual void LightNamesChanged(const LightNameLists& names) { (void)names; }
    // The status record of the last poll (battery, power, wireless, phone type).
    virtual void StatusChanged(const DeviceStatusBytes& status) { (void)status; }
};

class CStreamedLightDevice : public CDeviceBase {
  public:
    ~CStreamedLightDevice() override;

    // The light thread animates the engine; RefreshLighting copies the engine's colours into the
    // per-key table, shows them and streams them (the base's frame) unless the light thread does.
    bool StartLightThread();
    void StopLightThread();
    bool LightThreadRunning() const { return m_lightThread->Running(); }
    LinkResult RefreshLighting() override;
    // The per-key colours through SendLiveColours, on the worker.
    LinkResult StreamKeyColours() override;
    const light::LightEngine& LightPreview() const { return *m_lightEngine; }
    // Direct colours leave with the device's own frames (FrameColours), at their pace.
    bool SendDirectFrame() override { return false; }
    // Needs the light thread running; the frames leave on it every 50 ms.
    bool StreamFromLightThread(bool on) override;
    bool StreamingFromLightThread() const { return m_lightThread->HasFrameSink(); }

    // The status record, every 5 s while the page's power mode asks for it. Behind a receiver
    // (the link's long time-outs) byte 3 says wireless whatever the device sent.
    void StatusPoll() override;
    const DeviceStatusBytes& LastStatus() const { return m_status; }

    // What the next frame carries: the direct colours while they are held, else the engine's.
    std::vector<light::Rgba> FrameColours() const;

    // Profile of the family's folder: loading (a missing file is refilled from the defaults),
    // restoring the defaults, saving, and the lighting names the page lists.
    void LoadProfile() override;
    void RestoreDefaults();
    void SaveProfile() override { StoreProfile(); }
    void SetProfilePaths();
    std::string GetProfileName() const { return ProfileData().GetProfilePath(); }
    void SetProfileIndex(int index) override;
    void SetLightSettings(LightState state) override;
    void RefreshNameLists() override;
    const LightNameLists& LightNames() const { return m_lightNames; }

  protected:
    // `ledCount`: the LEDs the page shows and streams (the page table's key count, at least 1).
    CStreamedLightDevice(DeviceFamily family, int ledCount);

    // One frame of the engine's colours to the device now, on the calling thread, without the
    // page: three bytes a LED as live colours. A kind with another wire overrides it.
    virtual LinkResult SendLiveColours(const std::vector<light::Rgba>& colours);

    virtual CBasicProfiledata& ProfileData() = 0;
    virtual const CBasicProfiledata& ProfileData() const = 0;
    // A profile object was loaded or restored; the kind takes what it keeps of it besides the
    // lighting, before ApplyProfile runs.
    virtual void ProfileLoaded() {}

    // The profile's light settings, light areas and effect frames into the device and the engine.
    void ApplyProfileLighting();
    // Saves the profile; a failure is logged once until a save succeeds again.
    void StoreProfile();
    void SetStreamedLightView(IStreamedLightView* view);
    light::LightEngine& Engine() { return *m_lightEngine; }
    DeviceFamily Family() const { return m_family; }

  private:
    const DeviceFamily m_family;
    IStreamedLightView* m_view = nullptr;
    DeviceStatusBytes m_status{};
    LightNameLists m_lightNames;
    bool m_saveFailureTold = false;

    light::SteadyLightClock m_lightClock;
    std::unique_ptr<light::LightEngine> m_lightEngine;
    std::unique_ptr<light::LightThread> m_lightThread;
};

} // namespace nk7x
