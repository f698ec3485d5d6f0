// What assistive technology sees of the equaliser chart: a chart whose children are its bands in
// band order, each a slider named by its frequency ("1 kHz") whose value is the band's gain in dB.
// A value set from outside moves the band's slider as a key step does, so the page hears of it and
// stores it as it stores a move by the user.
#pragma once

#include <QAccessibleValueInterface>
#include <QAccessibleWidget>

class QAbstractSlider;

namespace nk7x {

class EqChartView;

class AccessibleEqChart : public QAccessibleWidget {
  public:
    explicit AccessibleEqChart(EqChartView* chart);

    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;

    // Lets Qt's accessibility build these interfaces for every chart and its band sliders; safe to
    // call again.
    static void Install();

  private:
    // The band sliders placed in the chart, band 1 first, then its other children.
    QList<QObject*> Children() const;
};

class AccessibleEqBand : public QAccessibleWidget, public QAccessibleValueInterface {
  public:
    explicit AccessibleEqBand(QAbstractSlider* slider);

    void* interface_cast(QAccessible::InterfaceType t) override;
    QString text(QAccessible::Text t) const override;

    QVariant currentValue() const override;
    void setCurrentValue(const QVariant& value) override;
    QVariant maximumValue() const override;
    QVariant minimumValue() const override;
    QVariant minimumStepSize() const override;

  private:
    QAbstractSlider* Slider() const;
    // The band the slider stands for in its chart, -1 when it is none.
    int Band() const;
};

} // namespace nk7x
