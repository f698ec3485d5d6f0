// The window-tracking backend for this session, chosen at run time: KWin's scripting on KDE
// Plasma, the shipped Shell extension on GNOME, the foreign-toplevel protocol on other Wayland
// compositors, X11's active-window property in an X11 session.
#pragma once

#include "platform/WindowTracker.h"

#include <QString>

#include <memory>
#include <string>

namespace nk7x {

struct SessionFacts {
    std::string waylandDisplay; // WAYLAND_DISPLAY
    std::string x11Display;     // DISPLAY
    std::string sessionType;    // XDG_SESSION_TYPE
    std::string desktop;        // XDG_CURRENT_DESKTOP
    static SessionFacts FromEnvironment();
};

// Which backend the session calls for.
TrackerKind TrackerKindFor(const SessionFacts& facts);

// The backend for `kind` (null for None); `dataFolder` holds the program's KWin script.
std::unique_ptr<IWindowTracker> MakeWindowTracker(TrackerKind kind, const QString& dataFolder);

// Why a session offers no backend, in words a user can act on.
std::string NoTrackerReason(const SessionFacts& facts);

} // namespace nk7x
