#include "panels/shoot/ShootRoutes.h"

#include "panels/shoot/ShootControlUI.h"
#include "profiles/ProfileList.h"
#include "ui/NotifyRouter.h"
#include "ui/UiWindow.h"
#include "windows/MessageBox.h"

#include <QFileDialog>

namespace nk7x {
namespace {

constexpr int kButtonsOk = 0;

// The shoot panel a control belongs to, or null.
CShootControlUI* OwnerPanel(QWidget* control) {
    for (QWidget* w = control; w; w = w->parentWidget())
        if (auto* panel = qobject_cast<CShootControlUI*>(w))
            return panel;
    return nullptr;
}

} // namespace

ShootRoutes::ShootRoutes(ShootRoutesContext context) : m_ctx(std::move(context)) {}

CShootControlUI* ShootRoutes::CurrentPanel() const {
    if (m_ctx.currentPageIsMouse && !m_ctx.currentPageIsMouse())
        return nullptr;
    return m_ctx.currentPanel ? m_ctx.currentPanel() : nullptr;
}

CShootControlUI* ShootRoutes::TargetOf(const UiNotify& msg) const {
    CShootControlUI* current = CurrentPanel();
    if (!current || !msg.sender)
        return current;
    // Every mouse page has its own panel with the same control names: only the shown one acts.
    return OwnerPanel(msg.sender) == current ? current : nullptr;
}

void ShootRoutes::Install(NotifyRouter& router) {
    using M = NotifyRouter::Match;
    auto row = [&](const char* type, M match, const char* name,
                   std::function<void(CShootControlUI*, const UiNotify&, int)> fn) {
        router.Add(QString::fromLatin1(type), match, QString::fromLatin1(name),
                   [this, fn](const UiNotify& msg, int number) {
                       if (CShootControlUI* panel = TargetOf(msg))
                           fn(panel, msg, number);
                   });
    };
    // An option reports both its selection and its partner's: only the selection chooses.
    row("selectchanged", M::Prefix, "shoot_gun_op_", [this](CShootControlUI* p, const UiNotify& m, int n) {
        if (m.wParam != 0)
            OnGunSelected(p, n);
    });
    row("selectchanged", M::Prefix, "bullet_op_", [this](CShootControlUI* p, const UiNotify& m, int n) {
        if (m.wParam != 0)
            OnBulletSelected(p, n);
    });
    row("click", M::Name, "bullet_selected_prev",
        [](CShootControlUI* p, const UiNotify&, int) { p->SelectPreviousBullet(); });
    row("click", M::Name, "bullet_selected_next",
        [](CShootControlUI* p, const UiNotify&, int) { p->SelectNextBullet(); });
    row("selectchanged", M::Name, "bullet_x_check",
        [this](CShootControlUI* p, const UiNotify&, int) { OnDirectionChanged(p, true); });
    row("selectchanged", M::Name, "bullet_y_check",
        [this](CShootControlUI* p, const UiNotify&, int) { OnDirectionChanged(p, false); });
    for (const char* field : {"bullet_x_eidt", "bullet_y_eidt", "bullet_delay_eidt"}) {
        // A box that loses the focus saves into its own panel, even when the focus went to another
        // page: what was typed must not be lost by switching pages. A box whose panel is being
        // taken down (the focus leaves it as it goes) has nothing to save into.
        router.Add(QStringLiteral("killfocus"), M::Name, QString::fromLatin1(field),
                   [this](const UiNotify& msg, int) {
                       OnFieldLeft(msg.sender ? OwnerPanel(msg.sender) : CurrentPanel());
                   });
        row("return", M::Name, field, [this](CShootControlUI* p, const UiNotify&, int) { OnFieldLeft(p); });
    }
    row("click", M::Name, "shootdate_save_btn",
        [this](CShootControlUI* p, const UiNotify&, int) { OnSave(p); });
    row("click", M::Name, "shootdate_reset_btn",
        [this](CShootControlUI* p, const UiNotify&, int) { OnReset(p); });
    row("click", M::Name, "shootdate_import_btn",
        [this](CShootControlUI* p, const UiNotify&, int) { OnImport(p); });
    row("click", M::Name, "shootdate_export_btn",
        [this](CShootControlUI* p, const UiNotify&, int) { OnExport(p); });
}

void ShootRoutes::OnGunSelected(CShootControlUI* panel, int gun) {
    if (!panel)
        return;
    panel->SelectGun(gun);
    panel->ShowCurrentBullet();
}

void ShootRoutes::OnBulletSelected(CShootControlUI* panel, int bullet) {
    if (panel)
        panel->SelectBullet(bullet);
}

void ShootRoutes::OnDirectionChanged(CShootControlUI* panel, bool sideways) {
    if (!panel)
        return;
    if (sideways)
        panel->UpdateXCaption();
    else
        panel->UpdateYCaption();
    // The check is part of the bullet: saved now, it cannot be lost by choosing another bullet,
    // and the save button sends what the panel shows.
    if (panel->SelectedBullet() >= 0 && !panel->SaveCurrentBullet())
        Show(kMsgSaveFailed);
}

void ShootRoutes::OnFieldLeft(CShootControlUI* panel) {
    if (panel && panel->SelectedBullet() >= 0 && !panel->SaveCurrentBullet())
        Show(kMsgSaveFailed);
}

void ShootRoutes::OnSave(CShootControlUI* panel) {
    if (!panel)
        return;
    // The bullet on screen goes with the others, whether or not a box has lost the focus yet.
    if (panel->SelectedBullet() >= 0 && !panel->SaveCurrentBullet()) {
        Show(kMsgSaveFailed);
        return;
    }
    if (m_ctx.downloadShootPatterns)
        m_ctx.downloadShootPatterns();
}

void ShootRoutes::OnReset(CShootControlUI* panel) {
    if (panel && !panel->ResetCurrentPattern())
        Show(kMsgSaveFailed);
}

void ShootRoutes::OnImport(CShootControlUI* panel) {
    if (!panel)
        return;
    const QString path = ChooseFile(false);
    if (path.isEmpty())
        return;
    ShootFileResult why = ShootFileResult::Ok;
    if (panel->ImportPattern(path, &why))
        return;
    if (why == ShootFileResult::NotAPattern || why == ShootFileResult::SourceUnreadable)
        Show(kMsgShootImportRefused);
    else if (why == ShootFileResult::WriteFailed)
        Show(kMsgSaveFailed);
}

void ShootRoutes::OnExport(CShootControlUI* panel) {
    if (!panel)
        return;
    const QString path = ChooseFile(true);
    if (path.isEmpty())
        return;
    ShootFileResult why = ShootFileResult::Ok;
    if (!panel->ExportPattern(path, &why) && why != ShootFileResult::NothingDone)
        Show(kMsgShootExportFailed);
}

QString ShootRoutes::ChooseFile(bool save) const {
    const QString filter = QString::fromLatin1(kShootFileFilter);
    if (m_ctx.chooseFile)
        return m_ctx.chooseFile(m_ctx.window, save, filter);
    if (save) {
        QString path = QFileDialog::getSaveFileName(m_ctx.window, QString(), QString(), filter);
        if (!path.isEmpty() && !path.endsWith(QLatin1String(kShootFileSuffix), Qt::CaseInsensitive))
            path += QLatin1String(kShootFileSuffix);
        return path;
    }
    return QFileDialog::getOpenFileName(m_ctx.window, QString(), QString(), filter);
}

void ShootRoutes::Show(const char* textKey) const {
    const QString key = QString::fromLatin1(textKey);
    if (m_ctx.showMessage) {
        m_ctx.showMessage(key);
        return;
    }
    const int dpi = m_ctx.window ? m_ctx.window->Scale() : CMsgWnd::kDefaultDpi;
    ShowMessage(m_ctx.window, QString(), key, dpi, true, kButtonsOk);
}

} // namespace nk7x
