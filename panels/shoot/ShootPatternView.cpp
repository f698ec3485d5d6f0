#include "panels/shoot/ShootPatternView.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace nk7x {
namespace {

// Colours of the page's dark theme.
const QColor kBackground(0x1e, 0x21, 0x28);
const QColor kBorder(0x2a, 0x2f, 0x39);
const QColor kGrid(0x26, 0x2a, 0x33);
const QColor kAxis(0x3a, 0x40, 0x4c);
const QColor kPath(0x2f, 0x6b, 0xff, 150);
const QColor kDot(0x8f, 0xc4, 0xff);
const QColor kSelected(0xff, 0xc5, 0x6b);

// A pattern smaller than this many counts is not blown up to fill the picture.
constexpr double kMinSpan = 40.0;

} // namespace

ShootPatternView::ShootPatternView(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void ShootPatternView::SetBullets(std::vector<ShootBullet> bullets) {
    if (bullets == m_bullets)
        return;
    m_bullets = std::move(bullets);
    update();
}

void ShootPatternView::SetSelectedBullet(int bullet) {
    if (bullet == m_selected)
        return;
    m_selected = bullet;
    update();
}

std::vector<QPointF> ShootPatternView::BulletPoints(const std::vector<ShootBullet>& bullets) {
    std::vector<QPointF> points;
    points.reserve(bullets.size());
    double x = 0;
    double y = 0;
    for (const ShootBullet& b : bullets) {
        x += b.left ? -b.x : b.x;
        y += b.up ? b.y : -b.y;
        points.emplace_back(x, y);
    }
    return points;
}

void ShootPatternView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, true);
    const QRectF frame = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const double radius = std::min(6.0, frame.height() / 8);
    p.setPen(kBorder);
    p.setBrush(kBackground);
    p.drawRoundedRect(frame, radius, radius);

    const double unit = std::max(2.0, std::min(width(), height()) / 80.0); // dot radius
    const QRectF area = frame.adjusted(unit * 5, unit * 5, -unit * 5, -unit * 5);
    if (area.width() <= 0 || area.height() <= 0)
        return;

    const std::vector<QPointF> points = BulletPoints(m_bullets);
    // The extent of the path, the start included, with the start in the middle when it is small.
    double minX = 0, maxX = 0, minY = 0, maxY = 0;
    for (const QPointF& pt : points) {
        minX = std::min(minX, pt.x());
        maxX = std::max(maxX, pt.x());
        minY = std::min(minY, pt.y());
        maxY = std::max(maxY, pt.y());
    }
    const auto widen = [](double& lo, double& hi) {
        if (hi - lo < kMinSpan) {
            const double grow = (kMinSpan - (hi - lo)) / 2;
            lo -= grow;
            hi += grow;
        }
    };
    widen(minX, maxX);
    widen(minY, maxY);
    const double scale = std::min(area.width() / (maxX - minX), area.height() / (maxY - minY));
    const QPointF centre((minX + maxX) / 2, (minY + maxY) / 2);
    const auto toScreen = [&](const QPointF& pt) {
        return QPointF(area.center().x() + (pt.x() - centre.x()) * scale,
                       area.center().y() - (pt.y() - centre.y()) * scale);
    };

    // A grid of ten-count squares, and the axes through the start.
    const double step = 10 * scale;
    if (step >= 6) {
        p.setPen(QPen(kGrid, 1));
        const QPointF origin = toScreen(QPointF(0, 0));
        for (double gx = origin.x(); gx < frame.right(); gx += step)
            p.drawLine(QPointF(gx, frame.top() + 1), QPointF(gx, frame.bottom() - 1));
        for (double gx = origin.x() - step; gx > frame.left(); gx -= step)
            p.drawLine(QPointF(gx, frame.top() + 1), QPointF(gx, frame.bottom() - 1));
        for (double gy = origin.y(); gy < frame.bottom(); gy += step)
            p.drawLine(QPointF(frame.left() + 1, gy), QPointF(frame.right() - 1, gy));
        for (double gy = origin.y() - step; gy > frame.top(); gy -= step)
            p.drawLine(QPointF(frame.left() + 1, gy), QPointF(frame.right() - 1, gy));
    }
    const QPointF start = toScreen(QPointF(0, 0));
    p.setPen(QPen(kAxis, 1));
    p.drawLine(QPointF(start.x(), frame.top() + 1), QPointF(start.x(), frame.bottom() - 1));
    p.drawLine(QPointF(frame.left() + 1, start.y()), QPointF(frame.right() - 1, start.y()));

    if (points.empty())
        return;
    QPainterPath path(start);
    for (const QPointF& pt : points)
        path.lineTo(toScreen(pt));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kPath, std::max(1.0, unit * 0.6), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(path);

    p.setPen(Qt::NoPen);
    p.setBrush(kAxis);
    p.drawEllipse(start, unit, unit);
    p.setBrush(kDot);
    for (const QPointF& pt : points)
        p.drawEllipse(toScreen(pt), unit, unit);

    if (m_selected >= 0 && m_selected < static_cast<int>(points.size())) {
        const QPointF at = toScreen(points[static_cast<std::size_t>(m_selected)]);
        p.setBrush(kSelected);
        p.drawEllipse(at, unit * 1.4, unit * 1.4);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(kSelected, std::max(1.0, unit * 0.5)));
        p.drawEllipse(at, unit * 3, unit * 3);
        // The bullet's number beside it, kept inside the picture.
        QFont f = font();
        f.setBold(true);
        p.setFont(f);
        const QString label = QString::number(m_selected + 1);
        const QRectF box = p.fontMetrics().boundingRect(label).adjusted(-2, 0, 2, 0);
        QPointF topLeft(at.x() + unit * 3.5, at.y() - box.height() / 2);
        if (topLeft.x() + box.width() > frame.right() - 2)
            topLeft.setX(at.x() - unit * 3.5 - box.width());
        topLeft.setY(std::clamp(topLeft.y(), frame.top() + 2, frame.bottom() - 2 - box.height()));
        p.setPen(kSelected);
        p.drawText(QRectF(topLeft, box.size()), Qt::AlignCenter, label);
    }
}

} // namespace nk7x
