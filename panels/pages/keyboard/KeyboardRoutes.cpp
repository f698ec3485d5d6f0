#include "panels/pages/keyboard/KeyboardRoutes.h"

#include "devices/keyboard/KeyboardDevice.h"
#include "ui/UiNotify.h"
#include "ui/UiWindow.h"
#include "windows/MessageBox.h"

#include <QAbstractButton>
#include <QAbstractSlider>

#include <algorithm>
#include <utility>

namespace nk7x {

namespace {

constexpr int kLightingFunctionMode = 1;
constexpr int kOptionCount = 4;
constexpr int kRepeatRateMax = 0xFFFF;

// The state of a check or option: the control's own state when it is still there, else the
// notification's.
bool IsChecked(const UiNotify& msg) {
    if (auto* b = qobject_cast<QAbstractButton*>(msg.sender.data()))
        return b->isChecked();
    return msg.wParam != 0;
}

} // namespace

KeyboardRoutes::KeyboardRoutes(KeyboardRoutesContext context) : m_ctx(std::move(context)) {}

CKeyboardDevice* KeyboardRoutes::Keyboard() const {
    return m_ctx.currentKeyboard ? m_ctx.currentKeyboard() : nullptr;
}

void KeyboardRoutes::OnPollingRate(const UiNotify& msg, int option) {
    CKeyboardDevice* kbd = Keyboard();
    // The option that lost its check tells nothing new.
    if (!kbd || option < 0 || option >= kOptionCount || !IsChecked(msg))
        return;
    KeyboardSystemStages stages = kbd->Profile().GetSystemStages();
    stages.pollingRate = static_cast<uint16_t>(option);
    kbd->StoreSystemStages(stages);
}

void KeyboardRoutes::OnFlagOption(const UiNotify& msg) {
    CKeyboardDevice* kbd = Keyboard();
    if (!kbd)
        return;
    const uint16_t on = IsChecked(msg) ? 1 : 0;
    KeyboardSystemStages stages = kbd->Profile().GetSystemStages();
    const QString name = msg.name.toLower();
    if (name == QLatin1String("winlockflag_option"))
        stages.winKeyFlag = on;
    else if (name == QLatin1String("wflag_option"))
        stages.wKeyFlag = on;
    else if (name == QLatin1String("6flag_option"))
        stages.key6Flag = on;
    else
        return;
    kbd->StoreSystemStages(stages);
}

void KeyboardRoutes::OnRepeatRate(const UiNotify& msg) {
    CKeyboardDevice* kbd = Keyboard();
    if (!kbd)
        return;
    qint64 value = msg.wParam;
    if (auto* s = qobject_cast<QAbstractSlider*>(msg.sender.data()))
        value = s->value();
    KeyboardSystemStages stages = kbd->Profile().GetSystemStages();
    stages.repeatRate = static_cast<uint16_t>(std::clamp<qint64>(value, 0, kRepeatRateMax));
    kbd->SetSystemStages(stages);
    kbd->SaveProfile();
}

void KeyboardRoutes::OnRepeatDelay(const UiNotify& msg, int option) {
    CKeyboardDevice* kbd = Keyboard();
    if (!kbd || option < 0 || option >= kOptionCount || !IsChecked(msg))
        return;
    KeyboardSystemStages stages = kbd->Profile().GetSystemStages();
    stages.repeatDelay = static_cast<uint16_t>(option);
    kbd->SetSystemStages(stages);
    kbd->SaveProfile();
    // The delay's label shows the new time.
    kbd->RefreshPage();
}

void KeyboardRoutes::OnDefaults() {
    const int dpi = m_ctx.window ? m_ctx.window->Scale() : CMsgWnd::kDefaultDpi;
    if (ShowMessage(m_ctx.window, QString(), QStringLiteral("message_text_22"), dpi, true, 1) !=
        CMsgWnd::kConfirm)
        return;
    // Asked before looking at the page, so the question comes whatever is shown.
    CKeyboardDevice* kbd = Keyboard();
    if (!kbd)
        return;
    kbd->RestoreDefaults();
    kbd->QueueProfileKeyAssignmentsWrite(0);
    kbd->QueueSettingsWrite(0, 0);
}

void KeyboardRoutes::OnKeyClick(int keyIndex) {
    CKeyboardDevice* kbd = Keyboard();
    if (!kbd || keyIndex < 0 || keyIndex >= kKeyboardKeyCount)
        return;
    if (kbd->GetFunctionMode() == kLightingFunctionMode && kbd->GetLightSettings().mode == kCustomLightMode)
        kbd->SetCustomKeyColor(keyIndex);
    else
        kbd->SelectKey(keyIndex);
}

} // namespace nk7x
