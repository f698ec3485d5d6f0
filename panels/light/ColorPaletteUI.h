// CColorPaletteUI: the lighting panel's colour field (hue across, saturation down, full value).
// A pick by the user raises "colorchanged" with the colour as 0xAARRGGBB in wParam; setting the
// colour from the program raises nothing.
#pragma once

#include <QImage>
#include <QPointF>
#include <QWidget>

#include <cstdint>

namespace nk7x {

class ControlFactory;

// Layout class name of the field.
inline constexpr const char* kColorPaletteClass = "ColorPalette";

class CColorPaletteUI : public QWidget {
    Q_OBJECT
  public:
    explicit CColorPaletteUI(QWidget* parent = nullptr);

    void SetSelectColor(uint32_t argb);
    // Picks `argb` at full brightness, its place in the field, and raises the pick as a click does.
    void PickColor(uint32_t argb);
    uint32_t GetSelectColor() const { return m_colour; }

    // The colour at a point of the field (clamped to it), 0xFF alpha.
    uint32_t ColorAt(QPointF pos) const;

    QSize sizeHint() const override { return {240, 120}; }
    QSize minimumSizeHint() const override { return {80, 48}; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    QRectF Field() const;
    void PlaceMarker(uint32_t argb);
    void Pick(QPointF pos, bool raise);
    // Tells assistive technology that the colour it describes has changed.
    void TellColourChanged();

    uint32_t m_colour = 0xFF000000u;
    QPointF m_marker{0, 0}; // hue 0-1 across, saturation 1-0 down
    bool m_dragging = false;
    QImage m_field;
};

// Registers the panel's own layout classes ("ColorPalette", "LightSetControlUI") with a factory.
void RegisterLightPanelControls(ControlFactory& factory);

} // namespace nk7x
