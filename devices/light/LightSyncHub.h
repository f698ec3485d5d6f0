// The devices that mirror one common lighting effect and the effect they mirror: what the lighting
// synchronisation worker asks (is anything flagged, at which speed) and the step it runs.
#pragma once

#include <mutex>
#include <vector>

#include "devices/light/CommonEffect.h"
#include "devices/light/LightClock.h"

namespace nk7x {
class CDeviceBase;
} // namespace nk7x

namespace nk7x::light {

// Every operation may run on any thread. A device must leave the hub (SetDevices without it) before
// it is destroyed: once SetDevices has returned, no step touches a device that is no longer listed.
class LightSyncHub {
  public:
    // The flashing toggle reads the steady clock.
    LightSyncHub();
    // The flashing toggle reads `clock`, which must outlive the hub.
    explicit LightSyncHub(const LightClock& clock);
    LightSyncHub(const LightSyncHub&) = delete;
    LightSyncHub& operator=(const LightSyncHub&) = delete;

    // The devices in the worker's order: mice, keyboards, mouse pads, headsets (borrowed).
    void SetDevices(std::vector<CDeviceBase*> devices);
    // The common effect and the source's settings; the effect's step positions carry on.
    void Store(const CommonEffectSettings& settings);
    CommonEffectSettings Stored() const;

    // True when some device has an open command link and its background-pause flag set.
    bool AnyFlagged();
    // The stored speed index 0-4 (an index outside that range reads as 0).
    int SpeedIndex();
    // One step of the stored effect painted on every flagged device: every key below its key count
    // gets the colour and brightness. Nothing happens while no effect is stored.
    void Step();

  private:
    static bool Flagged(CDeviceBase* device);

    SteadyLightClock m_steadyClock;
    mutable std::mutex m_mutex;
    std::vector<CDeviceBase*> m_devices;
    CommonEffectPlayer m_player;
};

} // namespace nk7x::light

namespace nk7x {
using light::LightSyncHub;
} // namespace nk7x
