// What tells discovery that HID interfaces may have come or gone, so that it can sleep in between:
// the device manager announces hidraw nodes added and removed, and the emulator's folder announces
// socket files made and deleted. The owner waits for input on Fds() (with poll) and then calls
// Drain(); one object is used by one thread at a time.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace nk7x {

class IHotplugWatcher {
  public:
    virtual ~IHotplugWatcher() = default;

    // True when every source asked for is watched (or, for the emulator's folder, is waited for):
    // then nothing comes or goes unannounced. False means the owner must look on a fixed interval.
    virtual bool Ready() const = 0;
    // The descriptors to wait on for input. Fixed for the life of the object.
    virtual std::vector<int> Fds() const = 0;
    // Reads everything pending, without blocking; true when any of it was an interface that came,
    // went or changed its access. Noise (other files, other devices) reads as false.
    virtual bool Drain() = 0;
    // For the owner's slow safety-net pass: tries again to watch what could not be watched yet (the
    // emulator's folder, and its parent, missing). True when something became watched just now, so
    // whatever appeared before that went unannounced.
    virtual bool Retry() = 0;
};

struct HotplugSources {
    bool hidraw = true;         // hidraw nodes, through the device manager's monitor
    std::string emulatorFolder; // empty: no emulator
};

// hidraw, and the folder NK7X_SIM_DIR names when it is set.
HotplugSources DefaultHotplugSources();

// Never null. When a source cannot be watched (no device-manager monitor, no inotify) the watcher
// says so through Ready(), and `why`, when given, receives the reason.
std::unique_ptr<IHotplugWatcher> OpenHotplugWatcher(const HotplugSources& sources,
                                                    std::string* why = nullptr);

} // namespace nk7x
