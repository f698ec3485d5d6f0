// CKeypadDevice: the test keypad's device object. Its profile is one colour that every key takes;
// the colours reach the keypad as the base's live-colour frames, and the connection reads the
// keypad's information record first.
#pragma once

#include "devices/DeviceBase.h"

#include <string>

namespace nk7x::test {

class CKeypadDevice : public CDeviceBase {
  public:
    KeyColour Colour() const { return m_colour; }
    // Sets every key's colour and keeps it in the profile.
    void SetColour(KeyColour colour);
    std::string ProfilePath() const;
    int ConnectsDone() const { return m_connectsDone; }

    void OnConnect() override;
    void ApplyProfile() override;
    void LoadProfile() override;
    void SaveProfile() override;
    void RefreshPage() override { ShowLiveColours(); }
    // The keypad reports no changes made on it, keeps no status and names no light modes.
    void OnSyncRequest() override {}
    void StatusPoll() override {}
    void RefreshNameLists() override {}

  protected:
    void ConnectFinished() override { ++m_connectsDone; }

  private:
    KeyColour m_colour{0x20, 0x80, 0xF0, 0xFF};
    int m_connectsDone = 0;
};

} // namespace nk7x::test
