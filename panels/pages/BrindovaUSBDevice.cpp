#include "panels/pages/BrindovaUSBDevice.h"

#include "devices/PlainDevice.h"
#include "platform/DebugLog.h"

#include "panels/DeviceOptionUI.h"
#include "panels/MpDevicePowerUI.h"
#include "panels/light/LightControlUI.h"
#include "panels/profile/DeviceProfileUI.h"
#include "profiles/ProfileList.h"
#include "ui/LanguageTexts.h"
#include "ui/UiWindow.h"
#include "ui/controls/DeviceKeyButtonUI.h"
#include "ui/controls/SelectPanelUI.h"

#include <QLabel>
#include <QStackedWidget>
#include <QTabWidget>

#include <algorithm>
#include <cstdint>

namespace nk7x {
namespace {

constexpr quint32 kWhite = 0xFFFFFF;
constexpr int kFullBrightness = 255;

void ShowTab(QWidget* tabs, int index) {
    if (!tabs || index < 0)
        return;
    if (auto* stack = qobject_cast<QStackedWidget*>(tabs)) {
        if (index < stack->count())
            stack->setCurrentIndex(index);
    } else if (auto* tab = qobject_cast<QTabWidget*>(tabs)) {
        if (index < tab->count())
            tab->setCurrentIndex(index);
    }
}

} // namespace

PageNumberedName SplitPageName(const QString& text) {
    PageNumberedName out;
    const qsizetype at = text.lastIndexOf(QLatin1Char('_'));
    if (at < 0)
        return out;
    out.prefix = text.left(at + 1);
    qint64 value = 0;
    for (qsizetype i = at + 1; i < text.size() && text[i].isDigit(); ++i) {
        value = value * 10 + text[i].digitValue();
        if (value > INT32_MAX) {
            value = INT32_MAX;
            break;
        }
    }
    out.number = static_cast<int>(value);
    return out;
}

// The view of a page whose kind brings none of its own.
class CBrindovaUSBDevice::BaseView final : public IDeviceView {
  public:
    explicit BaseView(CBrindovaUSBDevice& page) : m_page(page) {}
    void ArmTimer(int timerId, int ms) override { m_page.ArmTimer(timerId, ms); }
    void SelectFunctionTabs(const FunctionTabs& tabs) override { m_page.SelectFunctionTabs(tabs); }
    void ShowKeyColour(int keyIndex, uint32_t packed, uint8_t brightness) override {
        m_page.ShowKeyColour(keyIndex, packed, brightness);
    }
    void RunOnOwner(std::function<void()> work) override { m_page.RunOnPage(std::move(work)); }

  private:
    CBrindovaUSBDevice& m_page;
};

CBrindovaUSBDevice::CBrindovaUSBDevice(QWidget* parent)
    : CBrindovaUSBDevice(std::make_unique<CPlainDevice>(), parent) {
    m_baseView = std::make_unique<BaseView>(*this);
    m_device->SetDeviceView(m_baseView.get());
}

CBrindovaUSBDevice::CBrindovaUSBDevice(std::unique_ptr<CDeviceBase> device, QWidget* parent)
    : QWidget(parent), m_device(std::move(device)) {
    setObjectName(ClassName());
    // Transfers run on the device's worker from here on; what they bring back comes to this thread.
    if (!m_device->StartWorker())
        DebugLog("device page: no worker thread; transfers run on the window's thread");
}

CBrindovaUSBDevice::~CBrindovaUSBDevice() {
    StopDevice();
}

void CBrindovaUSBDevice::Shutdown() {
    m_device->StopKeyEventThread();
    m_device->Link().ClosePath();
}

void CBrindovaUSBDevice::StopDevice() {
    // Nothing the worker brings back reaches the page from here on; what it still has queued is
    // written while the link is open, so a last change is not lost.
    m_device->SetDeviceView(nullptr);
    m_device->StopWorker();
    Shutdown();
}

void CBrindovaUSBDevice::RunOnPage(std::function<void()> work) {
    QMetaObject::invokeMethod(this, std::move(work), Qt::QueuedConnection);
}

CLightControlUI* CBrindovaUSBDevice::LightPanel() const {
    return m_lightPanel;
}

CDeviceProfileUI* CBrindovaUSBDevice::ProfilePanel() const {
    return m_profilePanel;
}

CDeviceOptionUI* CBrindovaUSBDevice::ListEntry() const {
    return m_entry;
}

CMpDevicePowerUI* CBrindovaUSBDevice::PowerIndicator() const {
    return m_power;
}

void CBrindovaUSBDevice::SetListEntry(CDeviceOptionUI* entry) {
    m_entry = entry;
}

void CBrindovaUSBDevice::SetPowerIndicator(CMpDevicePowerUI* indicator) {
    m_power = indicator;
    if (m_power)
        m_power->ShowPowerLayout(m_device->PowerMode() != 0);
}

void CBrindovaUSBDevice::SetPowerMode(int mode) {
    m_device->SetPowerMode(mode);
    if (m_power)
        m_power->ShowPowerLayout(mode != 0);
}

void CBrindovaUSBDevice::SetUpProfilePanel(DeviceKind kind, bool ownTabs) {
    constexpr int kFirstProfileTab = 1;
    m_profilePanel = qobject_cast<CDeviceProfileUI*>(
        UiWindow::FindSubControlByName(this, QStringLiteral("DeviceProfileItem")));
    if (!m_profilePanel)
        return;
    CDeviceBase& device = Device();
    m_profilePanel->SetDeviceType(KindNumber(kind));
    m_profilePanel->SetFolders(device.DataFolder(), device.DefaultProfilePath());
    // A list that could not be repaired on disk is still used for this run; the next save that
    // fails tells the user.
    if (m_profilePanel->LoadList() == ProfileResult::WriteFailed)
        DebugLogf("profiles: the %s profile list could not be written to %s", device.KindName().c_str(),
                  device.DataFolder().c_str());
    m_profilePanel->SelectTab(kFirstProfileTab);
    device.SetProfileName(m_profilePanel->GetSelectedUUID());
    if (ownTabs) {
        if (QWidget* tabs = m_profilePanel->findChild<QWidget*>(QStringLiteral("profile_tab_bar")))
            tabs->hide();
    }
}

void CBrindovaUSBDevice::SetUpLightPanel(DeviceKind kind) {
    m_lightPanel = qobject_cast<CLightControlUI*>(
        UiWindow::FindSubControlByName(this, QStringLiteral("LightControlItem")));
    if (!m_lightPanel)
        return;
    m_lightPanel->SetLayoutStyle(kind);
    m_lightPanel->SetLanguageTexts(Texts());
}

void CBrindovaUSBDevice::ResetTables() {
    m_buttons.assign(static_cast<size_t>(std::max(0, m_device->ButtonCount())), nullptr);
    m_keyButtons.assign(static_cast<size_t>(std::max(0, m_device->KeyCount())), nullptr);
}

void CBrindovaUSBDevice::SetButton(int n, CDeviceKeyButtonUI* button) {
    if (n >= 0 && static_cast<size_t>(n) < m_buttons.size())
        m_buttons[static_cast<size_t>(n)] = button;
}

void CBrindovaUSBDevice::SetKeyButton(int n, CDeviceKeyButtonUI* button) {
    if (n >= 0 && static_cast<size_t>(n) < m_keyButtons.size())
        m_keyButtons[static_cast<size_t>(n)] = button;
}

CDeviceKeyButtonUI* CBrindovaUSBDevice::Button(int n) const {
    if (n < 0 || static_cast<size_t>(n) >= m_buttons.size())
        return nullptr;
    return m_buttons[static_cast<size_t>(n)];
}

CDeviceKeyButtonUI* CBrindovaUSBDevice::KeyButton(int n) const {
    if (n < 0 || static_cast<size_t>(n) >= m_keyButtons.size())
        return nullptr;
    return m_keyButtons[static_cast<size_t>(n)];
}

void CBrindovaUSBDevice::LoadContent() {
    if (m_device->LayoutName().empty()) {
        m_device->SetButtonCount(0);
        m_device->SetKeyCount(0);
        m_buttons.clear();
        m_keyButtons.clear();
        return;
    }
    ResetTables();
    m_keyPanel = nullptr;
    for (QObject* child : children()) {
        if (auto* panel = qobject_cast<CSelectPanelUI*>(child)) {
            m_keyPanel = panel;
            break;
        }
    }
    if (!m_keyPanel)
        return;
    for (QObject* child : m_keyPanel->children()) {
        auto* button = qobject_cast<CDeviceKeyButtonUI*>(child);
        if (!button)
            continue;
        const PageNumberedName name = SplitPageName(button->objectName());
        if (name.prefix.compare(QLatin1String("key_"), Qt::CaseInsensitive) == 0 &&
            name.number < m_device->ButtonCount())
            SetButton(name.number, button);
        const PageNumberedName user = SplitPageName(button->property("userdata").toString());
        if (user.prefix.compare(QLatin1String("light_"), Qt::CaseInsensitive) == 0 &&
            user.number < m_device->KeyCount()) {
            SetKeyButton(user.number, button);
            button->SetLiveColor(kWhite, kFullBrightness, true);
        }
    }
}

void CBrindovaUSBDevice::ArmTimer(int timerId, int ms) {
    // The key-event thread asks; the entry's timers live on the UI thread. A page that is gone by
    // then drops the call with itself.
    QMetaObject::invokeMethod(
        this,
        [this, timerId, ms] {
            if (m_entry)
                m_entry->ArmTimer(timerId, ms);
        },
        Qt::QueuedConnection);
}

QWidget* CBrindovaUSBDevice::FindSwitch(QPointer<QWidget>& cache, const char* name) {
    if (!cache)
        cache = UiWindow::FindSubControlByName(this, QString::fromLatin1(name));
    return cache;
}

void CBrindovaUSBDevice::SelectFunctionTabs(const FunctionTabs& tabs) {
    QWidget* function = FindSwitch(m_functionSwitch, "device_function_switch");
    QWidget* keyFunction = FindSwitch(m_keyFunctionSwitch, "device_key_function_switch");
    if (!function || !keyFunction)
        return;
    ShowTab(function, tabs.functionTab);
    ShowTab(keyFunction, tabs.keyFunctionTab);
}

void CBrindovaUSBDevice::ShowKeyColour(int keyIndex, uint32_t packedColour, uint8_t brightness) {
    CDeviceKeyButtonUI* button = KeyButton(keyIndex);
    // The picture animates while the window is in front or under the pointer (the preview flag);
    // otherwise the colours are kept, and the list entry repaints the picture when it is watched.
    if (button && button->isVisible())
        button->SetLiveColor(packedColour, brightness, true, Device().IsPreview());
}

QString CBrindovaUSBDevice::Text(const QString& key) const {
    return m_texts ? m_texts->Text(key) : key;
}

void CBrindovaUSBDevice::CollectPictureButtons(const QString& container, const QString& ledTextKey) {
    QWidget* picture = UiWindow::FindSubControlByName(this, container);
    if (!picture)
        return;
    m_keyPanel = picture;
    for (QObject* child : picture->children()) {
        auto* button = qobject_cast<CDeviceKeyButtonUI*>(child);
        if (!button)
            continue;
        const PageNumberedName name = SplitPageName(button->objectName());
        if (name.prefix.compare(QLatin1String("key_"), Qt::CaseInsensitive) == 0)
            SetButton(name.number, button);
        const PageNumberedName user = SplitPageName(button->property("userdata").toString());
        if (user.prefix.compare(QLatin1String("light_"), Qt::CaseInsensitive) != 0 || user.number < 0 ||
            user.number >= m_device->KeyCount())
            continue;
        SetKeyButton(user.number, button);
        button->setToolTip(Text(ledTextKey).arg(user.number + 1));
    }
}

void CBrindovaUSBDevice::FillLightModes(const std::vector<LightModeName>& modes) {
    constexpr int kLightLevels = 4; // brightness and speed indices 0..4
    if (m_lightPanel)
        m_lightPanel->FillModes(modes, kLightLevels, kLightLevels);
}

void CBrindovaUSBDevice::ShowPowerStatus(const uint8_t* status, size_t size) {
    if (CMpDevicePowerUI* power = PowerIndicator())
        power->ShowStatus(status, size);
}

void CBrindovaUSBDevice::ShowResultNotice(const QString& name, const QString& textKey, LinkResult result) {
    auto* notice = findChild<QLabel*>(name);
    if (!notice)
        return;
    notice->setText(Text(textKey).arg(ResultCode(result)));
    notice->show();
}

} // namespace nk7x
