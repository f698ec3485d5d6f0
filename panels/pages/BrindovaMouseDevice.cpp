#include "panels/pages/BrindovaMouseDevice.h"

#include "devices/keyboard/KeyAssignmentCodes.h"
#include "link/DeviceKind.h"
#include "panels/MpDevicePowerUI.h"
#include "panels/keys/KeySetRoutes.h"
#include "panels/light/LightControlUI.h"
#include "panels/profile/DeviceProfileUI.h"
#include "panels/shoot/ShootControlUI.h"
#include "platform/DebugLog.h"
#include "platform/Folders.h"
#include "profiles/ProfileList.h"
#include "ui/ControlFactory.h"
#include "ui/LanguageTexts.h"
#include "ui/UiWindow.h"
#include "ui/controls/DeviceKeyButtonUI.h"
#include "windows/MessageBox.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QStackedWidget>
#include <QStyle>

namespace nk7x {
namespace {

constexpr int kTabCount = 6;
// Where the LEDs sit on the picture (at scale 96): the wheel, the two side strips, the logo, the
// lower rim left and right.
constexpr std::array<QPoint, CBrindovaMouseDevice::kLedCount> kLedSpots{
    {{120, 62}, {26, 196}, {214, 196}, {120, 250}, {70, 318}, {170, 318}}};
constexpr int kLedSize = 18;

} // namespace

// The mouse object of the page: the page learns when a connection's work is done.
class CBrindovaMouseDevice::PageMouse final : public CMouseDevice {
  public:
    explicit PageMouse(CBrindovaMouseDevice& page) : CMouseDevice(kLedCount), m_page(page) {}
    ~PageMouse() override { StopKeyEventThread(); }

  protected:
    void ConnectFinished() override {
        ++m_page.m_connectsDone;
        emit m_page.connectDone();
    }

  private:
    CBrindovaMouseDevice& m_page;
};

CBrindovaMouseDevice::CBrindovaMouseDevice(QWidget* parent)
    : CPageWithView(std::make_unique<PageMouse>(*this), parent) {
    setObjectName(ClassName());
    m_mouse = static_cast<CMouseDevice*>(&Device());
    m_mouse->SetView(this);
    // The editors in the layout are built by the control factory.
    RegisterShootControl(ControlFactory::Instance());
    RegisterKeySetControl(ControlFactory::Instance());
    RegisterMacroSetControl(ControlFactory::Instance());
    UpdateScreenSize(); // the primary screen until the window shows on one
}

void CBrindovaMouseDevice::UpdateScreenSize() {
    const QScreen* s = screen();
    if (!s)
        return;
    // In pixels of the screen, as the mouse counts them, not in the toolkit's scaled units.
    const QSize size = s->geometry().size() * s->devicePixelRatio();
    if (m_mouse->SetScreenSize(size.width(), size.height()) && m_connectsDone > 0 && m_mouse->Link().IsOpen())
        m_mouse->QueueSettingsWrite(0, 0);
}

void CBrindovaMouseDevice::FollowScreen() {
    QWindow* w = window()->windowHandle();
    if (w && w != m_followedWindow) {
        m_followedWindow = w;
        connect(w, &QWindow::screenChanged, this, [this] { FollowScreen(); });
    }
    QScreen* s = screen();
    if (s && s != m_followedScreen) {
        if (m_followedScreen)
            disconnect(m_followedScreen, nullptr, this, nullptr);
        m_followedScreen = s;
        connect(s, &QScreen::geometryChanged, this, [this] { UpdateScreenSize(); });
    }
    UpdateScreenSize();
}

void CBrindovaMouseDevice::showEvent(QShowEvent* event) {
    CBrindovaUSBDevice::showEvent(event);
    FollowScreen();
}

CBrindovaMouseDevice::~CBrindovaMouseDevice() {
    m_mouse->SetView(nullptr);
    StopDevice();
}

void CBrindovaMouseDevice::Shutdown() {
    m_mouse->StopLightThread();
    CBrindovaUSBDevice::Shutdown();
}

void CBrindovaMouseDevice::OnDeviceRemoved() {
    m_mouse->StopLightThread();
}

PageParts CBrindovaMouseDevice::Parts() {
    PageParts parts;
    parts.keySet = m_keySetPanel;
    parts.macros = m_macroPanel;
    parts.mouse = &Mouse();
    parts.mousePage = this;
    parts.shoot = m_shootPanel;
    return parts;
}

void CBrindovaMouseDevice::LoadContent() {
    BuildPage();
}

void CBrindovaMouseDevice::BuildPicture() {
    QWidget* picture = UiWindow::FindSubControlByName(this, QStringLiteral("mouse_device_picture"));
    if (!picture)
        return;
    m_keyPanel = picture;
    for (int i = 0; i < kLedCount; ++i) {
        auto* led = new CDeviceKeyButtonUI(picture);
        led->setObjectName(QStringLiteral("light_0_%1").arg(i));
        led->setProperty("userdata", QStringLiteral("light_%1").arg(i));
        UiWindow::PlaceScaled(led, QRect(kLedSpots[static_cast<size_t>(i)].x() - kLedSize / 2,
                                         kLedSpots[static_cast<size_t>(i)].y() - kLedSize / 2, kLedSize,
                                         kLedSize));
        led->setToolTip(Text(QStringLiteral("mouse_led_text")).arg(i + 1));
        SetKeyButton(i, led);
    }
}

void CBrindovaMouseDevice::BuildPage() {
    ResetTables();
    BuildPicture();

    // The mouse's views have their own tabs on the page.
    SetUpProfilePanel(DeviceKind::Mouse, true);
    SetUpLightPanel(DeviceKind::Mouse);
    for (int s = 0; s < kMouseDpiStageCount; ++s) {
        m_stageChecks[static_cast<size_t>(s)] =
            findChild<QCheckBox*>(QStringLiteral("DPI_enable_check_%1").arg(s));
        m_stageSliders[static_cast<size_t>(s)] = findChild<QSlider*>(QStringLiteral("DPI_slider_%1").arg(s));
        m_stageEdits[static_cast<size_t>(s)] = findChild<QLineEdit*>(QStringLiteral("DPI_edit_%1").arg(s));
    }
    m_shootPanel = findChild<CShootControlUI*>();
    if (m_shootPanel) {
        m_shootPanel->SetLanguageTexts(Texts());
        m_shootPanel->SetPatternFolder(m_mouse->DataFolder());
        m_shootPanel->SetDefaultPatternFolder(DefaultDataFolder() + "/");
        if (m_shootPanel->InitControls()) {
            m_shootPanel->SelectGun(0);
            m_shootPanel->SelectBullet(0);
        }
    }
    m_keySetPanel = findChild<CKeySetControlUI*>();
    if (m_keySetPanel) {
        m_keySetPanel->Init();
        m_keySetPanel->SetDeviceType(KindNumber(DeviceKind::Mouse));
        m_keySetPanel->SetLanguageTexts(Texts());
        // Picking a key stores at once, as the editor's store button does.
        connect(m_keySetPanel, &CKeySetControlUI::keyPicked, this, [this] {
            if (m_keySetPanel)
                KeySetRoutes::StoreOn(*m_mouse, *m_keySetPanel);
        });
    }
    m_macroPanel = findChild<CMacroSetControlUI*>();
    if (m_macroPanel) {
        m_macroPanel->Init();
        m_macroPanel->SetLanguageTexts(Texts());
        m_macroPanel->SetDataFolder(m_mouse->DataFolder());
        m_macroPanel->LoadMacroList();
    }
    if (auto* list = findChild<QListWidget*>(QStringLiteral("device_setkeyinfo_list")))
        connect(list, &QListWidget::currentRowChanged, this, [this, list](int row) {
            if (row < 0)
                return;
            if (m_mouse->IsLastLeftButton(row)) {
                // The last left click stays where it is: the row is not taken.
                const QSignalBlocker quiet(list);
                list->setCurrentRow(m_mouse->SelectedKey());
                RunOnPage([this] {
                    ShowMessage(window(), QString(), QStringLiteral("message_text_6"), CMsgWnd::kDefaultDpi,
                                true, 0 /* the confirm button alone */);
                });
                return;
            }
            m_mouse->SelectKey(row);
        });
    WireControls();
    ShowSettingTab(0);
    // The light list of the mode names, and the profile's stages before the mouse is first seen.
    m_mouse->LoadProfile();
    m_mouse->RefreshPage();
}

void CBrindovaMouseDevice::WireControls() {
    for (int t = 0; t < kTabCount; ++t) {
        if (auto* tab = findChild<QAbstractButton*>(QStringLiteral("mouse_device_seting_option_%1").arg(t)))
            connect(tab, &QAbstractButton::clicked, this, [this, t] { ShowSettingTab(t); });
    }
    // The stages' checks, sliders and edits and the report-rate options reach the page through the
    // window's routes (MouseRoutes).
    for (QLineEdit* edit : m_stageEdits) {
        if (edit)
            edit->setValidator(new QIntValidator(0, 65535, edit));
    }
    for (const char* name : {"pointer_speed_slider", "double_click_slider", "scroll_speed_slider"}) {
        // Stored at each step of a drag, not again on release: the routed release would store twice.
        if (auto* slider = findChild<QSlider*>(QString::fromLatin1(name)))
            connect(slider, &QSlider::valueChanged, this, [this] {
                if (!m_filling)
                    StoreSystemSettings();
            });
    }
}

void CBrindovaMouseDevice::ShowSettingTab(int tab) {
    if (tab < 0 || tab >= kTabCount)
        tab = 0;
    if (auto* pages = findChild<QStackedWidget*>(QStringLiteral("mouse_option_layout")))
        pages->setCurrentIndex(std::min(tab, pages->count() - 1));
    if (auto* option =
            findChild<QAbstractButton*>(QStringLiteral("mouse_device_seting_option_%1").arg(tab))) {
        const QSignalBlocker quiet(option);
        option->setChecked(true);
    }
}

void CBrindovaMouseDevice::SetStageEnabled(int stage, bool on) {
    if (stage < 0 || stage >= kMouseDpiStageCount)
        return;
    m_filling = true;
    if (QCheckBox* check = m_stageChecks[static_cast<size_t>(stage)])
        check->setChecked(on);
    if (on) {
        for (auto& c : m_stageChecks) {
            if (c)
                c->setEnabled(true);
        }
    } else {
        // At least one stage always stays on: the last ticked one cannot be cleared.
        QCheckBox* last = nullptr;
        int ticked = 0;
        for (auto& c : m_stageChecks) {
            if (c && !c->parentWidget()->isHidden() && c->isChecked()) {
                ++ticked;
                last = c;
            }
        }
        if (ticked == 1 && last)
            last->setEnabled(false);
    }
    m_filling = false;
    m_mouse->SetStageEnabled(stage, on);
}

void CBrindovaMouseDevice::OnDpiTyped(int stage) {
    const auto i = static_cast<size_t>(stage);
    QLineEdit* edit = m_stageEdits[i];
    if (!edit)
        return;
    // The mouse turns the DPI into its steps; the controls show what it took.
    const int steps = m_mouse->SetStageDpi(stage, edit->text().trimmed().toInt());
    if (steps < 0)
        return;
    m_filling = true;
    if (QSlider* slider = m_stageSliders[i])
        slider->setValue(steps);
    edit->setText(QString::number(m_info.DpiForSteps(steps)));
    m_filling = false;
}

void CBrindovaMouseDevice::ShowStageDpi(int stage, int steps) {
    if (stage < 0 || stage >= kMouseDpiStageCount)
        return;
    if (QLineEdit* edit = m_stageEdits[static_cast<size_t>(stage)])
        edit->setText(QString::number(m_info.DpiForSteps(steps)));
}

void CBrindovaMouseDevice::StoreSystemSettings() {
    MouseSystemStages system = m_mouse->Profile().SystemStages();
    auto value = [this](const char* name) {
        auto* slider = findChild<QSlider*>(QString::fromLatin1(name));
        return static_cast<uint16_t>(slider ? slider->value() : 0);
    };
    auto ticked = [this](const char* name) {
        auto* check = findChild<QCheckBox*>(QString::fromLatin1(name));
        return static_cast<uint16_t>(check && check->isChecked() ? 1 : 0);
    };
    system.pointerSpeed = value("pointer_speed_slider");
    system.doubleClickTime = value("double_click_slider");
    system.wheelScrollLines = value("scroll_speed_slider");
    system.pointerPrecision = ticked("pointer_precision_check");
    system.scrollPage = ticked("scrolls_page_check");
    m_mouse->SetSystemStages(system);
}

void CBrindovaMouseDevice::DpiRangesChanged(const MouseDeviceInfo& info) {
    m_info = info;
    m_filling = true;
    for (size_t s = 0; s < m_stageSliders.size(); ++s) {
        if (QSlider* slider = m_stageSliders[s])
            slider->setRange(0, info.maxSteps);
        if (QLineEdit* edit = m_stageEdits[s])
            edit->setValidator(new QIntValidator(0, info.MaxDpi(), edit));
    }
    m_filling = false;
    ShowStages(m_mouse->SettingsControls());
}

void CBrindovaMouseDevice::ShowStages(const MouseSettingsControls& controls) {
    m_filling = true;
    for (int s = 0; s < kMouseDpiStageCount; ++s) {
        const auto i = static_cast<size_t>(s);
        const bool present = i < controls.stages.size();
        if (QWidget* row = findChild<QWidget*>(QStringLiteral("DPI_layout_%1").arg(s))) {
            row->setVisible(present);
            row->setProperty("dpiActive", present && s == controls.activeStage);
            row->style()->unpolish(row);
            row->style()->polish(row);
        }
        if (!present)
            continue;
        const DpiStage& stage = controls.stages[i];
        // Every stage the profile has shows as present and ticked; the check writes the flag.
        if (QCheckBox* check = m_stageChecks[i])
            check->setChecked(true);
        if (QSlider* slider = m_stageSliders[i])
            slider->setValue(stage.dpiX);
        if (QLineEdit* edit = m_stageEdits[i])
            edit->setText(QString::number(m_info.DpiForSteps(stage.dpiX)));
    }
    m_filling = false;
}

void CBrindovaMouseDevice::MouseSettingsChanged(const MouseSettingsControls& controls,
                                                const LightState& light) {
    ShowStages(controls);
    m_filling = true;
    if (auto* option =
            findChild<QRadioButton*>(QStringLiteral("polling_rate_option_%1").arg(controls.reportStage)))
        option->setChecked(true);
    auto setSlider = [this](const char* name, int value) {
        if (auto* slider = findChild<QSlider*>(QString::fromLatin1(name)))
            slider->setValue(value);
    };
    auto setCheck = [this](const char* name, bool on) {
        if (auto* check = findChild<QCheckBox*>(QString::fromLatin1(name)))
            check->setChecked(on);
    };
    setSlider("pointer_speed_slider", controls.system.pointerSpeed);
    setSlider("double_click_slider", controls.system.doubleClickTime);
    setSlider("scroll_speed_slider", controls.system.wheelScrollLines);
    setCheck("pointer_precision_check", controls.system.pointerPrecision != 0);
    setCheck("scrolls_page_check", controls.system.scrollPage != 0);
    m_filling = false;
    if (m_lightPanel)
        m_lightPanel->ShowLightSettings(light);
}

void CBrindovaMouseDevice::LightNamesChanged(const LightNameLists& names) {
    FillLightModes(names.modes);
}

void CBrindovaMouseDevice::MouseWriteFailed(MouseWrite what, LinkResult result) {
    auto* notice = findChild<QLabel*>(QStringLiteral("mouse_write_notice"));
    if (!notice)
        return;
    const char* key = "mouse_write_failed_settings";
    switch (what) {
    case MouseWrite::Settings:
        break;
    case MouseWrite::KeyAssignments:
        key = "mouse_write_failed_keys";
        break;
    case MouseWrite::Macros:
        key = "mouse_write_failed_macros";
        break;
    case MouseWrite::ShootPatterns:
        key = "mouse_write_failed_shoot";
        break;
    }
    notice->setText(Text(QString::fromLatin1(key)).arg(ResultCode(result)));
    notice->show();
}

void CBrindovaMouseDevice::ButtonAssignmentsChanged(const std::vector<KeyAssignment>& list) {
    auto* rows = findChild<QListWidget*>(QStringLiteral("device_setkeyinfo_list"));
    if (!rows)
        return;
    const QSignalBlocker quiet(rows);
    const int current = rows->currentRow();
    rows->clear();
    // One row per button: its name, then what it does now.
    for (size_t b = 0; b < list.size() && b < DefaultButtonCodeTable.size(); ++b) {
        const QString button = Text(QString::fromLatin1(DefaultButtonCodeTable[b].nameKey));
        const std::string does = AssignmentNameKey(list[b].assignment, m_macroNames);
        const QString function = does.empty() ? QStringLiteral("—") : Text(QString::fromStdString(does));
        rows->addItem(button + QStringLiteral("\n    ") + function);
    }
    if (current >= 0 && current < rows->count())
        rows->setCurrentRow(current);
}

void CBrindovaMouseDevice::ButtonSelected(int index, const KeyAssignment& entry) {
    if (!m_keySetPanel)
        return;
    const QString name =
        index >= 0 && static_cast<size_t>(index) < DefaultButtonCodeTable.size()
            ? Text(QString::fromLatin1(DefaultButtonCodeTable[static_cast<size_t>(index)].nameKey))
            : QString();
    m_keySetPanel->SetKeyTitle(name);
    m_keySetPanel->SetKey(entry);
}

void CBrindovaMouseDevice::MacroNamesChanged(const std::vector<std::string>& names) {
    m_macroNames = names;
    if (m_keySetPanel) {
        m_keySetPanel->SetLanguageTexts(Texts());
        m_keySetPanel->FillMacroNames(names);
        if (m_keySetPanel->HasKey())
            m_keySetPanel->ShowCurrent();
    }
    ButtonAssignmentsChanged(m_mouse->KeyList());
}

void CBrindovaMouseDevice::StatusChanged(const std::array<uint8_t, DeviceStatusRecord::kSize>& status) {
    ShowPowerStatus(status.data(), status.size());
}

} // namespace nk7x
