#include "kinds/KeypadPage.h"

#include "ui/ControlFactory.h"
#include "ui/controls/DeviceKeyButtonUI.h"

namespace nk7x::test {

CKeypadPage::CKeypadPage(QWidget* parent) : CPageWithView(std::make_unique<CKeypadDevice>(), parent) {
    setObjectName(ClassName());
    m_keypad = static_cast<CKeypadDevice*>(&Device());
    m_keypad->SetDeviceView(this);
    ControlFactory& factory = ControlFactory::Instance();
    if (!factory.Knows(CDeviceKeyButtonUI::ClassName()))
        factory.Register(CDeviceKeyButtonUI::ClassName(),
                         [](QWidget* owner) { return new CDeviceKeyButtonUI(owner); });
}

CKeypadPage::~CKeypadPage() {
    StopDevice();
}

void CKeypadPage::LoadContent() {
    ResetTables();
    CollectPictureButtons(QStringLiteral("keypad_keys"), QStringLiteral("mousepad_led_text"));
    m_keypad->LoadProfile();
    m_keypad->ApplyProfile();
    m_keypad->RefreshPage();
}

} // namespace nk7x::test
