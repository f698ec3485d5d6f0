#include "ui/controls/CircleProgressUI.h"

#include <QPainter>

#include <algorithm>

namespace nk7x {

CCircleProgressUI::CCircleProgressUI(QWidget* parent) : QProgressBar(parent) {
    // The caption is whatever the layout sets as format; none by default.
    setFormat(QString());
    setTextVisible(true);
}

int CCircleProgressUI::SweepDegrees(int value, int minimum, int maximum) {
    if (maximum <= minimum)
        return 0;
    const long long range = static_cast<long long>(maximum) - minimum;
    const long long reached = std::clamp<long long>(static_cast<long long>(value) - minimum, 0, range);
    return static_cast<int>(reached * 360 / range);
}

void CCircleProgressUI::SetBkColor(const QColor& c) {
    m_bk = c;
    update();
}

void CCircleProgressUI::SetForeColor(const QColor& c) {
    m_fore = c;
    update();
}

void CCircleProgressUI::SetInnerColor(const QColor& c) {
    m_inner = c;
    update();
}

void CCircleProgressUI::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    const QRectF box = QRectF(rect());
    p.setBrush(m_bk);
    p.drawEllipse(box);

    const int sweep = SweepDegrees();
    if (sweep > 0) {
        // Starts at the bottom and runs clockwise (Qt counts angles counter-clockwise).
        p.setBrush(m_fore);
        p.drawPie(box, -90 * 16, -sweep * 16);
    }
    const QRectF inner = box.adjusted(kRingWidth, kRingWidth, -kRingWidth, -kRingWidth);
    if (inner.width() > 0 && inner.height() > 0) {
        p.setBrush(m_inner);
        p.drawEllipse(inner);
    }
    const QString caption = text();
    if (isTextVisible() && !caption.isEmpty()) {
        // The caption sits on the inner disc, so it takes the colour that reads on it.
        p.setPen(m_inner.lightness() > 140 ? QColor(0x20, 0x22, 0x28) : QColor(0xEE, 0xEE, 0xEE));
        p.drawText(box, Qt::AlignCenter, caption);
    }
}

} // namespace nk7x
