#include "panels/macros/MacroRoutes.h"

#include <QTimer>

#include "devices/keyboard/KeyboardDevice.h"
#include "macros/KeyTables.h"
#include "panels/keys/KeySetControlUI.h"
#include "panels/macros/MacroKeyAssignments.h"
#include "panels/macros/MacroSetControlUI.h"
#include "panels/macros/RecordingHook.h"
#include "panels/profile/ProfileRoutes.h"
#include "platform/linux/EvdevInputHook.h"
#include "platform/qt/WindowGrabInputHook.h"
#include "profiles/ProfileList.h"
#include "ui/MenuLayout.h"
#include "ui/NotifyRouter.h"
#include "ui/UiWindow.h"
#include "windows/MessageBox.h"

#include <QCursor>
#include <QFileDialog>
#include <QMenu>

namespace nk7x {
namespace {

constexpr int kButtonsOk = 0;
constexpr int kButtonsOkCancel = 1;
constexpr const char* kMsgDuplicateName = "message_text_5";
constexpr const char* kMsgDeleteConfirm = "message_text_4";
constexpr const char* kMsgMacroAssigned = "message_text_2";
constexpr const char* kMacroFileFilter = "Macro Files(*.mac)";

HookMode ModeOf(RecordPlacement placement) {
    switch (placement) {
    case RecordPlacement::Before:
        return HookMode::RecordBefore;
    case RecordPlacement::After:
        return HookMode::RecordAfter;
    case RecordPlacement::Replace:
        return HookMode::RecordReplace;
    case RecordPlacement::Append:
        break;
    }
    return HookMode::Record;
}

} // namespace

MacroRoutes::MacroRoutes(MacroRoutesContext context) : m_ctx(std::move(context)) {}

MacroRoutes::~MacroRoutes() {
    if (m_hook)
        m_hook->Uninstall();
}

CMacroSetControlUI* MacroRoutes::Panel() const {
    return m_ctx.currentPanel ? m_ctx.currentPanel() : nullptr;
}

CKeySetControlUI* MacroRoutes::KeyPanel() const {
    return m_ctx.currentKeyPanel ? m_ctx.currentKeyPanel() : nullptr;
}

int MacroRoutes::Show(const QString& text, bool textIsKey, int buttons, bool owned) const {
    if (m_ctx.showMessage)
        return m_ctx.showMessage(text, textIsKey, buttons, owned);
    const int dpi = m_ctx.window ? m_ctx.window->Scale() : CMsgWnd::kDefaultDpi;
    return ShowMessage(owned ? m_ctx.window : nullptr, QString(), text, dpi, textIsKey, buttons);
}

QString MacroRoutes::Text(const QString& key) const {
    if (m_ctx.text)
        return m_ctx.text(key);
    if (const MsgWndSetup& setup = GetMsgWndSetup(); setup.lookup)
        return setup.lookup(key);
    return key;
}

QString MacroRoutes::ChooseFile(bool save) const {
    const QString filter = QString::fromLatin1(kMacroFileFilter);
    if (m_ctx.chooseFile)
        return m_ctx.chooseFile(m_ctx.window, save, filter);
    if (save) {
        QString path = QFileDialog::getSaveFileName(m_ctx.window, QString(), QString(), filter);
        if (!path.isEmpty() && !path.endsWith(QLatin1String(".mac"), Qt::CaseInsensitive))
            path += QLatin1String(".mac");
        return path;
    }
    return QFileDialog::getOpenFileName(m_ctx.window, QString(), QString(), filter);
}

void MacroRoutes::Install(NotifyRouter& router) {
    using M = NotifyRouter::Match;
    auto click = [&router](const char* name, std::function<void()> fn) {
        router.Add(QStringLiteral("click"), M::Name, QString::fromLatin1(name),
                   [fn](const UiNotify&, int) { fn(); });
    };
    auto panelCall = [this](auto fn) {
        return [this, fn] {
            if (CMacroSetControlUI* panel = Panel())
                fn(*panel);
        };
    };
    click("macro_btn_name_add", [this] { OnCreate(); });
    click("macro_btn_name_sub", [this] { OnDelete(); });
    click("macro_btn_name_edit", [this] { OnRename(); });
    click("macro_btn_save", [this] { OnSave(); });
    click("macro_btn_cancel", panelCall([](CMacroSetControlUI& p) { p.ReloadMacro(); }));
    click("macro_btn_export", [this] { OnExport(); });
    click("macro_btn_import", [this] { OnImport(); });
    click("macro_btn_up", panelCall([](CMacroSetControlUI& p) { p.MoveSelected(-1); }));
    click("macro_btn_down", panelCall([](CMacroSetControlUI& p) { p.MoveSelected(1); }));
    click("macro_btn_uptop", panelCall([](CMacroSetControlUI& p) { p.MoveSelectedToTop(); }));
    click("macro_btn_downbottom", panelCall([](CMacroSetControlUI& p) { p.MoveSelectedToBottom(); }));
    click("macro_btn_delete", panelCall([](CMacroSetControlUI& p) { p.DeleteSelectedEvent(); }));
    click("macro_btn_deleteall", panelCall([](CMacroSetControlUI& p) { p.DeleteAllEvents(); }));
    click("macro_inset_moveleftkey_btn",
          panelCall([](CMacroSetControlUI& p) { p.InsertMove(MoveDirection::Left); }));
    click("macro_inset_moverightkey_btn",
          panelCall([](CMacroSetControlUI& p) { p.InsertMove(MoveDirection::Right); }));
    click("macro_inset_moveupkey_btn",
          panelCall([](CMacroSetControlUI& p) { p.InsertMove(MoveDirection::Up); }));
    click("macro_inset_movedownkey_btn",
          panelCall([](CMacroSetControlUI& p) { p.InsertMove(MoveDirection::Down); }));
    click("macro_btn_starredio", [this] {
        if (CMacroSetControlUI* panel = Panel())
            StartRecording(panel->FixedDelayChecked() ? DelayMode::Fixed : DelayMode::Recorded,
                           RecordPlacement::Append);
    });
    click("macro_btn_stopredio", [this] { StopRecording(); });
    router.Add(QStringLiteral("itemselect"), M::Name, QStringLiteral("macro_name_list"),
               [this](const UiNotify&, int) {
                   if (CMacroSetControlUI* panel = Panel())
                       panel->SelectMacro();
               });
    router.Add(QStringLiteral("killfocus"), M::Name, QStringLiteral("macro_delay"),
               [this](const UiNotify&, int) { OnSave(); });
    router.Add(QStringLiteral("menu"), M::Name, QStringLiteral("macro_action"),
               [this](const UiNotify&, int) { ShowActionMenu(); });
    router.Add(QStringLiteral("menu"), M::Name, QStringLiteral("macro_action_list"),
               [this](const UiNotify&, int) { ShowActionMenu(); });
    router.Add(QStringLiteral("setfocus"), M::Name, QStringLiteral("keyset_keyboard_text_edit"),
               [this](const UiNotify&, int) { StartKeyPicking(); });
    router.Add(QStringLiteral("killfocus"), M::Name, QStringLiteral("keyset_keyboard_text_edit"),
               [this](const UiNotify&, int) { StopKeyPicking(); });
}

void MacroRoutes::NamesChanged(bool captions) const {
    CDeviceBase* device = m_ctx.currentDevice ? m_ctx.currentDevice() : nullptr;
    if (!device)
        return;
    // The page hands the new names to the key editor's macro choices.
    if (captions)
        device->RefreshPage();
    else
        device->RefreshNameLists();
}

void MacroRoutes::OnCreate() {
    CMacroSetControlUI* panel = Panel();
    if (panel && !panel->CreateMacro().empty())
        NamesChanged(false);
}

void MacroRoutes::OnRename() {
    CMacroSetControlUI* panel = Panel();
    if (!panel)
        return;
    const CMacroSetControlUI::RenameOutcome out = panel->RenameMacro();
    if (out.result == MacroResult::DuplicateName)
        Show(QString::fromLatin1(kMsgDuplicateName), true, kButtonsOk, false);
    else if (out.result == MacroResult::Failed)
        Show(QString::fromLatin1(kMsgSaveFailed), true, kButtonsOk, true);
    else if (out.index >= 0)
        NamesChanged(true); // key captions name the macros they play
}

void MacroRoutes::OnDelete() {
    CMacroSetControlUI* panel = Panel();
    if (!panel || panel->SelectedMacro() < 0)
        return;
    if (Show(QString::fromLatin1(kMsgDeleteConfirm), true, kButtonsOkCancel, true) != 1)
        return;
    const int k = panel->SelectedMacro();
    if (k < 0)
        return;
    CDeviceBase* keyboard = m_ctx.currentKeyboard ? m_ctx.currentKeyboard() : nullptr;
    IKeyTableDevice* table = keyboard ? keyboard->KeyTable() : nullptr;
    std::vector<KeyAssignment> keys = table ? table->KeyList() : std::vector<KeyAssignment>();
    if (AnyKeyUsesMacro(keys, k) &&
        Show(QString::fromLatin1(kMsgMacroAssigned), true, kButtonsOkCancel, false) != 1)
        return;
    // The macro goes first: when its files cannot be changed, the keys keep pointing where they did.
    if (panel->DeleteSelectedMacro() != k) {
        Show(QString::fromLatin1(kMsgSaveFailed), true, kButtonsOk, true);
        return;
    }
    const MacroKeyFix fix = FixKeysForRemovedMacro(keys, k);
    if (table && fix.changed) {
        const std::vector<KeyAssignment>& old = table->KeyList();
        for (std::size_t i = 0; i < keys.size() && i < old.size(); ++i)
            if (!(keys[i].assignment == old[i].assignment))
                table->SetKeyAssignment(static_cast<int>(i), keys[i].assignment);
        keyboard->SaveProfile();
    }
    NamesChanged(fix.changed);
    if (fix.changed) {
        if (CDeviceBase* device = m_ctx.currentDevice ? m_ctx.currentDevice() : nullptr)
            DownloadMacros(*device);
        if (table)
            table->QueueProfileKeyAssignmentsWrite(0);
    }
}

void MacroRoutes::DownloadMacros(CDeviceBase& device) const {
    // The answer comes back on this thread; a failed transfer was reported by the page already.
    IKeyTableDevice* keys = device.KeyTable();
    if (!keys)
        return;
    keys->QueueMacroDownload([this](const MacroDownload& result) {
        if (result.status == MacroDownload::Status::NoImage)
            Show(QString::fromLatin1(kMsgMacroDownloadFailed), true, kButtonsOk, true);
        else if (result.status == MacroDownload::Status::TooLarge)
            Show(FormatMessageCount(Text(QString::fromLatin1(kMsgMacroCount)), result.excessEvents), false,
                 kButtonsOk, true);
    });
}

void MacroRoutes::OnSave() {
    CMacroSetControlUI* panel = Panel();
    if (panel && panel->SaveMacro() == MacroResult::Failed)
        Show(QString::fromLatin1(kMsgSaveFailed), true, kButtonsOk, true);
}

void MacroRoutes::OnExport() {
    CMacroSetControlUI* panel = Panel();
    if (!panel || panel->SelectedMacro() < 0)
        return;
    const QString path = ChooseFile(true);
    if (!path.isEmpty() && panel->ExportMacro(path) == MacroResult::Failed)
        Show(QString::fromLatin1(kMsgSaveFailed), true, kButtonsOk, true);
}

void MacroRoutes::OnImport() {
    CMacroSetControlUI* panel = Panel();
    if (!panel)
        return;
    const QString path = ChooseFile(false);
    if (path.isEmpty())
        return;
    MacroResult result = MacroResult::Ok;
    if (!panel->ImportMacro(path, &result).empty())
        NamesChanged(false);
    else if (result == MacroResult::Failed)
        Show(QString::fromLatin1(kMsgSaveFailed), true, kButtonsOk, true);
}

void MacroRoutes::ShowActionMenu() {
    if (m_menu)
        m_menu->close();
    m_menu.reset();
    const QString path = m_ctx.actionMenuPath ? m_ctx.actionMenuPath() : QString();
    if (path.isEmpty() || Recording())
        return;
    m_menu = BuildMenu(path, [this](const QString& item) { OnMenuItem(item); });
    if (!m_menu)
        return;
    for (QAction* a : m_menu->actions()) {
        const QString key = a->property("textKey").toString();
        if (!key.isEmpty())
            a->setText(Text(key));
    }
    if (m_ctx.window)
        m_menu->setStyleSheet(m_ctx.window->styleSheet());
    m_menu->popup(QCursor::pos());
}

void MacroRoutes::OnMenuItem(const QString& item) {
    CMacroSetControlUI* panel = Panel();
    if (!panel)
        return;
    const DelayMode recorded = panel->FixedDelayChecked() ? DelayMode::Fixed : DelayMode::Recorded;
    struct Start {
        const char* item;
        RecordPlacement placement;
        int mode; // 0: recorded (or fixed when asked for), else the delay mode
    };
    static const Start kStarts[] = {
        {"redio_previous_record_time", RecordPlacement::Before, 0},
        {"redio_previous_constant_time", RecordPlacement::Before, 2},
        {"redio_previous_ignore_time", RecordPlacement::Before, 3},
        {"redio_later_record_time", RecordPlacement::After, 0},
        {"redio_later_constant_time", RecordPlacement::After, 2},
        {"redio_later_ignore_time", RecordPlacement::After, 3},
        {"macro_action_edit", RecordPlacement::Replace, 3},
    };
    for (const Start& s : kStarts) {
        if (item == QLatin1String(s.item)) {
            StartRecording(s.mode == 0 ? recorded : static_cast<DelayMode>(s.mode), s.placement);
            return;
        }
    }
    panel->InsertMenuItem(item);
}

RecordingHook& MacroRoutes::EnsureHook() {
    if (!m_hook) {
        if (m_ctx.makeHook)
            m_hook = m_ctx.makeHook();
        if (!m_hook)
            m_hook = std::make_unique<RecordingHook>(std::make_unique<EvdevInputHook>(),
                                                     std::make_unique<WindowGrabInputHook>(m_ctx.window));
    }
    return *m_hook;
}

void MacroRoutes::SetHook(std::unique_ptr<RecordingHook> hook) {
    if (m_hook && m_hook->Installed())
        return;
    m_hook = std::move(hook);
}

bool MacroRoutes::Recording() const {
    return m_recording && m_recording->Recording();
}

void MacroRoutes::StartRecording(DelayMode mode, RecordPlacement placement) {
    CMacroSetControlUI* panel = Panel();
    if (!panel || panel->SelectedMacro() < 0 || Recording())
        return;
    panel->StartRecording(mode, placement);
    m_recording = panel;
    RecordingHook& hook = EnsureHook();
    // Without any backend the panel still shows the recording state and says that nothing is heard.
    hook.Install(ModeOf(placement), [this](const InputEvent& e) { OnInput(e); });
    panel->ShowInputSource(Text(hook.SourceTextKey()), hook.Details());
    if (m_ctx.setPageSwitching)
        m_ctx.setPageSwitching(false);
    if (CKeySetControlUI* keys = KeyPanel())
        keys->EnableEditButtons(true);
}

void MacroRoutes::StopRecording() {
    const bool recording = Recording();
    if (m_hook)
        m_hook->Uninstall();
    if (!recording)
        return;
    QPointer<CMacroSetControlUI> panel = m_recording;
    m_recording = nullptr;
    if (m_ctx.setPageSwitching)
        m_ctx.setPageSwitching(true);
    if (CKeySetControlUI* keys = KeyPanel())
        keys->EnableEditButtons(false);
    if (panel) {
        panel->StopRecording();
        if (m_hook)
            panel->ShowInputSource(Text(m_hook->SourceTextKey()), QString());
    }
}

void MacroRoutes::StartKeyPicking() {
    if (Recording())
        return;
    // Only a hook that takes every keyboard is used here: without one, the name field reads the
    // keys itself.
    EnsureHook().Install(
        HookMode::KeyPick, [this](const InputEvent& e) { OnInput(e); }, false);
    // A pick that nobody answers does not keep the keyboards: after a while the field reads only
    // the keys that reach this window.
    const int pick = ++m_pickGeneration;
    QTimer::singleShot(kKeyPickGrabMs, m_hook.get(), [this, pick] {
        if (pick == m_pickGeneration && !Recording() && m_hook && m_hook->Installed() &&
            m_hook->Mode() == HookMode::KeyPick)
            m_hook->Uninstall();
    });
}

void MacroRoutes::StopKeyPicking() {
    if (!Recording() && m_hook && m_hook->Installed() && m_hook->Mode() == HookMode::KeyPick)
        m_hook->Uninstall();
}

void MacroRoutes::OnInput(const InputEvent& event) {
    if (!m_hook)
        return;
    if (m_hook->Mode() == HookMode::KeyPick) {
        const std::optional<std::size_t> row = PickKeyRow(event);
        CKeySetControlUI* keys = KeyPanel();
        if (row && keys)
            keys->PickKey(KeyTable()[*row], event.down);
        return;
    }
    if (m_recording)
        m_recording->HandleInput(event);
}

} // namespace nk7x
