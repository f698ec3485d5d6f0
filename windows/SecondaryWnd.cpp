#include "windows/SecondaryWnd.h"

#include "platform/DebugLog.h"
#include "platform/Folders.h"
#include "ui/AccessibleNames.h"
#include "ui/ResourceList.h"
#include "ui/Theme.h"
#include "windows/MessageBox.h"

#include <QAbstractButton>
#include <QEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>

namespace nk7x {
CSecondaryWnd::CSecondaryWnd(QWidget* owner, const QString& objectName) : UiWindow(nullptr), m_owner(owner) {
    setObjectName(objectName);
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
}

CSecondaryWnd::~CSecondaryWnd() = default;

QString CSecondaryWnd::SkinFolder() {
    const QString& folder = GetMsgWndSetup().skinFolder;
    if (!folder.isEmpty())
        return folder;
    return QString::fromStdString(JoinPath(ProgramFolder(), "skin"));
}

bool CSecondaryWnd::BuildSkinLayout(const QString& resourceName, const QString& fallbackPath) {
    const QString skin = SkinFolder();
    ResourceList resources;
    resources.Load(skin);
    const QString layout = resources.Contains(resourceName) ? resourceName : fallbackPath;
    if (!LoadLayout(resources, layout))
        return false;
    // The layout carries its look; the window applies it scaled.
    if (QWidget* root = Root(); root && !root->styleSheet().isEmpty()) {
        const QString qss = ResolveSkinUrls(root->styleSheet(), skin);
        root->setStyleSheet(QString());
        SetBaseStyleSheet(qss);
    }
    if (const FontTable* fonts = GetMsgWndSetup().fonts)
        ApplyFonts(*fonts);
    ReloadLanguageTexts();
    return true;
}

void CSecondaryWnd::SetControlText(QWidget* control, const QString& text) {
    if (auto* label = qobject_cast<QLabel*>(control))
        label->setText(text);
    else if (auto* button = qobject_cast<QAbstractButton*>(control))
        button->setText(text);
}

bool CSecondaryWnd::IsAllowedDpi(int dpi) {
    return nk7x::IsAllowedDpi(dpi);
}

int CSecondaryWnd::ApplyDpi(int dpi, const char* errorLine) {
    if (!IsAllowedDpi(dpi)) {
        DebugLog(errorLine);
        dpi = kDefaultDpi;
    }
    m_dpi = dpi;
    SetScale(dpi);
    return dpi;
}

void CSecondaryWnd::CentreOnOwner() {
    QRect area;
    QWidget* ownerWindow = m_owner ? m_owner->window() : nullptr;
    if (ownerWindow && ownerWindow->isVisible())
        area = ownerWindow->frameGeometry();
    else if (QScreen* screen = ownerWindow ? ownerWindow->screen() : QGuiApplication::primaryScreen())
        area = screen->availableGeometry();
    if (area.isValid())
        move(area.center() - QPoint(width() / 2, height() / 2));
}

QString CSecondaryWnd::Translate(const QString& key) {
    const MsgWndSetup& setup = GetMsgWndSetup();
    if (!setup.lookup || (setup.hasText && !setup.hasText(key)))
        return key;
    return setup.lookup(key);
}

void CSecondaryWnd::ReloadLanguageTexts() {
    const MsgWndSetup& setup = GetMsgWndSetup();
    if (setup.lookup) {
        for (QWidget* w : findChildren<QWidget*>()) {
            const QString key = w->property("textKey").toString();
            // A key the language lacks keeps the layout's own words.
            if (!key.isEmpty() && (!setup.hasText || setup.hasText(key)))
                SetControlText(w, setup.lookup(key));
            const QString tip = w->property("tooltipKey").toString();
            if (!tip.isEmpty() && (!setup.hasText || setup.hasText(tip)))
                w->setToolTip(setup.lookup(tip));
        }
    }
    NameControls(this);
}

void CSecondaryWnd::NameControls(QWidget* window) {
    // A key the language lacks gives no name: the layout's own tooltip names the control then.
    NameForAccessibility(window, [](const QString& key) {
        const MsgWndSetup& setup = GetMsgWndSetup();
        if (!setup.lookup || (setup.hasText && !setup.hasText(key)))
            return QString();
        return setup.lookup(key);
    });
}

bool CSecondaryWnd::HandleCaptionClick(const QString& name) {
    if (name == QLatin1String("minbtn"))
        showMinimized();
    else if (name == QLatin1String("maxbtn"))
        showMaximized();
    else if (name == QLatin1String("restorebtn"))
        showNormal();
    else
        return false;
    return true;
}

void CSecondaryWnd::changeEvent(QEvent* event) {
    if (event->type() == QEvent::WindowStateChange) {
        // The caption offers the way back from whatever the window is now.
        const bool maximised = isMaximized();
        if (QWidget* max = FindControl(QStringLiteral("maxbtn")))
            max->setVisible(!maximised);
        if (QWidget* restore = FindControl(QStringLiteral("restorebtn")))
            restore->setVisible(maximised);
    }
    UiWindow::changeEvent(event);
}

void CSecondaryWnd::mousePressEvent(QMouseEvent* event) {
    // The window has no frame: it is moved by dragging anywhere outside its controls.
    if (event->button() == Qt::LeftButton && !isMaximized()) {
        m_dragging = true;
        m_dragOffset = event->globalPosition().toPoint() - frameGeometry().topLeft();
        event->accept();
        return;
    }
    UiWindow::mousePressEvent(event);
}

void CSecondaryWnd::mouseMoveEvent(QMouseEvent* event) {
    if (m_dragging && (event->buttons() & Qt::LeftButton)) {
        move(event->globalPosition().toPoint() - m_dragOffset);
        event->accept();
        return;
    }
    UiWindow::mouseMoveEvent(event);
}

void CSecondaryWnd::mouseReleaseEvent(QMouseEvent* event) {
    m_dragging = false;
    UiWindow::mouseReleaseEvent(event);
}

} // namespace nk7x
