#include "ui/controls/WndUI.h"

#include <QEvent>

namespace nk7x {

CWndUI::CWndUI(QWidget* parent) : QWidget(parent) {}

CWndUI::~CWndUI() {
    UnwatchAncestors();
}

void CWndUI::Attach(QWidget* window) {
    if (window == this)
        return;
    UnwatchAncestors();
    m_window = window;
    if (!m_window)
        return;
    if (m_window->isWindow())
        m_window->setAttribute(Qt::WA_ShowWithoutActivating);
    WatchAncestors();
    Place();
}

QRect CWndUI::TargetGeometry() const {
    const QPoint global = mapToGlobal(QPoint(0, 0));
    if (!m_window || m_window->isWindow() || !m_window->parentWidget())
        return QRect(global, size());
    return QRect(m_window->parentWidget()->mapFromGlobal(global), size());
}

void CWndUI::Place() {
    if (!m_window)
        return;
    m_window->setGeometry(TargetGeometry());
    const bool shown = isVisible();
    if (shown != m_window->isVisible())
        m_window->setVisible(shown);
}

void CWndUI::WatchAncestors() {
    // Moving any ancestor (the main window on the screen included) moves the control.
    for (QWidget* w = parentWidget(); w; w = w->parentWidget()) {
        w->installEventFilter(this);
        m_watched.append(w);
    }
}

void CWndUI::UnwatchAncestors() {
    for (const QPointer<QWidget>& w : m_watched) {
        if (w)
            w->removeEventFilter(this);
    }
    m_watched.clear();
}

bool CWndUI::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Show:
    case QEvent::Hide:
        Place();
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

bool CWndUI::event(QEvent* event) {
    if (event->type() == QEvent::ParentChange && m_window) {
        UnwatchAncestors();
        WatchAncestors();
        Place();
    }
    return QWidget::event(event);
}

void CWndUI::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    Place();
}

void CWndUI::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Place();
}

void CWndUI::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    Place();
}

void CWndUI::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    Place();
}

} // namespace nk7x
