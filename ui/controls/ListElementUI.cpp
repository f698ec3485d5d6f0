#include "ui/controls/ListElementUI.h"

#include "ui/UiNotify.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOption>
#include <QTimerEvent>

namespace nk7x {

CListElementUI::CListElementUI(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_StyledBackground);
    setAttribute(Qt::WA_Hover);
    setFocusPolicy(Qt::ClickFocus);
}

void CListElementUI::Select(bool selected) {
    if (selected && parentWidget()) {
        for (QObject* sibling : parentWidget()->children()) {
            auto* row = qobject_cast<CListElementUI*>(sibling);
            if (row && row != this && row->m_selected)
                row->Select(false);
        }
    }
    if (m_selected == selected)
        return;
    m_selected = selected;
    // Lets the theme style selected rows ([selected="true"]).
    setProperty("selected", selected);
    style()->unpolish(this);
    style()->polish(this);
    update();
}

void CListElementUI::SetMouseEnabled(bool enabled) {
    setAttribute(Qt::WA_TransparentForMouseEvents, !enabled);
}

void CListElementUI::Activate() {
    if (isEnabled())
        RaiseNotify(this, QStringLiteral("itemactivate"));
}

void CListElementUI::mousePressEvent(QMouseEvent* event) {
    if (!isEnabled() || (event->button() != Qt::LeftButton && event->button() != Qt::RightButton)) {
        QWidget::mousePressEvent(event);
        return;
    }
    if (RaisesItemClick())
        RaiseNotify(this, QStringLiteral("itemclick"));
    Select(true);
    event->accept();
}

void CListElementUI::mouseDoubleClickEvent(QMouseEvent* event) {
    if (!isEnabled() || event->button() != Qt::LeftButton) {
        QWidget::mouseDoubleClickEvent(event);
        return;
    }
    Activate();
    event->accept();
}

void CListElementUI::keyPressEvent(QKeyEvent* event) {
    if (isEnabled() && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        Activate();
        RaiseNotify(this, QStringLiteral("return"));
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void CListElementUI::contextMenuEvent(QContextMenuEvent* event) {
    if (m_contextMenuUsed && isEnabled()) {
        const QPoint g = event->globalPos();
        RaiseNotify(this, QStringLiteral("menu"), g.x(), g.y());
        event->accept();
        return;
    }
    QWidget::contextMenuEvent(event);
}

void CListElementUI::timerEvent(QTimerEvent* event) {
    RaiseNotify(this, QStringLiteral("timer"), event->timerId());
}

void CListElementUI::enterEvent(QEnterEvent* event) {
    QWidget::enterEvent(event);
    if (isEnabled() && !m_hot) {
        m_hot = true;
        update();
    }
}

void CListElementUI::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    if (m_hot) {
        m_hot = false;
        update();
    }
}

void CListElementUI::paintEvent(QPaintEvent*) {
    QStyleOption opt;
    opt.initFrom(this);
    QPainter p(this);
    style()->drawPrimitive(QStyle::PE_Widget, &opt, &p, this);
}

} // namespace nk7x
