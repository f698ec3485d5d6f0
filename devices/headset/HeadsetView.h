// IHeadsetView: what the headset's device operations hand to its page besides the pad's: the
// moments the sound settings must be read from the headset, applied to it or shown.
#pragma once

#include "devices/mousepad/MousePadView.h"

namespace nk7x {

class IHeadsetView : public IMousePadView {
  public:
    // The profile was loaded at connection: the headset's own sound state goes into it.
    virtual void SoundConnected() = 0;
    // Another profile was loaded or the defaults restored: its sound settings go to the headset.
    virtual void SoundProfileLoaded() = 0;
    // Fill the sound panels from the profile without raising notifications.
    virtual void SoundRefresh() = 0;
};

} // namespace nk7x
