#include "panels/pages/BrindovaMousePadDevice.h"

#include "link/DeviceKind.h"
#include "panels/MpDevicePowerUI.h"
#include "panels/light/LightControlUI.h"
#include "panels/profile/DeviceProfileUI.h"
#include "platform/DebugLog.h"
#include "profiles/ProfileList.h"
#include "ui/ControlFactory.h"
#include "ui/LanguageTexts.h"
#include "ui/UiWindow.h"
#include "ui/controls/DeviceKeyButtonUI.h"

#include <QLabel>

namespace nk7x {
namespace {

constexpr const char* kLedContainer = "mousepad_device_key_light";

} // namespace

// The pad object of the page: the page learns when a connection's work is done.
class CBrindovaMousePadDevice::PagePad final : public CMousePadDevice {
  public:
    explicit PagePad(CBrindovaMousePadDevice& page) : CMousePadDevice(kLedCount), m_page(page) {}
    ~PagePad() override { StopKeyEventThread(); }

  protected:
    void ConnectFinished() override {
        ++m_page.m_connectsDone;
        emit m_page.connectDone();
    }

  private:
    CBrindovaMousePadDevice& m_page;
};

CBrindovaMousePadDevice::CBrindovaMousePadDevice(QWidget* parent)
    : CPageWithView(std::make_unique<PagePad>(*this), parent) {
    setObjectName(ClassName());
    m_pad = static_cast<CMousePadDevice*>(&Device());
    m_pad->SetView(this);
    // The LEDs of the layout are key buttons, built right after the page itself: the page does not
    // rely on the start-up having registered the class (a skin's own stays).
    ControlFactory& factory = ControlFactory::Instance();
    if (!factory.Knows(CDeviceKeyButtonUI::ClassName()))
        factory.Register(CDeviceKeyButtonUI::ClassName(),
                         [](QWidget* owner) { return new CDeviceKeyButtonUI(owner); });
}

CBrindovaMousePadDevice::~CBrindovaMousePadDevice() {
    m_pad->SetView(nullptr);
    StopDevice();
}

void CBrindovaMousePadDevice::Shutdown() {
    m_pad->StopLightThread();
    CBrindovaUSBDevice::Shutdown();
}

void CBrindovaMousePadDevice::OnDeviceRemoved() {
    m_pad->StopLightThread();
}

void CBrindovaMousePadDevice::LoadContent() {
    BuildPage();
}

void CBrindovaMousePadDevice::BuildPage() {
    ResetTables();
    CollectPictureButtons(QString::fromLatin1(kLedContainer), QStringLiteral("mousepad_led_text"));

    // The pad has lighting only: the panel's view tabs have nothing to switch.
    SetUpProfilePanel(DeviceKind::MousePad, true);
    SetUpLightPanel(DeviceKind::MousePad);
    // The mode names, and the profile's lighting before the pad is first seen.
    m_pad->LoadProfile();
    m_pad->RefreshPage();
}

void CBrindovaMousePadDevice::PadLightChanged(const LightState& light) {
    if (m_lightPanel)
        m_lightPanel->ShowLightSettings(light);
}

void CBrindovaMousePadDevice::LightNamesChanged(const LightNameLists& names) {
    FillLightModes(names.modes);
}

void CBrindovaMousePadDevice::PadWriteFailed(LinkResult result) {
    ShowResultNotice(QStringLiteral("mousepad_write_notice"),
                     QStringLiteral("mousepad_write_failed_settings"), result);
}

void CBrindovaMousePadDevice::StatusChanged(const DeviceStatusBytes& status) {
    ShowPowerStatus(status.data(), status.size());
}

} // namespace nk7x
