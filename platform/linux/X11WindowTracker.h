// The X11 backend of the window tracking (also for the X11 windows of an Xwayland-only session):
// the window manager's _NET_ACTIVE_WINDOW on the root window, followed through property events,
// and the active window's WM_CLASS, title and process.
#pragma once

#include "platform/WindowTracker.h"

#include <memory>

namespace nk7x {

class X11WindowTracker : public IWindowTracker {
  public:
    X11WindowTracker();
    ~X11WindowTracker() override;

    TrackerKind Kind() const override { return TrackerKind::X11; }
    std::string Name() const override { return "X11"; }
    bool Start(Listener listener, std::string* why) override;
    void Stop() override;
    std::vector<ActiveApp> OpenApps() override;

  private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace nk7x
