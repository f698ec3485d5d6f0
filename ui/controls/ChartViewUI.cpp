#include "ui/controls/ChartViewUI.h"

#include "ui/controls/SkinImage.h"

#include <QPainter>

#include <cmath>

namespace nk7x {
namespace {

QColor SliceColour(int i) {
    static const QColor kColours[] = {QColor(0x2E, 0x9B, 0xFF), QColor(0xFF, 0x8A, 0x3D),
                                      QColor(0x4C, 0xD9, 0x64), QColor(0xE0, 0x4F, 0x8F),
                                      QColor(0xB3, 0x8C, 0xFF), QColor(0xF5, 0xD0, 0x4C)};
    return kColours[i % int(std::size(kColours))];
}

bool AttrBool(const QString& v) {
    return v.trimmed().compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 ||
           v.trimmed() == QLatin1String("1");
}

} // namespace

CChartViewUI::CChartViewUI(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_StyledBackground);
}

void CChartViewUI::AddValue(const QString& label, double value) {
    if (!std::isfinite(value) || value < 0)
        value = 0;
    m_items.append(Item{label, value});
    update();
}

void CChartViewUI::RemoveAll() {
    m_items.clear();
    update();
}

void CChartViewUI::SetView(const QString& view) {
    // "histpgram" is how layouts spell the bar chart.
    m_kind = view.trimmed().compare(QLatin1String("histpgram"), Qt::CaseInsensitive) == 0 ? ViewKind::Bars
                                                                                          : ViewKind::Pie;
    update();
}

bool CChartViewUI::SetAttribute(const QString& name, const QString& value) {
    const QString n = name.trimmed().toLower();
    bool ok = false;
    if (n == QLatin1String("view"))
        SetView(value);
    else if (n == QLatin1String("shadowimage"))
        SetShadowImage(value);
    else if (n == QLatin1String("shadowimageheight"))
        SetShadowImageHeight(value.toInt(&ok) ? value.toInt() : 0);
    else if (n == QLatin1String("pillarimage"))
        SetPillarImage(value);
    else if (n == QLatin1String("pillarimagewidth"))
        SetPillarImageWidth(value.toInt(&ok) ? value.toInt() : 0);
    else if (n == QLatin1String("showhtml"))
        SetShowHtml(AttrBool(value));
    else if (n == QLatin1String("showtext"))
        SetShowText(AttrBool(value));
    else if (n == QLatin1String("font"))
        SetFontIndex(value.toInt(&ok) ? value.toInt() : -1);
    else
        return false;
    return true;
}

void CChartViewUI::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    double total = 0;
    double maximum = 0;
    for (const Item& it : m_items) {
        total += it.value;
        maximum = std::max(maximum, it.value);
    }
    const QRectF area = QRectF(rect()).adjusted(6, 6, -6, -6);
    if (m_items.isEmpty() || total <= 0 || area.width() < 4 || area.height() < 4)
        return;
    if (m_kind == ViewKind::Pie)
        PaintPie(p, area, total);
    else
        PaintBars(p, area, maximum);
}

void CChartViewUI::PaintPie(QPainter& p, const QRectF& area, double total) {
    const double side = std::min(area.width(), area.height());
    const QRectF disc(area.center().x() - side / 2, area.center().y() - side / 2, side, side);
    int start = 90 * 16;
    int i = 0;
    p.setPen(QPen(palette().color(QPalette::Window), 1.5));
    for (const Item& it : m_items) {
        const int span = int(std::lround(-it.value / total * 360.0 * 16));
        p.setBrush(SliceColour(i));
        p.drawPie(disc, start, span);
        if (m_showText && !it.label.isEmpty() && span != 0) {
            const double mid = (start + span / 2.0) / 16.0 * M_PI / 180.0;
            const QPointF at(disc.center().x() + std::cos(mid) * side * 0.32,
                             disc.center().y() - std::sin(mid) * side * 0.32);
            p.save();
            p.setPen(Qt::white);
            p.drawText(QRectF(at.x() - 40, at.y() - 10, 80, 20), Qt::AlignCenter, it.label);
            p.restore();
        }
        start += span;
        ++i;
    }
}

void CChartViewUI::PaintBars(QPainter& p, const QRectF& area, double maximum) {
    const int n = int(m_items.size());
    const double textHeight = m_showText ? p.fontMetrics().height() + 2 : 0;
    const double baseY = area.bottom() - textHeight - m_shadowHeight;
    const double slot = area.width() / n;
    const double barWidth = m_pillarWidth > 0 ? std::min<double>(m_pillarWidth, slot) : slot * 0.6;
    if (!m_shadowImage.isEmpty() && m_shadowHeight > 0)
        DrawImageString(p, QRect(int(area.left()), int(baseY), int(area.width()), m_shadowHeight),
                        m_shadowImage);
    for (int i = 0; i < n; ++i) {
        const Item& it = m_items[i];
        const double h = maximum > 0 ? (baseY - area.top()) * it.value / maximum : 0;
        const QRectF bar(area.left() + slot * i + (slot - barWidth) / 2, baseY - h, barWidth, h);
        if (h >= 1) {
            if (m_pillarImage.isEmpty() || !DrawImageString(p, bar.toAlignedRect(), m_pillarImage)) {
                p.setPen(Qt::NoPen);
                p.setBrush(SliceColour(i));
                p.drawRoundedRect(bar, 2, 2);
            }
        }
        if (m_showText && !it.label.isEmpty()) {
            p.setPen(palette().color(QPalette::WindowText));
            p.drawText(QRectF(area.left() + slot * i, area.bottom() - textHeight, slot, textHeight),
                       Qt::AlignCenter, it.label);
        }
    }
}

} // namespace nk7x
