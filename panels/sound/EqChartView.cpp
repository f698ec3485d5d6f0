#include "panels/sound/EqChartView.h"

#include "panels/sound/AccessibleEqChart.h"

#include <QAbstractSlider>
#include <QEvent>
#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>

#include <algorithm>
#include <cmath>
#include <vector>

namespace nk7x {
namespace {

constexpr const char* kCaptions[EqChartView::kBands] = {"31", "62", "125", "250", "500",
                                                        "1k", "2k", "4k",  "8k",  "16k"};
// dB marks on the scale; the others between them are drawn fainter.
constexpr int kMajorStep = 10;
constexpr int kMinorStep = 5;
constexpr int kMinSliderWidth = 20;
constexpr int kGap = 6;

const QColor kPlotBack(0x1a, 0x1d, 0x23);
const QColor kMinorLine(0x22, 0x26, 0x2e);
const QColor kMajorLine(0x2c, 0x31, 0x3b);
const QColor kZeroLine(0x4a, 0x51, 0x5e);
const QColor kBandLine(0x25, 0x29, 0x32);
const QColor kScaleText(0x6c, 0x73, 0x80);
const QColor kValueText(0xaa, 0xb1, 0xbd);
const QColor kCurve(0x4d, 0x86, 0xff);
const QColor kCurveOff(0x4d, 0x53, 0x5e);

// The handle of `slider` at `value`, in the slider's coordinates, as its style places it.
QRect HandleRect(const QAbstractSlider* slider, int value) {
    QStyleOptionSlider opt;
    opt.initFrom(slider);
    opt.subControls = QStyle::SC_None;
    opt.activeSubControls = QStyle::SC_None;
    opt.orientation = slider->orientation();
    opt.minimum = slider->minimum();
    opt.maximum = slider->maximum();
    opt.sliderPosition = value;
    opt.sliderValue = value;
    opt.singleStep = slider->singleStep();
    opt.pageStep = slider->pageStep();
    if (auto* s = qobject_cast<const QSlider*>(slider)) {
        opt.tickPosition = s->tickPosition();
        opt.tickInterval = s->tickInterval();
    }
    if (slider->orientation() == Qt::Horizontal) {
        opt.state |= QStyle::State_Horizontal;
        opt.upsideDown = slider->invertedAppearance() != (opt.direction == Qt::RightToLeft);
    } else {
        opt.upsideDown = !slider->invertedAppearance();
    }
    return slider->style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, slider);
}

QString SignedNumber(int v) {
    return v > 0 ? QStringLiteral("+%1").arg(v) : QString::number(v);
}

// A smooth path through `points` (left to right) that passes every point: each stretch is a cubic
// whose tangents follow the neighbours, so the curve has no corners.
QPainterPath SmoothThrough(const std::vector<QPointF>& points) {
    QPainterPath path;
    if (points.empty())
        return path;
    path.moveTo(points.front());
    const std::size_t n = points.size();
    for (std::size_t i = 0; i + 1 < n; ++i) {
        const QPointF& p0 = points[i == 0 ? 0 : i - 1];
        const QPointF& p1 = points[i];
        const QPointF& p2 = points[i + 1];
        const QPointF& p3 = points[std::min(i + 2, n - 1)];
        path.cubicTo(p1 + (p2 - p0) / 6.0, p2 - (p3 - p1) / 6.0, p2);
    }
    return path;
}

} // namespace

EqChartView::EqChartView(QWidget* parent) : QWidget(parent) {
    AccessibleEqChart::Install();
}

void EqChartView::SetBandSliders(const std::array<QAbstractSlider*, kBands>& sliders) {
    for (int b = 0; b < kBands; ++b) {
        QAbstractSlider* s = sliders[static_cast<std::size_t>(b)];
        QPointer<QAbstractSlider>& kept = m_sliders[static_cast<std::size_t>(b)];
        if (kept == s)
            continue;
        if (kept)
            disconnect(kept, nullptr, this, nullptr);
        kept = s;
        if (s) {
            // While the user drags, the curve follows the handle.
            connect(s, &QAbstractSlider::valueChanged, this, qOverload<>(&QWidget::update));
            connect(s, &QAbstractSlider::rangeChanged, this, qOverload<>(&QWidget::update));
        }
    }
    PlaceSliders();
    update();
}

QAbstractSlider* EqChartView::BandSlider(int band) const {
    if (band < 0 || band >= kBands)
        return nullptr;
    return m_sliders[static_cast<std::size_t>(band)];
}

QString EqChartView::BandCaption(int band) {
    if (band < 0 || band >= kBands)
        return {};
    return QString::fromLatin1(kCaptions[band]);
}

QFont EqChartView::SmallFont() const {
    QFont f = font();
    if (f.pixelSize() > 0)
        f.setPixelSize(std::max(8, f.pixelSize() - 2));
    else
        f.setPointSizeF(std::max(6.0, f.pointSizeF() - 1.5));
    return f;
}

QRect EqChartView::PlotArea() const {
    const QFontMetrics fm(SmallFont());
    const int left = fm.horizontalAdvance(QStringLiteral("+20")) + 2 * kGap;
    const int top = fm.height() + kGap;
    const int bottom = fm.height() + kGap;
    return rect().adjusted(left, top, -kGap, -bottom);
}

QSize EqChartView::sizeHint() const {
    return {520, 190};
}

QSize EqChartView::minimumSizeHint() const {
    const QFontMetrics fm(SmallFont());
    return {kBands * (kMinSliderWidth + 4) + fm.horizontalAdvance(QStringLiteral("+20")) + 3 * kGap,
            4 * fm.height() + 60};
}

void EqChartView::PlaceSliders() {
    const QRect plot = PlotArea();
    if (plot.width() <= 0 || plot.height() <= 0)
        return;
    const double column = static_cast<double>(plot.width()) / kBands;
    for (int b = 0; b < kBands; ++b) {
        QAbstractSlider* s = m_sliders[static_cast<std::size_t>(b)];
        if (!s || s->parentWidget() != this)
            continue;
        const int width = std::min(std::max(s->minimumWidth(), kMinSliderWidth), static_cast<int>(column));
        const int centre = plot.left() + static_cast<int>(std::lround(column * (b + 0.5)));
        s->setGeometry(centre - width / 2, plot.top(), width, plot.height());
    }
}

void EqChartView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    PlaceSliders();
}

void EqChartView::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // The margins follow the font (the window's scale changes it).
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        PlaceSliders();
}

QAbstractSlider* EqChartView::AnySlider() const {
    for (const QPointer<QAbstractSlider>& s : m_sliders)
        if (s)
            return s;
    return nullptr;
}

std::optional<QPointF> EqChartView::BandPoint(int band) const {
    QAbstractSlider* s = BandSlider(band);
    if (!s)
        return std::nullopt;
    const QPointF centre = QRectF(HandleRect(s, s->value())).center();
    if (isAncestorOf(s))
        return QPointF(s->mapTo(this, QPoint(0, 0))) + centre;
    return QPointF(mapFromGlobal(s->mapToGlobal(QPoint(0, 0)))) + centre;
}

double EqChartView::YOf(double value) const {
    const QRect plot = PlotArea();
    QAbstractSlider* s = AnySlider();
    if (!s || s->maximum() == s->minimum()) {
        // No slider to follow: the scale spans the plot from +20 at the top to -20 at the bottom.
        const double span = 40.0;
        return plot.top() + (20.0 - value) / span * plot.height();
    }
    const QPoint origin =
        isAncestorOf(s) ? s->mapTo(this, QPoint(0, 0)) : mapFromGlobal(s->mapToGlobal(QPoint(0, 0)));
    const double yMin = origin.y() + QRectF(HandleRect(s, s->minimum())).center().y();
    const double yMax = origin.y() + QRectF(HandleRect(s, s->maximum())).center().y();
    return yMin + (value - s->minimum()) * (yMax - yMin) / (s->maximum() - s->minimum());
}

void EqChartView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, true);
    const QRect plot = PlotArea();
    if (plot.width() <= 0 || plot.height() <= 0)
        return;
    QAbstractSlider* any = AnySlider();
    const int lo = any ? any->minimum() : -20;
    const int hi = any ? any->maximum() : 20;
    const double yTop = YOf(hi);
    const double yBottom = YOf(lo);
    const double yZero = YOf(std::clamp(0, lo, hi));
    const double left = plot.left();
    const double right = plot.right() + 1.0;

    p.setPen(Qt::NoPen);
    p.setBrush(kPlotBack);
    p.drawRoundedRect(QRectF(left, yTop - kGap, right - left, yBottom - yTop + 2 * kGap), 5, 5);

    // The grid: every 5 dB, stronger every 10 dB, the 0 dB line strongest.
    const QFont small = SmallFont();
    p.setFont(small);
    const QFontMetrics fm(small);
    const int first = static_cast<int>(std::ceil(lo / static_cast<double>(kMinorStep))) * kMinorStep;
    for (int v = first; v <= hi; v += kMinorStep) {
        const double y = std::round(YOf(v)) + 0.5;
        const bool major = v % kMajorStep == 0;
        p.setPen(QPen(v == 0  ? kZeroLine
                      : major ? kMajorLine
                              : kMinorLine,
                      1.0, v == 0 || major ? Qt::SolidLine : Qt::DotLine));
        p.drawLine(QPointF(left, y), QPointF(right, y));
        if (!major)
            continue;
        p.setPen(kScaleText);
        const QRectF label(0, y - fm.height() / 2.0, left - kGap, fm.height());
        p.drawText(label, Qt::AlignRight | Qt::AlignVCenter, SignedNumber(v));
    }
    p.setPen(kScaleText);
    p.drawText(QRectF(0, 0, left - kGap, fm.height() + 2), Qt::AlignRight | Qt::AlignVCenter,
               QStringLiteral("dB"));
    p.drawText(QRectF(0, height() - fm.height() - 2, left - kGap, fm.height() + 2),
               Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("Hz"));

    // Each band: its guide, its frequency below and its value above.
    std::vector<QPointF> points;
    for (int b = 0; b < kBands; ++b) {
        const std::optional<QPointF> at = BandPoint(b);
        const double x = at ? at->x() : left + (right - left) * (b + 0.5) / kBands;
        p.setPen(QPen(kBandLine, 1.0));
        p.drawLine(QPointF(std::round(x) + 0.5, yTop), QPointF(std::round(x) + 0.5, yBottom));
        p.setPen(kScaleText);
        p.drawText(QRectF(x - 30, height() - fm.height() - 2, 60, fm.height() + 2), Qt::AlignCenter,
                   BandCaption(b));
        if (!at)
            continue;
        points.push_back(*at);
        p.setPen(isEnabled() ? kValueText : kScaleText);
        p.drawText(QRectF(x - 30, 0, 60, fm.height() + 2), Qt::AlignCenter,
                   SignedNumber(BandSlider(b)->value()));
    }
    if (points.empty())
        return;

    // The curve runs flat from the edges to the outer bands and is filled towards the 0 dB line.
    std::vector<QPointF> through;
    through.push_back({left, points.front().y()});
    through.insert(through.end(), points.begin(), points.end());
    through.push_back({right, points.back().y()});
    const QPainterPath curve = SmoothThrough(through);
    QPainterPath area = curve;
    area.lineTo(right, yZero);
    area.lineTo(left, yZero);
    area.closeSubpath();
    const QColor line = isEnabled() ? kCurve : kCurveOff;
    QLinearGradient fill(0, yTop, 0, yBottom);
    QColor strong = line, faint = line;
    strong.setAlpha(70);
    faint.setAlpha(18);
    fill.setColorAt(0.0, strong);
    fill.setColorAt(0.5, faint);
    fill.setColorAt(1.0, strong);
    p.save();
    p.setClipRect(QRectF(left, yTop - kGap, right - left, yBottom - yTop + 2 * kGap));
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawPath(area);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(line, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(curve);
    p.restore();
}

} // namespace nk7x
