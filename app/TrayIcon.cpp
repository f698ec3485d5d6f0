#include "app/TrayIcon.h"

#include "platform/DebugLog.h"
#include "platform/Folders.h"
#include "ui/LanguageTexts.h"
#include "ui/MenuLayout.h"
#include "ui/UiWindow.h"

#include <QAction>
#include <QIcon>
#include <QMenu>
#include <QSystemTrayIcon>

namespace nk7x {

TrayIcon::TrayIcon(TrayIconContext context) : m_ctx(std::move(context)) {}

TrayIcon::~TrayIcon() {
    // The icon refers to the menu; it goes first.
    delete m_icon;
    m_icon = nullptr;
    m_menu.reset();
}

void TrayIcon::Create(const QIcon& icon, const QString& menuFile) {
    UiWindow* window = m_ctx.window;
    m_icon = new QSystemTrayIcon(icon, window);
    m_icon->setToolTip(QString::fromUtf8(kProductName));
    m_menu = BuildMenu(menuFile, [this](const QString& item) { OnMenuChoice(item); });
    if (m_menu) {
        m_menu->setStyleSheet(window->styleSheet());
        m_icon->setContextMenu(m_menu.get());
    }
    QObject::connect(m_icon, &QSystemTrayIcon::activated, window,
                     [this](QSystemTrayIcon::ActivationReason why) {
                         if (why == QSystemTrayIcon::Trigger)
                             OnLeftClick();
                     });
    if (Available())
        m_icon->show();
}

void TrayIcon::Hide() {
    if (m_icon)
        m_icon->hide();
}

bool TrayIcon::Available() const {
    switch (m_ctx.presence) {
    case TrayPresence::Absent:
        return false;
    case TrayPresence::Present:
        return true;
    case TrayPresence::Auto:
        break;
    }
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void TrayIcon::OnMenuChoice(const QString& item) {
    if (!m_ctx.running())
        return;
    DebugLogf("menu %s", item.toUtf8().constData());
    if (item == QLatin1String("exit")) {
        m_ctx.closeSecondaryWindows();
        m_ctx.window->close();
    } else if (item == QLatin1String("about_menu")) {
        m_ctx.openAbout();
    } else if (item == QLatin1String("setwnd_menu")) {
        m_ctx.openSettings();
    }
}

void TrayIcon::OnLeftClick() {
    if (!m_ctx.running())
        return;
    UiWindow* window = m_ctx.window;
    m_ctx.refreshDeviceList();
    m_ctx.closeSecondaryWindows();
    if (window->isVisible() && !window->isMinimized()) {
        window->hide();
        return;
    }
    m_ctx.applyScalePolicy();
    FrontAndRefresh();
    window->update();
}

void TrayIcon::HideWindow() {
    m_ctx.closeSecondaryWindows();
    if (Available())
        m_ctx.window->hide();
    else
        m_ctx.window->showMinimized();
}

void TrayIcon::OnInstanceRequest(qint64 lParam) {
    // (0, 0) is the end of the start-up scan, which ends a start in the tray; a second start asks
    // with (0, 1) and is always answered.
    const bool startScanInTray = lParam == 0 && m_ctx.startHidden && Available();
    m_ctx.startHidden = false;
    if (startScanInTray) {
        m_ctx.refreshDeviceList();
        return;
    }
    FrontAndRefresh();
}

void TrayIcon::FrontAndRefresh() {
    m_ctx.refreshDeviceList();
    if (m_ctx.startHidden && Available())
        return;
    UiWindow* window = m_ctx.window;
    window->showNormal();
    // Brought to the front without staying on top.
    window->raise();
    window->activateWindow();
}

void TrayIcon::Retranslate(const LanguageTexts& texts) {
    if (!m_menu)
        return;
    for (QAction* a : m_menu->actions()) {
        QString key = a->property("textKey").toString();
        if (!key.isEmpty())
            a->setText(texts.Text(key));
    }
}

} // namespace nk7x
