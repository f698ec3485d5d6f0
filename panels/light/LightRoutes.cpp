#include "panels/light/LightRoutes.h"

#include "devices/DeviceBase.h"
#include "devices/keyboard/KeyboardDevice.h"
#include "panels/light/LightControlUI.h"

#include <QWidget>

namespace nk7x {
namespace {

// A device's family for the common effects; a keyboard object without an identity yet is a
// keyboard, and any other device without one numbers its modes as every non-keyboard does.
DeviceFamily FamilyOfDevice(CDeviceBase& device) {
    if (const std::optional<DeviceKind> kind = device.Kind())
        return FamilyOf(*kind);
    return dynamic_cast<CKeyboardDevice*>(&device) ? DeviceFamily::Keyboard : DeviceFamily::Mouse;
}

uint32_t ColourOf(const LightState& s) {
    return 0xFF000000u | uint32_t{s.red} << 16 | uint32_t{s.green} << 8 | s.blue;
}

class UpdateGuard {
  public:
    explicit UpdateGuard(bool& flag) : m_flag(flag), m_was(flag) { m_flag = true; }
    ~UpdateGuard() { m_flag = m_was; }
    UpdateGuard(const UpdateGuard&) = delete;
    UpdateGuard& operator=(const UpdateGuard&) = delete;

  private:
    bool& m_flag;
    bool m_was;
};

} // namespace

LightRoutes::LightRoutes(LightRoutesContext context) : m_ctx(std::move(context)) {}

CDeviceBase* LightRoutes::Device() const {
    return m_ctx.currentDevice ? m_ctx.currentDevice() : nullptr;
}

CLightControlUI* LightRoutes::Panel() const {
    return m_ctx.currentLightPanel ? m_ctx.currentLightPanel() : nullptr;
}

bool LightRoutes::FromShownPanel(const UiNotify& msg) const {
    if (m_updating)
        return false;
    CLightControlUI* panel = Panel();
    if (!panel || !msg.sender)
        return true;
    return msg.sender == panel || panel->isAncestorOf(msg.sender);
}

void LightRoutes::Install(NotifyRouter& router) {
    using M = NotifyRouter::Match;
    auto row = [&](const char* type, M match, const char* name, auto handler) {
        router.Add(QString::fromLatin1(type), match, QString::fromLatin1(name),
                   [this, handler](const UiNotify& msg, int number) {
                       if (FromShownPanel(msg))
                           handler(msg, number);
                   });
    };
    row("itemselect", M::Name, "light_combo_modeSelect",
        [this](const UiNotify& m, int) { OnModeSelect(static_cast<int>(m.wParam)); });
    row("valuechanged", M::Name, "deng_light_slider",
        [this](const UiNotify& m, int) { OnBrightness(static_cast<int>(m.wParam)); });
    row("valuechanged", M::Name, "deng_speed_slider",
        [this](const UiNotify& m, int) { OnSpeed(static_cast<int>(m.wParam)); });
    row("selectchanged", M::Name, "deng_7color_check",
        [this](const UiNotify& m, int) { OnMultiColor(m.wParam != 0); });
    // An option raises its change both when it is selected and when its partner takes over:
    // only the selection is an edit.
    row("selectchanged", M::Name, "deng_FXL_check", [this](const UiNotify& m, int) {
        if (m.wParam != 0)
            OnDirection(true);
    });
    row("selectchanged", M::Name, "deng_FXR_check", [this](const UiNotify& m, int) {
        if (m.wParam != 0)
            OnDirection(false);
    });
    row("colorchanged", M::Name, "deng_Color_Pallet",
        [this](const UiNotify& m, int) { OnPaletteColor(static_cast<uint32_t>(m.wParam)); });
    row("killfocus", M::Name, "deng_edit_R", [this](const UiNotify&, int) { OnEditLeft(0); });
    row("killfocus", M::Name, "deng_edit_G", [this](const UiNotify&, int) { OnEditLeft(1); });
    row("killfocus", M::Name, "deng_edit_B", [this](const UiNotify&, int) { OnEditLeft(2); });
    row("click", M::Prefix, "color_option_", [this](const UiNotify&, int n) { OnPreset(n); });
    row("itemselect", M::Name, "light_combo_ZZCCmodeSelect",
        [this](const UiNotify& m, int) { OnSecondaryMode(static_cast<int>(m.wParam)); });
    row("itemselect", M::Name, "light_combo_custommodeSelect",
        [this](const UiNotify& m, int) { OnCustomGroup(static_cast<int>(m.wParam)); });
    row("click", M::Name, "custom_bright_color_btn", [this](const UiNotify&, int) { OnFillCustom(true); });
    row("click", M::Name, "custom_off_color_btn", [this](const UiNotify&, int) { OnFillCustom(false); });
    row("click", M::Name, "deng_same_mode", [this](const UiNotify&, int) { OnSameMode(); });
}

void LightRoutes::Store(CDeviceBase& device, const LightState& state) {
    device.ReleaseDirectColours(); // a lighting edit takes the lighting back from another program
    device.SetLightSettings(state);
    device.SaveProfile();
    device.ApplyProfile();
    if (ISettingsRecordDevice* record = device.SettingsRecord())
        record->QueueSettingsWrite(0, 0);
}

void LightRoutes::StoreFromOutside(CDeviceBase& device, CLightControlUI* panel, const LightState& state) {
    device.Link().SetBackgroundPause(false);
    Store(device, state);
    if (panel)
        panel->ShowLightSettings(device.GetLightSettings());
}

CDeviceBase* LightRoutes::Apply(bool leaveSync, const std::function<void(LightState&)>& change) {
    CDeviceBase* device = Device();
    if (!device)
        return nullptr;
    if (leaveSync)
        device->Link().SetBackgroundPause(false);
    LightState state = device->GetLightSettings();
    change(state);
    Store(*device, state);
    return device;
}

void LightRoutes::ShowColour(CLightControlUI* panel, const LightState& state, bool edits) {
    if (!panel)
        return;
    UpdateGuard guard(m_updating);
    if (edits) {
        panel->SetRedText(QString::number(state.red));
        panel->SetGreenText(QString::number(state.green));
        panel->SetBlueText(QString::number(state.blue));
    }
    panel->SetMultiColor(false);
    panel->SetPaletteColor(ColourOf(state));
}

void LightRoutes::OnModeSelect(int mode) {
    if (!Device() || mode < 0 || mode > 0xFF)
        return;
    if (CLightControlUI* panel = Panel()) {
        UpdateGuard guard(m_updating);
        panel->SelectMode(mode);
    }
    Apply(true, [mode](LightState& s) { s.mode = static_cast<uint8_t>(mode); });
}

void LightRoutes::OnBrightness(int value) {
    if (value < 0 || value > 0xFF)
        return;
    Apply(true, [value](LightState& s) { s.brightness = static_cast<uint8_t>(value); });
}

void LightRoutes::OnSpeed(int value) {
    if (value < 0 || value > 0xFF)
        return;
    Apply(true, [value](LightState& s) { s.speed = static_cast<uint8_t>(value); });
}

void LightRoutes::OnMultiColor(bool on) {
    Apply(true, [on](LightState& s) { s.multiColor = on ? 1 : 0; });
}

void LightRoutes::OnDirection(bool left) {
    if (!Device())
        return;
    if (CLightControlUI* panel = Panel())
        panel->SetDirection(left);
    Apply(true, [left](LightState& s) { s.direction = left ? 1 : 0; });
}

void LightRoutes::OnPaletteColor(uint32_t argb) {
    CDeviceBase* device = Apply(true, [argb](LightState& s) {
        s.red = static_cast<uint8_t>(argb >> 16);
        s.green = static_cast<uint8_t>(argb >> 8);
        s.blue = static_cast<uint8_t>(argb);
        s.multiColor = 0;
    });
    if (device)
        ShowColour(Panel(), device->GetLightSettings(), true);
}

int LightRoutes::EditValue(const QString& text, bool& rewrite) {
    const QString t = text.trimmed();
    // Leading decimal digits, as a typed number reads; anything else counts as nothing typed.
    qsizetype i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == QLatin1Char('+') || t[i] == QLatin1Char('-')))
        negative = t[i++] == QLatin1Char('-');
    long long value = 0;
    bool digits = false;
    for (; i < t.size() && t[i] >= QLatin1Char('0') && t[i] <= QLatin1Char('9'); ++i) {
        digits = true;
        if (value <= 255)
            value = value * 10 + (t[i].unicode() - '0');
    }
    int out = !digits || negative ? 0 : value > 255 ? 255 : static_cast<int>(value);
    rewrite = text != QString::number(out);
    return out;
}

void LightRoutes::OnEditLeft(int component) {
    CLightControlUI* panel = Panel();
    if (!Device() || !panel || component < 0 || component > 2)
        return;
    const QString text = component == 0   ? panel->GetRedText()
                         : component == 1 ? panel->GetGreenText()
                                          : panel->GetBlueText();
    bool rewrite = false;
    const int value = EditValue(text, rewrite);
    if (rewrite) {
        const QString shown = QString::number(value);
        if (component == 0)
            panel->SetRedText(shown);
        else if (component == 1)
            panel->SetGreenText(shown);
        else
            panel->SetBlueText(shown);
    }
    CDeviceBase* device = Apply(true, [component, value](LightState& s) {
        uint8_t& target = component == 0 ? s.red : component == 1 ? s.green : s.blue;
        target = static_cast<uint8_t>(value);
        s.multiColor = 0;
    });
    if (device)
        ShowColour(panel, device->GetLightSettings(), false);
}

void LightRoutes::OnPreset(int n) {
    CLightControlUI* panel = Panel();
    if (!Device() || !panel)
        return;
    const uint32_t colour = panel->GetPresetColor(n);
    // A swatch keeps a running synchronisation going: it only recolours it.
    CDeviceBase* device = Apply(false, [colour](LightState& s) {
        s.red = static_cast<uint8_t>(colour >> 16);
        s.green = static_cast<uint8_t>(colour >> 8);
        s.blue = static_cast<uint8_t>(colour);
        s.multiColor = 0;
    });
    if (device)
        ShowColour(panel, device->GetLightSettings(), true);
}

void LightRoutes::OnSecondaryMode(int index) {
    if (index < 0 || index > 0xFF || !dynamic_cast<CKeyboardDevice*>(Device()))
        return;
    Apply(false, [index](LightState& s) { s.secondaryMode = static_cast<uint8_t>(index); });
}

void LightRoutes::OnCustomGroup(int index) {
    auto* keyboard = dynamic_cast<CKeyboardDevice*>(Device());
    if (!keyboard || index < 0)
        return;
    keyboard->SelectCustomGroup(index);
    keyboard->SaveProfile();
    keyboard->EnterCustomMode();
}

void LightRoutes::OnFillCustom(bool on) {
    if (auto* keyboard = dynamic_cast<CKeyboardDevice*>(Device()))
        keyboard->FillCustomColors(on);
}

void LightRoutes::OnSameMode() {
    CDeviceBase* source = Device();
    if (!source)
        return;
    const LightState from = source->GetLightSettings();
    const int effect = light::CommonEffectOfMode(FamilyOfDevice(*source), from.mode);
    if (effect < 0)
        return;
    light::CommonEffectSettings settings;
    settings.effect = effect;
    settings.brightness = from.brightness;
    settings.speed = from.speed;
    settings.direction = from.direction;
    settings.multiColor = from.multiColor;
    settings.red = from.red;
    settings.green = from.green;
    settings.blue = from.blue;
    if (m_ctx.storeCommonEffect)
        m_ctx.storeCommonEffect(settings);
    if (!m_ctx.allDevices)
        return;
    UpdateGuard guard(m_updating);
    for (const LightTarget& target : m_ctx.allDevices()) {
        if (!target.device || !target.device->Link().IsOpen())
            continue;
        const int mode = light::ModeOfCommonEffect(FamilyOfDevice(*target.device), effect);
        if (mode < 0)
            continue;
        LightState state = from;
        state.mode = static_cast<uint8_t>(mode);
        target.device->Link().SetBackgroundPause(true);
        if (target.panel)
            target.panel->ShowLightSettings(state);
        Store(*target.device, state);
    }
    if (m_ctx.commonEffectFlagged)
        m_ctx.commonEffectFlagged();
}

} // namespace nk7x
