#include "ui/controls/DeviceKeyButtonUI.h"

#include "ui/UiNotify.h"
#include "ui/controls/LiveColor.h"
#include "ui/controls/SkinImage.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionButton>
#include <QStylePainter>

#include <algorithm>

namespace nk7x {

CDeviceKeyButtonUI::CDeviceKeyButtonUI(QWidget* parent) : QPushButton(parent) {
    setFocusPolicy(Qt::NoFocus);
    // The window's wiring leaves custom controls alone: they raise their own notifications.
    connect(this, &QAbstractButton::clicked, this, [this] { RaiseNotify(this, QStringLiteral("click")); });
}

void CDeviceKeyButtonUI::SetLightImage(const QString& image) {
    m_lightImage = image;
    update();
}

void CDeviceKeyButtonUI::SetKeySetImage(const QString& image) {
    m_keySetImage = image;
    update();
}

bool CDeviceKeyButtonUI::SetLiveColor(quint32 colour, int brightness, bool shown) {
    brightness = std::clamp(brightness, 0, 255);
    if (colour == m_colour && brightness == m_brightness && shown == m_lightShown)
        return false;
    m_colour = colour;
    m_brightness = brightness;
    m_lightShown = shown;
    update();
    return true;
}

void CDeviceKeyButtonUI::SetKeySetImageHidden(bool hidden) {
    if (hidden == m_keySetHidden)
        return;
    m_keySetHidden = hidden;
    update();
}

void CDeviceKeyButtonUI::SetDragSelected(bool selected) {
    if (selected == m_dragSelected)
        return;
    m_dragSelected = selected;
    update();
}

bool CDeviceKeyButtonUI::SetAttribute(const QString& name, const QString& value) {
    if (name.compare(QLatin1String("lightimage"), Qt::CaseInsensitive) == 0) {
        SetLightImage(value);
        return true;
    }
    if (name.compare(QLatin1String("keysetimage"), Qt::CaseInsensitive) == 0) {
        SetKeySetImage(value);
        return true;
    }
    // Accepted so layouts that carry it load cleanly; the caption colour comes from the theme.
    return name.compare(QLatin1String("gmnametextcolor"), Qt::CaseInsensitive) == 0;
}

void CDeviceKeyButtonUI::PaintLight(QPainter& p, const QRect& r) {
    const ImageTint tint{LiveColorToQColor(m_colour), m_brightness};
    if (!m_lightImage.isEmpty() && DrawImageString(p, r, m_lightImage, &tint))
        return;
    // Without a light image the key glows as a rounded cap in its colour.
    const double side = std::min(r.width(), r.height());
    const double inset = std::max(2.0, side * 0.1);
    const QRectF cap = QRectF(r).adjusted(inset, inset, -inset, -inset);
    if (cap.isEmpty())
        return;
    const double radius = side * 0.16;
    QColor c = tint.colour;
    c.setAlpha(m_brightness);
    QColor edge = c;
    edge.setAlpha(m_brightness / 3);
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(edge, std::max(1.0, inset * 0.6)));
    p.setBrush(c);
    p.drawRoundedRect(cap, radius, radius);
    p.restore();
}

void CDeviceKeyButtonUI::paintEvent(QPaintEvent*) {
    QStylePainter p(this);
    QStyleOptionButton opt;
    initStyleOption(&opt);
    p.drawControl(QStyle::CE_PushButtonBevel, opt);

    const QRect r = rect();
    if (m_lightShown)
        PaintLight(p, r);
    if (!m_keySetHidden && !m_keySetImage.isEmpty())
        DrawImageString(p, r, m_keySetImage);
    if (m_dragSelected) {
        p.save();
        p.setRenderHint(QPainter::Antialiasing);
        // Light on any live colour: a marked key must stand out whatever it shows.
        p.setPen(QPen(QColor(255, 255, 255, 235), 2.0));
        p.setBrush(Qt::NoBrush);
        const double radius = std::min(r.width(), r.height()) * 0.12;
        p.drawRoundedRect(QRectF(r).adjusted(1, 1, -1, -1), radius, radius);
        p.restore();
    }
    p.drawControl(QStyle::CE_PushButtonLabel, opt);
}

void CDeviceKeyButtonUI::mouseDoubleClickEvent(QMouseEvent* event) {
    if (!isEnabled() || !rect().contains(event->position().toPoint())) {
        QPushButton::mouseDoubleClickEvent(event);
        return;
    }
    // Pressed as on a click, so the release still activates the key as a button does.
    QPushButton::mouseDoubleClickEvent(event);
    RaiseNotify(this, QStringLiteral("dbclick"));
}

} // namespace nk7x
