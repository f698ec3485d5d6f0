#include "ui/controls/SelectPanelUI.h"

#include "ui/UiNotify.h"
#include "ui/controls/DeviceKeyButtonUI.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyleOption>

#include <algorithm>

namespace nk7x {

// Draws the drag rectangle above the key buttons; it never takes the pointer.
class CSelectPanelUI::Overlay : public QWidget {
  public:
    explicit Overlay(CSelectPanelUI* panel) : QWidget(panel), m_panel(panel) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setObjectName(QStringLiteral("select_panel_overlay"));
        hide();
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        const EdgeRect s = m_panel->SelectionRect();
        if (s.IsEmpty())
            return;
        QPainter p(this);
        QColor c = palette().color(QPalette::Highlight);
        QColor fill = c;
        fill.setAlpha(48);
        p.setPen(QPen(c, 1.0));
        p.setBrush(fill);
        p.drawRect(QRectF(s.left + 0.5, s.top + 0.5, s.Width() - 1.0, s.Height() - 1.0));
    }

  private:
    CSelectPanelUI* m_panel;
};

CSelectPanelUI::CSelectPanelUI(QWidget* parent) : QWidget(parent), m_overlay(new Overlay(this)) {
    setAttribute(Qt::WA_StyledBackground);
}

CSelectPanelUI::~CSelectPanelUI() = default;

EdgeRect CSelectPanelUI::SpanRect(const QPoint& a, const QPoint& b) {
    return EdgeRect{std::min(a.x(), b.x()), std::min(a.y(), b.y()), std::max(a.x(), b.x()),
                    std::max(a.y(), b.y())};
}

bool CSelectPanelUI::Intersects(const EdgeRect& a, const EdgeRect& b) {
    return std::max(a.left, b.left) < std::min(a.right, b.right) &&
           std::max(a.top, b.top) < std::min(a.bottom, b.bottom);
}

void CSelectPanelUI::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !isEnabled()) {
        QWidget::mousePressEvent(event);
        return;
    }
    m_start = event->position().toPoint();
    m_current = m_start;
    m_pressed = true;
    m_dragging = false;
    event->accept();
}

void CSelectPanelUI::mouseMoveEvent(QMouseEvent* event) {
    if (!m_pressed) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    if (!(event->buttons() & Qt::LeftButton)) {
        // The release went elsewhere (a popup took the pointer): the drag is over, unapplied.
        m_pressed = false;
        m_dragging = false;
        m_overlay->hide();
        QWidget::mouseMoveEvent(event);
        return;
    }
    m_dragging = true;
    m_current = event->position().toPoint();
    m_selection = SpanRect(m_start, m_current);
    m_overlay->setGeometry(rect());
    m_overlay->raise();
    m_overlay->show();
    m_overlay->update();
    event->accept();
}

void CSelectPanelUI::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !m_pressed) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    m_pressed = false;
    event->accept();
    if (!m_dragging)
        return; // a click without movement selects nothing
    m_dragging = false;
    m_current = event->position().toPoint();
    m_selection = SpanRect(m_start, m_current);
    m_overlay->hide();
    ApplySelection();
    update();
    RaiseNotify(this, QStringLiteral("click_select_end"));
}

void CSelectPanelUI::ApplySelection() {
    for (QObject* child : children()) {
        auto* key = qobject_cast<CDeviceKeyButtonUI*>(child);
        if (!key)
            continue;
        // A key the picture does not show cannot be meant by the user.
        if (key->isHidden()) {
            key->SetDragSelected(false);
            continue;
        }
        const QRect g = key->geometry();
        const EdgeRect r{g.x(), g.y(), g.x() + g.width(), g.y() + g.height()};
        key->SetDragSelected(Intersects(r, m_selection));
    }
}

void CSelectPanelUI::paintEvent(QPaintEvent*) {
    QStyleOption opt;
    opt.initFrom(this);
    QPainter p(this);
    style()->drawPrimitive(QStyle::PE_Widget, &opt, &p, this);
}

void CSelectPanelUI::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (m_overlay->isVisible())
        m_overlay->setGeometry(rect());
}

} // namespace nk7x
