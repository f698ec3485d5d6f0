// One key or LED of a device picture: a button that shows the key's live colour through its tinted
// light image, the key-set image of a changed assignment, and whether a drag selection holds it.
#pragma once

#include <QFont>
#include <QImage>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QString>

#include <utility>
#include <vector>

class QStyleOptionButton;

namespace nk7x {

class CKeyPictureUI;

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
    // Schedules a repaint only when one of them changed and `repaint` is set (a picture nobody
    // watches is repainted as a whole when it is watched again); returns whether anything changed.
    bool SetLiveColor(quint32 colour, int brightness, bool shown, bool repaint = true);
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

    // The picture that covers this button and draws it; repaints go there while it is set.
    void SetPicture(CKeyPictureUI* picture);
    // Draws the button as its own paint would, with the painter's origin at the button's corner.
    void PaintAt(QPainter& p);

    // The cap that lies right over this light. Under a picture the light draws the cap with
    // itself in one pass, and the picture leaves the cap out.
    void SetCover(CDeviceKeyButtonUI* cover);
    CDeviceKeyButtonUI* Cover() const { return m_cover; }
    // The light right under this cap, if any.
    CDeviceKeyButtonUI* CoveredLight() const { return m_coveredLight; }
    // Whether this light draws its cover now; whether a light below draws this button now.
    bool DrawsCover() const;
    bool DrawnWithLightBelow() const { return m_coveredLight && m_coveredLight->DrawsCover(); }

  protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

  private:
    QString IgnoredAttribute() const { return QString(); }
    void SetIgnoredAttribute(const QString&) {}
    void RequestRepaint();
    // Draws the layers again when the look they were drawn for changed.
    void EnsureLayers(double dpr);
    void UpdateGlow(double dpr, CDeviceKeyButtonUI* cover);
    void PaintOver(QPainter& p, const QStyleOptionButton& opt);

    // What the cached layers were drawn for, as far as it can change without an event: compared on
    // every paint, cheaply. Fonts, palettes, styles, activation and the enabled state arrive as
    // change events and drop the layers.
    struct LayerKey {
        QSize size;
        double dpr = 0.0;
        bool down = false;
        bool checked = false;
        bool hovered = false;
        bool focused = false;
        QString text;
        qint64 icon = 0;
        bool keySetShown = false;
        bool dragSelected = false;
        bool lit = false;
        bool operator==(const LayerKey&) const = default;
    };
    // The style's bevel below the light and the key-set image, drag frame and caption above it,
    // each drawn once into a pixmap: the light changes many times a second, the rest seldom.
    QPixmap m_under;
    QPixmap m_over;
    LayerKey m_layerKey;
    bool m_layersValid = false;
    // The layer under the light as an image (for an unlit button: its whole look), and a count
    // that moves on whenever the layers are drawn again.
    QImage m_underImage;
    quint64 m_layerGeneration = 0;
    // The glow's white shape per size; the still parts of the lit picture (the key without light,
    // the bevel, the light's weight per pixel) and what they were made from; the lit picture in
    // the last colour and brightness shown.
    QImage m_glowShape;
    QImage m_glowBase;
    std::vector<uint32_t> m_glowUnder;
    std::vector<uint8_t> m_glowWeight;
    std::pair<size_t, size_t> m_glowRun{0, 0}; // offset and length of the pixels the light reaches
    struct GlowFrom {
        qint64 shape = 0;
        quint64 layers = 0;
        const void* cover = nullptr;
        quint64 coverLayers = 0;
        bool operator==(const GlowFrom&) const = default;
    };
    GlowFrom m_glowFrom;
    QImage m_glow;
    QRgb m_glowColour = 0;
    int m_glowBrightness = -1;

    QPointer<CDeviceKeyButtonUI> m_cover;
    QPointer<CDeviceKeyButtonUI> m_coveredLight;
    QPointer<CKeyPictureUI> m_picture;
    QString m_lightImage;
    QString m_keySetImage;
    quint32 m_colour = 255;
    int m_brightness = 200;
    bool m_lightShown = false;
    bool m_keySetHidden = true;
    bool m_dragSelected = false;
};

} // namespace nk7x
