// Which application's window is in front, as the desktop tells it, for profiles that follow the
// application. One small backend per kind of desktop, chosen at run time; none polls: each waits on
// its display connection or on the session bus.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace nk7x {

struct ActiveApp {
    // The Wayland app id, or the class part of the X11 window's WM_CLASS.
    std::string appId;
    // The instance part of WM_CLASS on X11; empty elsewhere.
    std::string instance;
    std::string title;
    int pid = 0; // 0 when the desktop does not say
    // The file name of the process's executable (/proc/PID/exe), when the pid is known and readable.
    std::string executable;
    bool operator==(const ActiveApp&) const = default;
};

enum class TrackerKind { None, X11, Wlroots, KWin, Gnome };

class IWindowTracker {
  public:
    // Called with the application now in front, each time it changes (on the tracker's own thread,
    // or on the toolkit's for the bus-based backends): never twice in a row with the same one.
    using Listener = std::function<void(const ActiveApp&)>;

    virtual ~IWindowTracker() = default;
    virtual TrackerKind Kind() const = 0;
    // How the settings window names the method: "X11", "wlroots", "KDE Plasma", "GNOME Shell".
    virtual std::string Name() const = 0;
    // Starts watching and reports the application in front at once when there is one. False, with
    // `why` in words a user can act on, when this desktop does not offer what the backend needs.
    virtual bool Start(Listener listener, std::string* why) = 0;
    // Stops watching; no listener call follows its return.
    virtual void Stop() = 0;
    // The applications with a window now, to pick one to bind (each app id once).
    virtual std::vector<ActiveApp> OpenApps() = 0;
};

// The executable's file name of a process ("" when unknown): what a binding may also match.
std::string ExecutableOfPid(int pid);

} // namespace nk7x
