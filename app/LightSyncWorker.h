// The worker that mirrors one common lighting effect on every device flagged for it. It paces the
// effect by the speed's period and leaves painting to the source.
#pragma once

#include "platform/WorkerSlots.h"

#include <chrono>

namespace nk7x {

class LightSyncSource {
  public:
    virtual ~LightSyncSource() = default;
    // True when some device has an open command link and its background-pause flag set.
    virtual bool AnyFlagged() = 0;
    // The speed index (0-4) of the stored common effect.
    virtual int SpeedIndex() = 0;
    // One step of the common effect, painted on every flagged device.
    virtual void Step() = 0;
};

// Steps per speed index 0-4, in ticks of the system tick count.
int LightSyncPeriod(int speedIndex);

// The worker's body: returns promptly (within a few milliseconds) once stop is set. With nothing
// flagged it waits on the stop event and costs nothing; a Poke of that event (WorkerSlots::Wake)
// makes it look again, which whoever flags a device does.
void RunLightSync(const StopEvent& stop, LightSyncSource& source);

} // namespace nk7x
