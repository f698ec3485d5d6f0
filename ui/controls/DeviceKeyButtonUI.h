// One key or LED of a device picture: a button that shows the key's live colour through its tinted
// light image, the key-set image of a changed assignment, and whether a drag selection holds it.
#pragma once

#include <QImage>
#include <QPushButton>
#include <QString>

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
    void mouseDoubleClickEvent(QMouseEvent* event) override;

  private:
    QString IgnoredAttribute() const { return QString(); }
    void SetIgnoredAttribute(const QString&) {}
    void PaintLight(QPainter& p, const QRect& r);

    QString m_lightImage;
    QString m_keySetImage;
    quint32 m_colour = 255;
    int m_brightness = 200;
    bool m_lightShown = false;
    bool m_keySetHidden = true;
    bool m_dragSelected = false;
};

} // namespace nk7x
