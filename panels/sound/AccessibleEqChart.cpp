#include "panels/sound/AccessibleEqChart.h"

#include "panels/sound/EqChartView.h"

#include <QAbstractSlider>

namespace nk7x {
namespace {

EqChartView* ChartOf(const QObject* slider) {
    return slider ? qobject_cast<EqChartView*>(slider->parent()) : nullptr;
}

QAccessibleInterface* CreateForEqChart(const QString& className, QObject* object) {
    // Only the most derived class asks here, so that a slider keeps Qt's own interface elsewhere.
    if (!object || className != QLatin1String(object->metaObject()->className()))
        return nullptr;
    if (auto* chart = qobject_cast<EqChartView*>(object))
        return new AccessibleEqChart(chart);
    auto* slider = qobject_cast<QAbstractSlider*>(object);
    if (slider && ChartOf(slider))
        return new AccessibleEqBand(slider);
    return nullptr;
}

// "31" -> "31 Hz", "1k" -> "1 kHz": the unit is read the same in every language the window has.
QString FrequencyName(const QString& caption) {
    if (caption.endsWith(QLatin1Char('k')))
        return caption.chopped(1) + QStringLiteral(" kHz");
    return caption + QStringLiteral(" Hz");
}

QString GainText(int db) {
    return (db > 0 ? QStringLiteral("+%1 dB") : QStringLiteral("%1 dB")).arg(db);
}

} // namespace

AccessibleEqChart::AccessibleEqChart(EqChartView* chart) : QAccessibleWidget(chart, QAccessible::Chart) {}

QList<QObject*> AccessibleEqChart::Children() const {
    auto* chart = static_cast<EqChartView*>(widget());
    QList<QObject*> out;
    for (int b = 0; b < EqChartView::kBands; ++b) {
        QAbstractSlider* s = chart->BandSlider(b);
        if (s && s->parentWidget() == chart)
            out.append(s);
    }
    for (int i = 0, n = QAccessibleWidget::childCount(); i < n; ++i) {
        QAccessibleInterface* other = QAccessibleWidget::child(i);
        if (other && other->object() && !out.contains(other->object()))
            out.append(other->object());
    }
    return out;
}

int AccessibleEqChart::childCount() const {
    return int(Children().size());
}

QAccessibleInterface* AccessibleEqChart::child(int index) const {
    const QList<QObject*> children = Children();
    if (index < 0 || index >= children.size())
        return nullptr;
    return QAccessible::queryAccessibleInterface(children[index]);
}

int AccessibleEqChart::indexOfChild(const QAccessibleInterface* child) const {
    return child ? int(Children().indexOf(child->object())) : -1;
}

void AccessibleEqChart::Install() {
    static const bool installed = [] {
        QAccessible::installFactory(&CreateForEqChart);
        return true;
    }();
    (void)installed;
}

AccessibleEqBand::AccessibleEqBand(QAbstractSlider* slider)
    : QAccessibleWidget(slider, QAccessible::Slider) {}

QAbstractSlider* AccessibleEqBand::Slider() const {
    return static_cast<QAbstractSlider*>(widget());
}

int AccessibleEqBand::Band() const {
    const EqChartView* chart = ChartOf(Slider());
    for (int b = 0; chart && b < EqChartView::kBands; ++b)
        if (chart->BandSlider(b) == Slider())
            return b;
    return -1;
}

void* AccessibleEqBand::interface_cast(QAccessible::InterfaceType t) {
    if (t == QAccessible::ValueInterface)
        return static_cast<QAccessibleValueInterface*>(this);
    return QAccessibleWidget::interface_cast(t);
}

QString AccessibleEqBand::text(QAccessible::Text t) const {
    switch (t) {
    case QAccessible::Name: {
        // A name given from the window's language wins over the bare frequency.
        const QString given = Slider()->accessibleName();
        const int band = Band();
        if (!given.isEmpty() || band < 0)
            return given;
        return FrequencyName(EqChartView::BandCaption(band));
    }
    case QAccessible::Value:
        return GainText(Slider()->value());
    default:
        return QAccessibleWidget::text(t);
    }
}

QVariant AccessibleEqBand::currentValue() const {
    return Slider()->value();
}

void AccessibleEqBand::setCurrentValue(const QVariant& value) {
    QAbstractSlider* s = Slider();
    bool ok = false;
    const int v = value.toInt(&ok);
    if (!ok || !s->isEnabled())
        return;
    // As a key step: the slider clamps it to its range and reports the new value at once.
    s->setValue(v);
}

QVariant AccessibleEqBand::maximumValue() const {
    return Slider()->maximum();
}

QVariant AccessibleEqBand::minimumValue() const {
    return Slider()->minimum();
}

QVariant AccessibleEqBand::minimumStepSize() const {
    return Slider()->singleStep();
}

} // namespace nk7x
