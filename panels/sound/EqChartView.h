// EqChartView: the equaliser's picture behind its band sliders: a dB grid with the 0 dB line, the
// band frequencies and values, and a smooth curve through the slider handles. It places the sliders
// that are its children itself, one per column, so that the curve always meets their handles.
#pragma once

#include "devices/headset/HeadsetTables.h"

#include <QPointF>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QWidget>

#include <array>
#include <optional>

class QAbstractSlider;

namespace nk7x {

inline constexpr const char* kEqChartViewClass = "EqChartView";

class EqChartView : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kBands = kEqBandCount;

    explicit EqChartView(QWidget* parent = nullptr);

    // The band sliders, band 1 first; a null entry is a band without slider. The chart repaints
    // when one of them changes; the ones that are its children it lays out in its columns.
    void SetBandSliders(const std::array<QAbstractSlider*, kBands>& sliders);
    QAbstractSlider* BandSlider(int band) const;

    // Where the curve passes band `band` (the centre of its slider's handle), in the chart's
    // coordinates; nothing when the band has no slider.
    std::optional<QPointF> BandPoint(int band) const;

    // "31", "62", ... "16k": the band's centre frequency in Hz.
    static QString BandCaption(int band);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    // The area the sliders stand in, between the dB scale, the value row and the frequency row.
    QRect PlotArea() const;
    void PlaceSliders();
    QAbstractSlider* AnySlider() const;
    // The height in the chart of `value` on the sliders' scale.
    double YOf(double value) const;
    QFont SmallFont() const;

    std::array<QPointer<QAbstractSlider>, kBands> m_sliders;
};

} // namespace nk7x
