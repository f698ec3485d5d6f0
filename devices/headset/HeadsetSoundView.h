// IHeadsetSoundView: how the headset's sound settings are shown on its two panels. Every call only
// shows a value; none of them raises a notification back to the page.
#pragma once

#include <string>

namespace nk7x {

class IHeadsetSoundView {
  public:
    virtual ~IHeadsetSoundView() = default;

    virtual void ShowMagicEnabled(bool on) = 0;
    virtual void ShowMagicType(int choice) = 0;
    virtual void ShowMicOn(bool on) = 0;
    virtual void SetMicSlider(int value) = 0;
    virtual void ShowMonitorOn(bool on) = 0;
    virtual void SetMonitorSlider(int value) = 0;
    virtual void ShowEqType(int eqType) = 0;
    virtual void SetCustomEqMode(bool on) = 0;
    virtual void SetBandValue(int band, int value) = 0;
    virtual void ClearCustomEqNames() = 0;
    virtual void AddCustomEqName(const std::string& name) = 0;
    virtual void RemoveCustomEqItem(int index) = 0;
    virtual void RenameCustomEqItem(int index, const std::string& name) = 0;
    // -1 selects nothing; also empties the name field.
    virtual void SelectCustomEqItem(int index) = 0;
};

} // namespace nk7x
