// What the headset page does when the user acts on its sound panels: the main window's routes call
// these on the headset page shown, which reads the panels' values, reaches the audio chip and keeps
// the profile.
#pragma once

namespace nk7x {

class IHeadsetSoundActions {
  public:
    virtual ~IHeadsetSoundActions() = default;

    // The voice-effect switch changed; the page takes the state from its panel.
    virtual void SetMagicEnabled() = 0;
    // Voice effect choice 1..4 (0 and others are ignored).
    virtual void SelectMagicVoice(int choice) = 0;
    virtual void ToggleMicMute() = 0;
    virtual void ToggleMonitorMute() = 0;
    // Equaliser type 1..12 (a preset) or 13 (the custom curve); others are ignored.
    virtual void SelectEqPreset(int eqType) = 0;
    // The sliders moved; the page takes the values from its panel.
    virtual void SetMicVolume() = 0;
    virtual void SetMonitorVolume() = 0;
    // Band slider 0..9 moved.
    virtual void SetEqBand(int band) = 0;
    // The custom curve list's selection changed.
    virtual void SelectCustomEq() = 0;
    // 1 saved, 0 the name is taken, -1 nothing to save (no curve selected, or the list is full).
    virtual int SaveCustomEq() = 0;
    // Gives the selected custom curve the name typed in the name field: 1 renamed, 0 the name is
    // taken, -1 nothing to rename (no curve selected, or the field is empty).
    virtual int RenameCustomEq() = 0;
    virtual void DeleteCustomEq() = 0;
};

} // namespace nk7x
