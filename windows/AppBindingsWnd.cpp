#include "windows/AppBindingsWnd.h"

#include <QKeyEvent>
#include <QPushButton>
#include <QSignalBlocker>

namespace nk7x {

CAppBindingsWnd::CAppBindingsWnd(QWidget* owner, AppBindingsWndContext context)
    : CSecondaryWnd(owner, ClassName()), m_ctx(std::move(context)) {
    setAttribute(Qt::WA_DeleteOnClose, true);
}

bool CAppBindingsWnd::Build() {
    if (!BuildSkinLayout(QStringLiteral("XML_APPBINDINGS"), QStringLiteral("xml/AppBindingsWnd.ui")))
        return false;
    m_bound = qobject_cast<QListWidget*>(FindControl(QStringLiteral("bindings_list")));
    m_running = qobject_cast<QListWidget*>(FindControl(QStringLiteral("bindings_running_list")));
    m_edit = qobject_cast<QLineEdit*>(FindControl(QStringLiteral("bindings_app_edit")));
    m_default = qobject_cast<QCheckBox*>(FindControl(QStringLiteral("bindings_default_check")));
    m_profile = qobject_cast<QLabel*>(FindControl(QStringLiteral("bindings_profile_label")));
    m_tracking = qobject_cast<QLabel*>(FindControl(QStringLiteral("bindings_tracking_state")));
    m_remove = FindControl(QStringLiteral("bindings_remove_btn"));
    if (!m_bound || !m_running || !m_edit || !m_default)
        return false;
    for (const char* hidden : {"minbtn", "maxbtn", "restorebtn"})
        if (QWidget* w = FindControl(QString::fromLatin1(hidden)))
            w->hide();
    // Picking a running application puts its id in the field; a double click binds it at once.
    connect(m_running, &QListWidget::currentTextChanged, this, [this](const QString& app) {
        if (!app.isEmpty())
            m_edit->setText(app);
    });
    connect(m_running, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
        m_edit->setText(item->text());
        AddTyped();
    });
    connect(m_bound, &QListWidget::currentRowChanged, this, [this](int row) {
        if (m_remove)
            m_remove->setEnabled(row >= 0);
    });
    connect(m_edit, &QLineEdit::returnPressed, this, [this] { AddTyped(); });
    connect(m_default, &QCheckBox::toggled, this, [this](bool on) {
        if (m_ctx.setDefault && !m_ctx.setDefault(on))
            Refresh();
    });
    m_edit->setPlaceholderText(Translate(QStringLiteral("bindings_app_edit_placeholder")));
    Refresh();
    resize(kWidth, kHeight);
    return true;
}

void CAppBindingsWnd::Refresh() {
    if (m_profile)
        m_profile->setText(Translate(QStringLiteral("bindings_profile_text")).arg(m_ctx.profileName));
    m_bound->clear();
    if (m_ctx.boundApps)
        m_bound->addItems(m_ctx.boundApps());
    if (m_remove)
        m_remove->setEnabled(m_bound->currentRow() >= 0);
    const QString picked = m_running->currentItem() ? m_running->currentItem()->text() : QString();
    {
        const QSignalBlocker quiet(m_running);
        m_running->clear();
        if (m_ctx.runningApps)
            m_running->addItems(m_ctx.runningApps());
        const QList<QListWidgetItem*> again = m_running->findItems(picked, Qt::MatchExactly);
        if (!again.isEmpty())
            m_running->setCurrentItem(again.first());
    }
    {
        const QSignalBlocker quiet(m_default);
        m_default->setChecked(m_ctx.isDefault && m_ctx.isDefault());
    }
    if (m_tracking)
        m_tracking->setText(m_ctx.trackingState ? m_ctx.trackingState() : QString());
}

void CAppBindingsWnd::AddTyped() {
    const QString app = m_edit->text().trimmed();
    if (app.isEmpty() || !m_ctx.bind)
        return;
    if (m_ctx.bind(app))
        m_edit->clear();
    Refresh();
}

void CAppBindingsWnd::RemoveSelected() {
    QListWidgetItem* item = m_bound->currentItem();
    if (!item || !m_ctx.unbind)
        return;
    (void)m_ctx.unbind(item->text());
    Refresh();
}

void CAppBindingsWnd::RebuildTexts() {
    ReloadLanguageTexts();
    if (m_edit)
        m_edit->setPlaceholderText(Translate(QStringLiteral("bindings_app_edit_placeholder")));
    Refresh();
}

void CAppBindingsWnd::Notify(const UiNotify& msg) {
    if (msg.type != QLatin1String("click"))
        return;
    if (msg.name == QLatin1String("closebtn") || msg.name == QLatin1String("bindings_close_btn"))
        close();
    else if (msg.name == QLatin1String("bindings_add_btn"))
        AddTyped();
    else if (msg.name == QLatin1String("bindings_remove_btn"))
        RemoveSelected();
}

void CAppBindingsWnd::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    CSecondaryWnd::keyPressEvent(event);
}

} // namespace nk7x
