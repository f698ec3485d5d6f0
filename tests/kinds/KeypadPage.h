// The test keypad's page: its keys in a grid, lit with the keypad's colours.
#pragma once

#include "kinds/KeypadDevice.h"
#include "panels/pages/PageWithView.h"

namespace nk7x::test {

class CKeypadPage : public CPageWithView<IDeviceView> {
    Q_OBJECT
  public:
    explicit CKeypadPage(QWidget* parent = nullptr);
    ~CKeypadPage() override;

    static QString ClassName() { return QStringLiteral("NumericKeypadPage"); }
    CKeypadDevice& Keypad() { return *m_keypad; }

    // Takes the keys of "keypad_keys" and shows the profile's colours on them.
    void LoadContent() override;

  private:
    CKeypadDevice* m_keypad = nullptr; // owned by the base as its device
};

} // namespace nk7x::test
