// One key or LED of a device picture: a button that shows the key's live colour through its tinted
// light image, the key-set image of a changed assignment, and whether a drag selection holds it.
#pragma once

#include <QFont>
#include <QImage>
#include <QPixmap>
#include <QPushButton>
#include <QString>

class QStyleOptionButton;

namespace nk7x {

class CDeviceKeyButtonUI : public QPushButton {
    Q_OBJECT
    Q_PROPERTY(QString lightimage READ LightImage WRITE SetLightImage)
    Q_PROPERTY(QString keysetimage READ KeySetImage WRITE SetKeySetImage)
    Q_PROPERTY(QString gmnametextcolor READ IgnoredAttribute WRITE SetIgnoredAttribute)

  public:
    explicit CDeviceKeyButtonUI(QWidget* parent = nullptr);

    static QString ClassName() { return QStringLiteral("DeviceKeyButton"); }

    void SetLightImage(const QString& image);
    QString LightImage() const { return m_lightImage; }
    void SetKeySetImage(const QString& image);
    QString KeySetImage() const { return m_keySetImage; }

    // Stores the live colour (packed as LiveColor.h says), brightness 0..255 and the shown flag.
    // Schedules a repaint only when one of them changed; returns whether anything changed.
    bool SetLiveColor(quint32 colour, int brightness, bool shown);
    quint32 LiveColor() const { return m_colour; }
    int Brightness() const { return m_brightness; }
    bool IsLightShown() const { return m_lightShown; }

    // Hidden while the key keeps its own assignment; repaints only when the flag changes.
    void SetKeySetImageHidden(bool hidden);
    bool IsKeySetImageHidden() const { return m_keySetHidden; }

    void SetDragSelected(bool selected);
    bool IsDragSelected() const { return m_dragSelected; }

    // Layout attributes by name; false for names the key button does not know.
    bool SetAttribute(const QString& name, const QString& value);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

  private:
    QString IgnoredAttribute() const { return QString(); }
    void SetIgnoredAttribute(const QString&) {}
    void PaintLight(QPainter& p, const QRect& r);
    void PaintOver(QPainter& p, const QStyleOptionButton& opt);

    // What the cached layers were drawn for; any difference draws them again.
    struct LayerKey {
        QSize size;
        double dpr = 0.0;
        int state = 0;
        int features = 0;
        QString text;
        qint64 icon = 0;
        QFont font;
        bool keySetShown = false;
        bool dragSelected = false;
        bool operator==(const LayerKey&) const = default;
    };
    // The style's bevel below the light and the key-set image, drag frame and caption above it,
    // each drawn once into a pixmap: the light changes many times a second, the rest seldom.
    QPixmap m_under;
    QPixmap m_over;
    LayerKey m_layerKey;
    bool m_layersValid = false;
    // The glow drawn without a light image: its white shape per size and brightness, and that
    // shape in the last colour shown.
    QImage m_glowShape;
    QImage m_glow;
    QSize m_glowSize;
    double m_glowDpr = 0.0;
    int m_glowBrightness = -1;
    QRgb m_glowColour = 0;

    QString m_lightImage;
    QString m_keySetImage;
    quint32 m_colour = 255;
    int m_brightness = 200;
    bool m_lightShown = false;
    bool m_keySetHidden = true;
    bool m_dragSelected = false;
};

} // namespace nk7x
