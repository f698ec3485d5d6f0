#include "devices/light/LightSyncHub.h"

#include "devices/DeviceBase.h"

namespace nk7x::light {

LightSyncHub::LightSyncHub() : m_player(m_steadyClock) {}

LightSyncHub::LightSyncHub(const LightClock& clock) : m_player(clock) {}

void LightSyncHub::SetDevices(std::vector<CDeviceBase*> devices) {
    std::lock_guard lock(m_mutex);
    m_devices = std::move(devices);
}

void LightSyncHub::Store(const CommonEffectSettings& settings) {
    std::lock_guard lock(m_mutex);
    m_player.SetSettings(settings);
}

CommonEffectSettings LightSyncHub::Stored() const {
    std::lock_guard lock(m_mutex);
    return m_player.Settings();
}

bool LightSyncHub::Flagged(CDeviceBase* device) {
    return device && device->Link().IsOpen() && device->Link().BackgroundPause();
}

bool LightSyncHub::AnyFlagged() {
    std::lock_guard lock(m_mutex);
    for (CDeviceBase* d : m_devices)
        if (Flagged(d))
            return true;
    return false;
}

int LightSyncHub::SpeedIndex() {
    std::lock_guard lock(m_mutex);
    const int speed = m_player.Settings().speed;
    return speed <= 4 ? speed : 0;
}

void LightSyncHub::Step() {
    // Held while painting, so a device taken off the list is never painted after SetDevices returns.
    std::lock_guard lock(m_mutex);
    const std::optional<CommonEffectPaint> paint = m_player.Step();
    if (!paint)
        return;
    const KeyColour colour{paint->colour.r, paint->colour.g, paint->colour.b, paint->brightness};
    for (CDeviceBase* d : m_devices) {
        if (!Flagged(d))
            continue;
        const int keys = d->KeyCount();
        for (int k = 0; k < keys; ++k)
            d->SetKeyColour(k, colour);
    }
}

} // namespace nk7x::light
