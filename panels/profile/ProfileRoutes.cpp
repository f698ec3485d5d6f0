#include "panels/profile/ProfileRoutes.h"

#include "devices/DeviceBase.h"
#include "panels/profile/DeviceProfileUI.h"
#include "profiles/ProfileList.h"
#include "ui/UiWindow.h"
#include "windows/MessageBox.h"

#include <QFileDialog>

#include <utility>

namespace nk7x {
namespace {

constexpr int kButtonsOk = 0;
constexpr int kButtonsOkCancel = 1;

// Kinds whose page has a key assignment editor and macros.
bool HasKeysAndMacros(int type) {
    return type == 1 || type == 2;
}

// The profile list reports a file it could not write (disk full, no permission); the user is told,
// since the change they made is not stored.
bool WriteFailed(ProfileResult result) {
    return result == ProfileResult::WriteFailed;
}

} // namespace

QString FormatMessageCount(const QString& format, int n) {
    QString out;
    out.reserve(format.size() + 8);
    bool used = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format.at(i);
        if (c == QLatin1Char('%') && i + 1 < format.size()) {
            const QChar next = format.at(i + 1);
            if (next == QLatin1Char('%')) {
                out += QLatin1Char('%');
                ++i;
                continue;
            }
            if (next == QLatin1Char('d') && !used) {
                out += QString::number(n);
                used = true;
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

ProfileRoutes::ProfileRoutes(ProfileRoutesContext context) : m_ctx(std::move(context)) {}

CDeviceBase* ProfileRoutes::Device() const {
    return m_ctx.currentDevice ? m_ctx.currentDevice() : nullptr;
}

CDeviceProfileUI* ProfileRoutes::Panel() const {
    return m_ctx.currentProfilePanel ? m_ctx.currentProfilePanel() : nullptr;
}

QString ProfileRoutes::ChooseFile(bool save) const {
    const QString filter = QString::fromLatin1(kProfileFileFilterName);
    if (m_ctx.chooseFile)
        return m_ctx.chooseFile(m_ctx.window, save, filter);
    return save ? QFileDialog::getSaveFileName(m_ctx.window, QString(), QString(), filter)
                : QFileDialog::getOpenFileName(m_ctx.window, QString(), QString(), filter);
}

int ProfileRoutes::Show(const QString& text, bool textIsKey, int buttons) const {
    if (m_ctx.showMessage)
        return m_ctx.showMessage(m_ctx.window, text, textIsKey, buttons);
    return ShowMessage(m_ctx.window, QString(), text,
                       m_ctx.window ? m_ctx.window->Scale() : CMsgWnd::kDefaultDpi, textIsKey, buttons);
}

QString ProfileRoutes::Text(const QString& key) const {
    if (m_ctx.text)
        return m_ctx.text(key);
    if (const MsgWndSetup& setup = GetMsgWndSetup(); setup.lookup)
        return setup.lookup(key);
    return key;
}

void ProfileRoutes::Install(NotifyRouter& router) {
    const QString click = QStringLiteral("click");
    auto panelCall = [this](ProfileResult (CDeviceProfileUI::*op)()) {
        return [this, op](const UiNotify&, int) {
            if (CDeviceProfileUI* panel = Panel(); panel && WriteFailed((panel->*op)()))
                Show(QString::fromLatin1(kMsgSaveFailed), true, kButtonsOk);
        };
    };
    router.Add(click, NotifyRouter::Match::Name, QStringLiteral("device_add_btn"),
               panelCall(&CDeviceProfileUI::AddProfile));
    router.Add(click, NotifyRouter::Match::Name, QStringLiteral("device_copy_btn"),
               panelCall(&CDeviceProfileUI::CopyProfile));
    router.Add(click, NotifyRouter::Match::Name, QStringLiteral("device_sub_btn"),
               panelCall(&CDeviceProfileUI::DeleteProfile));
    router.Add(click, NotifyRouter::Match::Name, QStringLiteral("device_profile_edit_save_btn"),
               [this](const UiNotify&, int) { OnRename(); });
    router.Add(click, NotifyRouter::Match::Name, QStringLiteral("device_import_btn"),
               [this](const UiNotify&, int) { OnImport(); });
    router.Add(click, NotifyRouter::Match::Name, QStringLiteral("device_export_btn"),
               [this](const UiNotify&, int) { OnExport(); });
    router.Add(click, NotifyRouter::Match::Name, QStringLiteral("device_reset_btn"),
               [this](const UiNotify&, int) { OnReset(); });
    router.Add(click, NotifyRouter::Match::Name, QStringLiteral("profile_fun_spread_btn"),
               [this](const UiNotify&, int) {
                   if (CDeviceProfileUI* panel = Panel())
                       panel->ShowMenu(!panel->IsMenuShown());
               });
    router.Add(QStringLiteral("itemselect"), NotifyRouter::Match::Name,
               QStringLiteral("device_profile_combo"), [this](const UiNotify&, int) { OnComboSelect(); });
    for (int n = 1; n <= static_cast<int>(kProfileTabNames.size()); ++n) {
        router.Add(QStringLiteral("selectchanged"), NotifyRouter::Match::NameCase,
                   QString::fromLatin1(kProfileTabNames[static_cast<std::size_t>(n - 1)]),
                   [this, n](const UiNotify& msg, int) { OnTab(n, msg.wParam != 0); });
    }
}

// Quick steps through the list switch only to the profile the user stops at.
void ProfileRoutes::OnComboSelect() {
    if (m_ctx.window)
        m_ctx.window->SetTimer(m_ctx.window, kProfileSwitchTimerId, kProfileSwitchDelayMs);
}

bool ProfileRoutes::OnTimer(int id) {
    if (id != kProfileSwitchTimerId)
        return false;
    if (m_ctx.window)
        m_ctx.window->KillTimer(m_ctx.window, kProfileSwitchTimerId);
    OnTimerSwitch();
    return true;
}

void ProfileRoutes::OnTimerSwitch() {
    if (CDeviceProfileUI* panel = Panel())
        SwitchTo(*panel, Device(), panel->GetSelectedIndex());
}

bool ProfileRoutes::SwitchTo(CDeviceProfileUI& panel, CDeviceBase* device, int index) {
    const ProfileResult selected = panel.SelectProfile(index, false);
    if (selected == ProfileResult::Refused)
        return false;
    // The switch goes ahead: only the choice for the next start was not stored.
    if (WriteFailed(selected))
        Show(QString::fromLatin1(kMsgSaveFailed), true, kButtonsOk);
    if (device)
        Load(*device, panel.GetSelectedUUID());
    if (m_ctx.profileSwitched)
        m_ctx.profileSwitched(panel);
    return true;
}

void ProfileRoutes::Load(CDeviceBase& device, const std::string& uuid) {
    device.SetProfileName(uuid);
    device.LoadProfile();
    IKeyTableDevice* keys = device.KeyTable();
    if (keys)
        keys->PurgeMacroKeys();
    device.RefreshPage();
    if (ISettingsRecordDevice* record = device.SettingsRecord())
        record->QueueSettingsWrite(0, 0);
    if (keys) {
        DownloadMacros(device);
        keys->QueueProfileKeyAssignmentsWrite(0);
    }
}

void ProfileRoutes::DownloadMacros(CDeviceBase& device) const {
    // The download runs on the device's worker; its answer comes back to this thread.
    // A failed transfer was reported by the page already; here only what the user must act on.
    IKeyTableDevice* keys = device.KeyTable();
    if (!keys)
        return;
    keys->QueueMacroDownload([this](const MacroDownload& result) {
        if (result.status == MacroDownload::Status::NoImage)
            Show(QString::fromLatin1(kMsgMacroDownloadFailed), true, kButtonsOk);
        else if (result.status == MacroDownload::Status::TooLarge)
            Show(FormatMessageCount(Text(QString::fromLatin1(kMsgMacroCount)), result.excessEvents), false,
                 kButtonsOk);
    });
}

void ProfileRoutes::OnRename() {
    CDeviceProfileUI* panel = Panel();
    if (!panel)
        return;
    const QString name = panel->GetNameText();
    if (name.isEmpty())
        return;
    const ProfileResult result = panel->RenameProfile(name);
    const std::string key = ProfileList::RenameMessageKey(result);
    if (!key.empty())
        Show(QString::fromStdString(key), true, kButtonsOk);
}

void ProfileRoutes::OnImport() {
    CDeviceProfileUI* panel = Panel();
    if (!panel || panel->GetSelectedIndex() < 0)
        return;
    const QString path = ChooseFile(false);
    // A file that is not a profile is refused without a word; a profile that could not be stored is not.
    if (!path.isEmpty() && WriteFailed(panel->ImportProfile(path)))
        Show(QString::fromLatin1(kMsgSaveFailed), true, kButtonsOk);
}

void ProfileRoutes::OnExport() {
    CDeviceProfileUI* panel = Panel();
    if (!panel || panel->GetSelectedIndex() < 0)
        return;
    const QString path = ChooseFile(true);
    if (!path.isEmpty() && WriteFailed(panel->ExportProfile(path)))
        Show(QString::fromLatin1(kMsgSaveFailed), true, kButtonsOk);
}

void ProfileRoutes::OnReset() {
    CDeviceProfileUI* panel = Panel();
    if (!panel || panel->GetSelectedIndex() < 0)
        return;
    if (Show(QString::fromLatin1(kMsgResetConfirm), true, kButtonsOkCancel) != 1)
        return;
    // The page is reloaded only from a profile file that was actually rewritten.
    const ProfileResult reset = panel->ResetProfile();
    if (WriteFailed(reset))
        Show(QString::fromLatin1(kMsgSaveFailed), true, kButtonsOk);
    if (reset != ProfileResult::Done)
        return;
    CDeviceBase* device = Device();
    if (!device)
        return;
    device->LoadProfile();
    device->RefreshPage();
    if (ISettingsRecordDevice* record = device->SettingsRecord())
        record->QueueSettingsWrite(0, 0);
    if (HasKeysAndMacros(panel->DeviceType())) {
        if (m_ctx.hideKeyEditor)
            m_ctx.hideKeyEditor();
        DownloadMacros(*device);
        if (IKeyTableDevice* keys = device->KeyTable())
            keys->QueueProfileKeyAssignmentsWrite(0);
    }
}

void ProfileRoutes::OnTab(int n, bool selected) {
    // Leaving an option raises its own change; only the option chosen acts.
    if (!selected)
        return;
    if (CDeviceBase* device = Device())
        device->SetFunctionMode(n);
    if (CDeviceProfileUI* panel = Panel())
        panel->SelectTab(n);
}

} // namespace nk7x
