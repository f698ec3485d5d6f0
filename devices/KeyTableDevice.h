// What a device whose keys or buttons take assignments can do: its key table, the macros the table
// may point to, and writing both to the device. The keyboard and the mouse have it; a page's
// device offers it through CDeviceBase::KeyTable().
#pragma once

#include <functional>
#include <vector>

#include "devices/MacroDownload.h"
#include "link/DeviceCommandLink.h"
#include "profiles/ProfileRecords.h"

namespace nk7x {

class IKeyTableDevice {
  public:
    virtual ~IKeyTableDevice() = default;

    // The profile's assignments, one per key or button.
    virtual const std::vector<KeyAssignment>& KeyList() const = 0;
    // Key `index` does `assignment` from now on (profile object only: not saved, nothing sent).
    // False, and nothing changes, for an index outside the list or an assignment the kind refuses.
    virtual bool SetKeyAssignment(int index, const KeyCode& assignment) = 0;
    // The device's key table with the located keys set from `list`; 1 when every command succeeded.
    virtual LinkResult WriteKeyAssignments(int index, const std::vector<KeyAssignment>& list) = 0;
    virtual LinkResult WriteProfileKeyAssignments(int index) = 0;
    // The page's form: through the worker, failures reported to the view.
    virtual void QueueProfileKeyAssignmentsWrite(int index) = 0;
    // The macros of the kind folder into the device (see MacroDownload); the queued form hands the
    // answer to `done` on the page's thread.
    virtual MacroDownload DownloadMacros() = 0;
    virtual void QueueMacroDownload(std::function<void(MacroDownload)> done) = 0;
    // Keys that point past the macros there are now go back to their defaults.
    virtual void PurgeMacroKeys() = 0;
};

} // namespace nk7x
