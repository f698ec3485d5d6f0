#include "panels/keys/KeySetRoutes.h"

#include "devices/keyboard/KeyboardDevice.h"
#include "panels/keys/KeySetControlUI.h"
#include "panels/profile/ProfileRoutes.h"
#include "profiles/ProfileList.h"
#include "ui/NotifyRouter.h"
#include "ui/UiWindow.h"
#include "windows/MessageBox.h"

#include <utility>

namespace nk7x {
namespace {

constexpr int kButtonsOk = 0;

// Lists whose choice is stored at once.
constexpr const char* kStoringLists[] = {
    "keyset_mousekey_combo", "keyset_mouseswing_combo", "keyset_mousewheel_combo",
    "keyset_mousedpi_combo", "keyset_media_combo",      "keyset_system_combo",
    "keyset_macro_combo",    "keyset_gunkey_combo",     "keyset_combokey_combo",
};

// Number fields: what was typed is stored when the field is left.
constexpr const char* kStoringFields[] = {
    "keyset_macro_cycle_edit",      "keyset_mousefire_interval_edit", "keyset_mousefire_num_edit",
    "keyset_mouseswing_delay_edit", "keyset_mouseswing_num_edit",     "keyset_mouseswing_speed_edit",
    "keyset_mousewheel_delay_edit", "keyset_mousewheel_num_edit",     "keyset_mousewheel_speed_edit",
};

} // namespace

KeySetRoutes::KeySetRoutes(KeySetRoutesContext context) : m_ctx(std::move(context)) {}

CDeviceBase* KeySetRoutes::Keyboard() const {
    return m_ctx.currentKeyboard ? m_ctx.currentKeyboard() : nullptr;
}

CKeySetControlUI* KeySetRoutes::Panel() const {
    return m_ctx.currentPanel ? m_ctx.currentPanel() : nullptr;
}

bool KeySetRoutes::FromShownPanel(const UiNotify& msg) const {
    CKeySetControlUI* panel = Panel();
    if (!panel)
        return false;
    return !msg.sender || msg.sender == panel || panel->isAncestorOf(msg.sender);
}

void KeySetRoutes::Show(const QString& text, bool textIsKey) const {
    if (m_ctx.showMessage) {
        m_ctx.showMessage(text, textIsKey);
        return;
    }
    ShowMessage(m_ctx.window, QString(), text, m_ctx.window ? m_ctx.window->Scale() : CMsgWnd::kDefaultDpi,
                textIsKey, kButtonsOk);
}

QString KeySetRoutes::Text(const QString& key) const {
    if (m_ctx.text)
        return m_ctx.text(key);
    if (const MsgWndSetup& setup = GetMsgWndSetup(); setup.lookup)
        return setup.lookup(key);
    return key;
}

void KeySetRoutes::Install(NotifyRouter& router) {
    using M = NotifyRouter::Match;
    auto row = [&](const QString& type, M match, const char* name,
                   std::function<void(const UiNotify&, int)> fn) {
        router.Add(type, match, QString::fromLatin1(name), [this, fn](const UiNotify& msg, int number) {
            if (FromShownPanel(msg))
                fn(msg, number);
        });
    };
    const QString itemselect = QStringLiteral("itemselect");
    const QString click = QStringLiteral("click");
    row(itemselect, M::Name, "keyset_function_combo", [this](const UiNotify& m, int) {
        OnFunction(static_cast<int>(m.wParam));
        Store();
    });
    row(itemselect, M::Name, "keyset_macro_over_combo", [this](const UiNotify& m, int) {
        OnRepeatMode(static_cast<int>(m.wParam));
        Store();
    });
    for (const char* name : kStoringLists)
        row(itemselect, M::Name, name, [this](const UiNotify&, int) { Store(); });
    // Both the option left and the one chosen tell their change; only the choice acts.
    row(QStringLiteral("selectchanged"), M::Prefix, "key_ComBox_check_",
        [this](const UiNotify& m, int n) { OnModifier(n, m.wParam != 0); });
    for (const char* name : kStoringFields)
        row(QStringLiteral("killfocus"), M::Name, name, [this](const UiNotify&, int) { Store(); });
    row(click, M::Name, "key_butt_keysave", [this](const UiNotify&, int) { Store(); });
    row(click, M::Name, "key_butt_keydefalut", [this](const UiNotify&, int) { OnDefault(); });
    row(click, M::Name, "key_butt_keycancel", [this](const UiNotify&, int) { OnCancel(); });
    row(click, M::Name, "key_butt_prosave", [this](const UiNotify&, int) { OnWrite(); });
}

void KeySetRoutes::OnFunction(int index) {
    if (CKeySetControlUI* panel = Panel())
        panel->OnFunctionSelected(index);
}

void KeySetRoutes::OnRepeatMode(int index) {
    if (CKeySetControlUI* panel = Panel())
        panel->OnRepeatModeSelected(index);
}

void KeySetRoutes::OnModifier(int option, bool selected) {
    CKeySetControlUI* panel = Panel();
    if (!panel || !selected || option < 0 || option >= kModifierOptions)
        return;
    panel->SelectModifier(option);
    Store();
}

void KeySetRoutes::OnDefault() {
    if (CKeySetControlUI* panel = Panel()) {
        panel->ShowDefault();
        panel->EnableEditButtons(true);
    }
}

void KeySetRoutes::OnCancel() {
    if (CKeySetControlUI* panel = Panel()) {
        panel->ShowCurrent();
        panel->EnableEditButtons(false);
    }
}

bool KeySetRoutes::Store() {
    CDeviceBase* keyboard = Keyboard();
    CKeySetControlUI* panel = Panel();
    return keyboard && panel && StoreOn(*keyboard, *panel);
}

bool KeySetRoutes::StoreOn(CDeviceBase& keyboard, CKeySetControlUI& panel) {
    // An assignment the editor cannot show is kept as it is rather than replaced by the default.
    if (!panel.HasKey() || panel.SelectedCategory() < 0)
        return false;
    IKeyTableDevice* keys = keyboard.KeyTable();
    const int key = keyboard.SelectedKey();
    if (!keys || key < 0 || static_cast<std::size_t>(key) >= keys->KeyList().size())
        return false;
    const KeyAssignment record = panel.CollectAssignment();
    if (!keys->SetKeyAssignment(key, record.assignment))
        return false;
    panel.EnableEditButtons(true);
    return true;
}

void KeySetRoutes::OnWrite() {
    CDeviceBase* keyboard = Keyboard();
    IKeyTableDevice* keys = keyboard ? keyboard->KeyTable() : nullptr;
    if (!keys)
        return;
    // The download runs on the device's worker; its answer comes back to this thread. A failed
    // transfer was reported by the page already; here only what the user must act on.
    keys->QueueMacroDownload([this](const MacroDownload& result) {
        if (result.status == MacroDownload::Status::NoImage)
            Show(QString::fromLatin1(kMsgMacroDownloadFailed), true);
        else if (result.status == MacroDownload::Status::TooLarge)
            Show(FormatMessageCount(Text(QString::fromLatin1(kMsgMacroCount)), result.excessEvents), false);
    });
    keys->QueueProfileKeyAssignmentsWrite(0);
    keyboard->SaveProfile();
    if (CKeySetControlUI* panel = Panel())
        panel->EnableEditButtons(false);
}

} // namespace nk7x
