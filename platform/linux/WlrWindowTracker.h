// The backend of the window tracking for wlroots-based Wayland compositors (sway, and others that
// offer the same protocol): the compositor's foreign-toplevel manager announces every toplevel with
// its app id, title and states; the one whose states hold "activated" is in front. Wayland does not
// say which process owns a window, so pid and executable stay empty.
#pragma once

#include "platform/WindowTracker.h"

#include <memory>

namespace nk7x {

class WlrWindowTracker : public IWindowTracker {
  public:
    WlrWindowTracker();
    ~WlrWindowTracker() override;
    WlrWindowTracker(const WlrWindowTracker&) = delete;
    WlrWindowTracker& operator=(const WlrWindowTracker&) = delete;

    TrackerKind Kind() const override { return TrackerKind::Wlroots; }
    std::string Name() const override { return "wlroots"; }
    // Connects to the display WAYLAND_DISPLAY names (or the default one).
    bool Start(Listener listener, std::string* why) override;
    // May also be called from the listener: then no call follows, and the connection is closed by
    // the next Start or Stop from another thread, or by the destructor.
    void Stop() override;
    std::vector<ActiveApp> OpenApps() override;

  private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace nk7x
