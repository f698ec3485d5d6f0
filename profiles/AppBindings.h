// Which profile a device kind takes when an application comes to the front: bindings of an
// application (its Wayland app id or X11 window class, or its executable's name) to a profile,
// and the profile to return to when no binding matches. One small JSON file per device kind,
// beside its profiles ("AppBindings.json"); a file that cannot be read is set aside and reported,
// never overwritten.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/WindowTracker.h"

namespace nk7x {

inline constexpr const char* kAppBindingsFileName = "AppBindings.json";

struct AppBinding {
    std::string app;     // compared ignoring case with the app id, the X11 instance and the executable
    std::string profile; // the profile's identity (its file name without ".Json")
    bool operator==(const AppBinding&) const = default;
};

class AppBindings {
  public:
    // Reads the file; a missing one is no bindings. An unreadable or malformed one is set aside
    // (SetAsideUnreadable) and read as no bindings: false then.
    bool Load(const std::string& path);
    // Writes the file atomically; false (the old file intact) on failure.
    bool Save(const std::string& path) const;

    const std::vector<AppBinding>& List() const& { return m_bindings; }
    // Of a temporary, by value: a loop over Bindings(...).List() must not outlive its list.
    std::vector<AppBinding> List() && { return std::move(m_bindings); }
    // Binds `app` (trimmed; not empty) to `profile`, replacing a binding of the same app; false for
    // an empty app or profile.
    bool Bind(const std::string& app, const std::string& profile);
    // False when `app` had no binding.
    bool Unbind(const std::string& app);
    // Whether `app` (trimmed, ignoring case) has a binding of its own.
    bool Has(const std::string& app) const;
    // Forgets the bindings of a profile that is gone.
    void DropProfile(const std::string& profile);

    // The profile returned to when no binding matches; empty: the one in use before a binding
    // switched.
    const std::string& DefaultProfile() const { return m_default; }
    void SetDefaultProfile(const std::string& profile) { m_default = profile; }

    // The profile bound to the application in front; nothing when no binding matches.
    std::optional<std::string> Match(const ActiveApp& app) const;

  private:
    std::vector<AppBinding> m_bindings;
    std::string m_default;
};

} // namespace nk7x
