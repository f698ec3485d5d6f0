#include "panels/pages/BrindovaMousePadDevice.h"

#include "devices/DeviceKind.h"
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

constexpr int kLightLevels = 4;
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
    : CBrindovaUSBDevice(std::make_unique<PagePad>(*this), parent) {
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

QString CBrindovaMousePadDevice::Text(const QString& key) const {
    return Texts() ? Texts()->Text(key) : key;
}

void CBrindovaMousePadDevice::LoadContent() {
    BuildPage();
}

void CBrindovaMousePadDevice::CollectLedButtons() {
    QWidget* container = UiWindow::FindSubControlByName(this, QString::fromLatin1(kLedContainer));
    if (!container)
        return;
    m_keyPanel = container;
    for (QObject* child : container->children()) {
        auto* button = qobject_cast<CDeviceKeyButtonUI*>(child);
        if (!button)
            continue;
        const PageNumberedName name = SplitPageName(button->objectName());
        if (name.prefix.compare(QLatin1String("key_"), Qt::CaseInsensitive) == 0)
            SetButton(name.number, button); // the pad has none; a layout that gives some keeps them
        const PageNumberedName user = SplitPageName(button->property("userdata").toString());
        if (user.prefix.compare(QLatin1String("light_"), Qt::CaseInsensitive) != 0 || user.number < 0 ||
            user.number >= m_pad->KeyCount())
            continue;
        SetKeyButton(user.number, button);
        button->setToolTip(Text(QStringLiteral("mousepad_led_text")).arg(user.number + 1));
    }
}

void CBrindovaMousePadDevice::BuildPage() {
    ResetTables();
    CollectLedButtons();

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
    if (m_lightPanel)
        m_lightPanel->FillModes(names.modes, kLightLevels, kLightLevels);
}

void CBrindovaMousePadDevice::PadWriteFailed(LinkResult result) {
    auto* notice = findChild<QLabel*>(QStringLiteral("mousepad_write_notice"));
    if (!notice)
        return;
    notice->setText(Text(QStringLiteral("mousepad_write_failed_settings")).arg(ResultCode(result)));
    notice->show();
}

void CBrindovaMousePadDevice::StatusChanged(const DeviceStatusBytes& status) {
    if (CMpDevicePowerUI* power = PowerIndicator())
        power->ShowStatus(status.data(), status.size());
}

} // namespace nk7x
