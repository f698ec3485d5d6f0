#include "ui/controls/DeviceKeyButtonUI.h"

#include "ui/UiNotify.h"
#include "ui/controls/LiveColor.h"
#include "ui/controls/SkinImage.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionButton>

#include <algorithm>
#include <array>

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
    m_layersValid = false;
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
    // Without a light image the key glows as a rounded cap in its colour. Its shape (coverage and
    // the brightness' opacity) is drawn once in white; a colour then only recolours those pixels.
    const double dpr = std::max(1.0, devicePixelRatioF());
    if (m_glowShape.isNull() || m_glowSize != r.size() || m_glowDpr != dpr || m_glowBrightness != m_brightness) {
        m_glowSize = r.size();
        m_glowDpr = dpr;
        m_glowBrightness = m_brightness;
        m_glowShape = QImage((QSizeF(r.size()) * dpr).toSize(), QImage::Format_ARGB32_Premultiplied);
        m_glowShape.setDevicePixelRatio(dpr);
        m_glowShape.fill(Qt::transparent);
        m_glow = QImage();
        const QRect local(QPoint(0, 0), r.size());
        const double side = std::min(local.width(), local.height());
        const double inset = std::max(2.0, side * 0.1);
        const QRectF cap = QRectF(local).adjusted(inset, inset, -inset, -inset);
        if (!cap.isEmpty()) {
            const double radius = side * 0.16;
            QPainter sp(&m_glowShape);
            sp.setRenderHint(QPainter::Antialiasing);
            sp.setPen(QPen(QColor(255, 255, 255, m_brightness / 3), std::max(1.0, inset * 0.6)));
            sp.setBrush(QColor(255, 255, 255, m_brightness));
            sp.drawRoundedRect(cap, radius, radius);
        }
    }
    const QRgb colour = tint.colour.rgb();
    if (m_glow.isNull() || m_glowColour != colour) {
        // White premultiplied pixels carry their alpha in every channel: the colour scales by it.
        std::array<QRgb, 256> lut;
        for (int a = 0; a < 256; ++a)
            lut[size_t(a)] = qRgba(qRed(colour) * a / 255, qGreen(colour) * a / 255, qBlue(colour) * a / 255, a);
        m_glow = QImage(m_glowShape.size(), QImage::Format_ARGB32_Premultiplied);
        m_glow.setDevicePixelRatio(dpr);
        for (int y = 0; y < m_glow.height(); ++y) {
            const auto* in = reinterpret_cast<const QRgb*>(m_glowShape.constScanLine(y));
            auto* out = reinterpret_cast<QRgb*>(m_glow.scanLine(y));
            for (int x = 0; x < m_glow.width(); ++x)
                out[x] = lut[size_t(qAlpha(in[x]))];
        }
        m_glowColour = colour;
    }
    p.drawImage(QPointF(r.topLeft()), m_glow);
}

void CDeviceKeyButtonUI::PaintOver(QPainter& p, const QStyleOptionButton& opt) {
    const QRect r = rect();
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
    if (!opt.text.isEmpty() || !opt.icon.isNull())
        style()->drawControl(QStyle::CE_PushButtonLabel, &opt, &p, this);
}

void CDeviceKeyButtonUI::paintEvent(QPaintEvent*) {
    QStyleOptionButton opt;
    initStyleOption(&opt);
    const double dpr = std::max(1.0, devicePixelRatioF());
    const LayerKey key{size(), dpr, int(opt.state), int(opt.features), opt.text, opt.icon.cacheKey(), font(),
                       !m_keySetHidden && !m_keySetImage.isEmpty(), m_dragSelected};
    if (!m_layersValid || !(key == m_layerKey)) {
        auto layer = [&](auto draw) {
            QPixmap pm((QSizeF(size()) * dpr).toSize());
            pm.setDevicePixelRatio(dpr);
            pm.fill(Qt::transparent);
            QPainter lp(&pm);
            lp.setFont(font());
            lp.setPen(palette().color(QPalette::ButtonText));
            draw(lp);
            return pm;
        };
        m_under = layer([&](QPainter& lp) { style()->drawControl(QStyle::CE_PushButtonBevel, &opt, &lp, this); });
        // A bare light has nothing above its colour: no layer to keep for it.
        const bool overEmpty = !key.keySetShown && !key.dragSelected && opt.text.isEmpty() && opt.icon.isNull();
        m_over = overEmpty ? QPixmap() : layer([&](QPainter& lp) { PaintOver(lp, opt); });
        m_layerKey = key;
        m_layersValid = true;
    }
    QPainter p(this);
    p.drawPixmap(QPointF(0, 0), m_under);
    if (m_lightShown)
        PaintLight(p, rect());
    if (!m_over.isNull())
        p.drawPixmap(QPointF(0, 0), m_over);
}

void CDeviceKeyButtonUI::changeEvent(QEvent* event) {
    // A new style sheet, palette or language look may change any layer.
    m_layersValid = false;
    QPushButton::changeEvent(event);
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
