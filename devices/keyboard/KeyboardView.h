// IKeyboardView: what the keyboard's device operations hand to its toolkit page (captions, settings
// controls, name lists, the custom group, failed writes); the page implements it.
#pragma once

#include <string>
#include <vector>

#include "devices/DeviceBase.h"
#include "profiles/LightNames.h"
#include "profiles/ProfileRecords.h"

namespace nk7x {

// The caption of one key button: the language key of the name of its assignment (empty when the
// assignment has no name) and whether that is the name of the key's own factory code. The page
// shows the translated name as tooltip title and "Key_Set" followed by it as tooltip text.
struct KeyCaption {
    int keyIndex = 0;
    KeyCode assignment;
    std::string nameKey;
    bool factoryName = false;
    bool operator==(const KeyCaption&) const = default;
};

// The keyboard-only settings controls, as the profile's system settings show them.
struct KeyboardSettingsControls {
    int pollingOption = 0;     // "polling_rate_option_" + 0..3
    bool winLock = false;      // "winlockflag_option"
    bool wFlag = false;        // "wflag_option"
    bool key6Flag = false;     // "6flag_option"
    int repeatRate = 0;        // "repeat_rate_slider"
    int repeatDelayOption = 0; // "repeat_delay_check_" + 0..3
    int repeatDelayMs = 250;   // "repeat_delay_time_label1": "Repeat_Delay_Time" + this + "ms"
    bool operator==(const KeyboardSettingsControls&) const = default;
};

enum class KeyboardWrite { Settings, KeyAssignments, Macros, CustomColours };

class IKeyboardView : public IDeviceView {
  public:
    // Every key button's caption, after a page refresh or after macro keys were reset.
    virtual void KeyCaptionsChanged(const std::vector<KeyCaption>& captions) = 0;
    // Fill the settings controls and the lighting panel without raising notifications.
    virtual void SettingsChanged(const KeyboardSettingsControls& controls, const LightState& light) = 0;
    // The key assignment panel's macro names and the lighting panel's light names.
    virtual void NameListsChanged(const std::vector<std::string>& macroNames,
                                  const LightNameLists& lightNames) = 0;
    // Select a custom colour group in the lighting panel.
    virtual void CustomGroupSelected(int group) = 0;
    // Enable the key assignment panel for a key and show its entry.
    virtual void KeyAssignmentSelected(int keyIndex, const KeyAssignment& entry) = 0;
    // Key button 110 (FN): enabled or disabled by the function mode.
    virtual void FnKeyEnabled(bool enabled) = 0;
    // A transfer to the keyboard failed with `result` (a link result code).
    virtual void WriteFailed(KeyboardWrite what, LinkResult result) = 0;
    // The profile could not be written (disk full, folder not writable); the file keeps what it
    // had. Said once until a save succeeds again, so a slider dragged on a full disk asks once.
    virtual void ProfileSaveFailed() {}
    // The lighting mode changed to `mode` (after an edit or a settings read).
    virtual void LightModeChanged(int mode) { (void)mode; }
};

} // namespace nk7x
