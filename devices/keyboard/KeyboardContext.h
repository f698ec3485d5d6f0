// CKeyboardContext: what the keyboard's components reach in common: the device (its command link,
// worker and information record), the profile object with its save, and the page's view, which
// hears of failed writes and saves.
#pragma once

#include <functional>
#include <utility>

#include "devices/DeviceBase.h"
#include "devices/keyboard/KeyboardView.h"
#include "profiles/KeyboardProfileData.h"

namespace nk7x {

class CKeyboardContext {
  public:
    // `takeInfo` stores a device information record a transfer brought back (on the page's thread).
    CKeyboardContext(CDeviceBase& device, std::function<void(const DeviceInfoRecord&)> takeInfo)
        : m_device(device), m_takeInfo(std::move(takeInfo)) {}
    CKeyboardContext(const CKeyboardContext&) = delete;
    CKeyboardContext& operator=(const CKeyboardContext&) = delete;

    CDeviceBase& Device() { return m_device; }
    const CDeviceBase& Device() const { return m_device; }
    CDeviceCommandLink& Link() { return m_device.Link(); }
    void TakeDeviceInfo(const DeviceInfoRecord& info) { m_takeInfo(info); }
    CKeyboardProfiledata& Profile() { return m_profile; }
    const CKeyboardProfiledata& Profile() const { return m_profile; }

    // The page's view; null without a page (tests, the command-line tool).
    IKeyboardView* View() const { return m_view; }
    void SetView(IKeyboardView* view) { m_view = view; }
    // A transfer that did not succeed is told to the view.
    void ReportFailure(KeyboardWrite what, LinkResult result) const;
    // Saves the profile; a failure is told to the view once per run of failures.
    bool StoreProfile();

  private:
    CDeviceBase& m_device;
    std::function<void(const DeviceInfoRecord&)> m_takeInfo;
    CKeyboardProfiledata m_profile;
    IKeyboardView* m_view = nullptr;
    bool m_saveFailureTold = false;
};

} // namespace nk7x
