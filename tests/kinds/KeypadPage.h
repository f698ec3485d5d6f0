// The test keypad's page: its keys in a grid, lit with the keypad's colours.
#pragma once

#include "kinds/KeypadDevice.h"
#include "panels/pages/BrindovaUSBDevice.h"

namespace nk7x::test {

class CKeypadPage : public CBrindovaUSBDevice, public IDeviceView {
    Q_OBJECT
  public:
    explicit CKeypadPage(QWidget* parent = nullptr);
    ~CKeypadPage() override;

    static QString ClassName() { return QStringLiteral("NumericKeypadPage"); }
    CKeypadDevice& Keypad() { return *m_keypad; }

    // Takes the keys of "keypad_keys" and shows the profile's colours on them.
    void LoadContent() override;

    // IDeviceView
    void ArmTimer(int timerId, int ms) override { CBrindovaUSBDevice::ArmTimer(timerId, ms); }
    void RunOnOwner(std::function<void()> work) override { RunOnPage(std::move(work)); }
    void SelectFunctionTabs(const FunctionTabs& tabs) override {
        CBrindovaUSBDevice::SelectFunctionTabs(tabs);
    }
    void ShowKeyColour(int keyIndex, uint32_t packedColour, uint8_t brightness) override {
        CBrindovaUSBDevice::ShowKeyColour(keyIndex, packedColour, brightness);
    }

  private:
    CKeypadDevice* m_keypad = nullptr; // owned by the base as its device
};

} // namespace nk7x::test
