#include "ui/controls/CloudShareListItemUI.h"

#include <QPainter>

namespace nk7x {

QColor CCloudShareListItemUI::HotBorderColor() const {
    for (const QWidget* owner = parentWidget(); owner; owner = owner->parentWidget()) {
        const QVariant v = owner->property("itemhotbordercolor");
        if (v.isValid()) {
            const QColor c = v.value<QColor>();
            if (c.isValid())
                return c;
            const QColor named(v.toString());
            if (named.isValid())
                return named;
        }
    }
    return m_hotBorder.isValid() ? m_hotBorder : palette().color(QPalette::Highlight);
}

void CCloudShareListItemUI::paintEvent(QPaintEvent* event) {
    CListElementUI::paintEvent(event);
    if (!IsHot() || IsSelected())
        return;
    QPainter p(this);
    p.setPen(QPen(HotBorderColor(), 1.0));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
}

} // namespace nk7x
