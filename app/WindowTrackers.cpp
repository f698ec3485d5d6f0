#include "app/WindowTrackers.h"

#include "platform/linux/WlrWindowTracker.h"
#include "platform/linux/X11WindowTracker.h"
#include "platform/qt/BusWindowTracker.h"

#include <QDir>

#include <algorithm>
#include <cstdlib>

namespace nk7x {
namespace {

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

bool DesktopIs(const std::string& desktops, const char* name) {
    // XDG_CURRENT_DESKTOP is a colon-separated list ("ubuntu:GNOME").
    size_t start = 0;
    while (start <= desktops.size()) {
        const size_t end = std::min(desktops.find(':', start), desktops.size());
        std::string part = desktops.substr(start, end - start);
        std::transform(part.begin(), part.end(), part.begin(),
                       [](unsigned char c) { return std::toupper(c); });
        if (part == name)
            return true;
        start = end + 1;
    }
    return false;
}

} // namespace

SessionFacts SessionFacts::FromEnvironment() {
    return {Env("WAYLAND_DISPLAY"), Env("DISPLAY"), Env("XDG_SESSION_TYPE"), Env("XDG_CURRENT_DESKTOP")};
}

TrackerKind TrackerKindFor(const SessionFacts& f) {
    const bool wayland = !f.waylandDisplay.empty() || f.sessionType == "wayland";
    if (DesktopIs(f.desktop, "KDE") && wayland)
        return TrackerKind::KWin;
    if (DesktopIs(f.desktop, "GNOME") && wayland)
        return TrackerKind::Gnome;
    if (wayland)
        return TrackerKind::Wlroots;
    if (!f.x11Display.empty())
        return TrackerKind::X11;
    return TrackerKind::None;
}

std::unique_ptr<IWindowTracker> MakeWindowTracker(TrackerKind kind, const QString& dataFolder) {
    switch (kind) {
    case TrackerKind::X11:
        return std::make_unique<X11WindowTracker>();
    case TrackerKind::Wlroots:
        return std::make_unique<WlrWindowTracker>();
    case TrackerKind::KWin:
        return std::make_unique<BusWindowTracker>(
            TrackerKind::KWin,
            QDir(dataFolder).filePath(QStringLiteral("kwin/nk7x-focus/contents/code/main.js")));
    case TrackerKind::Gnome:
        return std::make_unique<BusWindowTracker>(TrackerKind::Gnome, QStringLiteral("nk7x-focus@norlakeys"));
    case TrackerKind::None:
        break;
    }
    return nullptr;
}

std::string NoTrackerReason(const SessionFacts& f) {
    (void)f;
    return "this session has neither a Wayland nor an X11 display";
}

} // namespace nk7x
