#include "ui/controls/DeviceKeyButtonUI.h"

#include "ui/UiNotify.h"
#include "ui/controls/AccessibleKeyButton.h"
#include "ui/controls/KeyPictureUI.h"
#include "ui/controls/LightBlend.h"
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
namespace {

// One premultiplied pixel over another.
inline QRgb SourceOver(QRgb src, QRgb dst) {
    const uint inverse = 255 - qAlpha(src);
    if (inverse == 0)
        return src;
    if (inverse == 255)
        return dst;
    uint rb = (dst & 0xff00ff) * inverse;
    rb = ((rb + ((rb >> 8) & 0xff00ff) + 0x800080) >> 8) & 0xff00ff;
    uint ag = ((dst >> 8) & 0xff00ff) * inverse;
    ag = (ag + ((ag >> 8) & 0xff00ff) + 0x800080) & 0xff00ff00;
    return src + (rb | ag);
}

double PainterDpr(const QPainter& p) {
    return std::max(1.0, p.device() ? p.device()->devicePixelRatio() : 1.0);
}

} // namespace

CDeviceKeyButtonUI::CDeviceKeyButtonUI(QWidget* parent) : QPushButton(parent) {
    setFocusPolicy(Qt::NoFocus);
    AccessibleKeyButton::Install();
    // The window's wiring leaves custom controls alone: they raise their own notifications.
    connect(this, &QAbstractButton::clicked, this, [this] { RaiseNotify(this, QStringLiteral("click")); });
}

void CDeviceKeyButtonUI::SetLightImage(const QString& image) {
    m_lightImage = image;
    RequestRepaint();
}

void CDeviceKeyButtonUI::SetKeySetImage(const QString& image) {
    m_keySetImage = image;
    m_layersValid = false;
    RequestRepaint();
}

bool CDeviceKeyButtonUI::SetLiveColor(quint32 colour, int brightness, bool shown, bool repaint) {
    brightness = std::clamp(brightness, 0, 255);
    if (colour == m_colour && brightness == m_brightness && shown == m_lightShown)
        return false;
    // A light switched on or off changes the button's layers, which a later whole repaint needs.
    if (shown != m_lightShown)
        repaint = true;
    m_colour = colour;
    m_brightness = brightness;
    m_lightShown = shown;
    if (repaint)
        RequestRepaint();
    return true;
}

void CDeviceKeyButtonUI::SetKeySetImageHidden(bool hidden) {
    if (hidden == m_keySetHidden)
        return;
    m_keySetHidden = hidden;
    RequestRepaint();
}

void CDeviceKeyButtonUI::SetDragSelected(bool selected) {
    if (selected == m_dragSelected)
        return;
    m_dragSelected = selected;
    RequestRepaint();
}

void CDeviceKeyButtonUI::SetPicture(CKeyPictureUI* picture) {
    m_picture = picture;
    update();
}

void CDeviceKeyButtonUI::RequestRepaint() {
    if (m_picture)
        m_picture->RepaintArea(geometry());
    else
        update();
}

bool CDeviceKeyButtonUI::event(QEvent* event) {
    const QRect before = geometry();
    const bool handled = QPushButton::event(event);
    if (!m_picture)
        return handled;
    switch (event->type()) {
    // Whatever changes how the button looks: the button's own repaint would be hidden under the
    // picture, which repaints its place instead.
    case QEvent::Enter:
    case QEvent::Leave:
    case QEvent::HoverEnter:
    case QEvent::HoverLeave:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::FocusIn:
    case QEvent::FocusOut:
    case QEvent::EnabledChange:
    case QEvent::FontChange:
    case QEvent::PaletteChange:
    case QEvent::StyleChange:
    case QEvent::LanguageChange:
    case QEvent::DynamicPropertyChange:
    case QEvent::Show:
    case QEvent::Hide:
        m_picture->RepaintArea(geometry());
        break;
    case QEvent::Move:
    case QEvent::Resize:
        m_picture->RepaintArea(before);
        m_picture->RepaintArea(geometry());
        break;
    default:
        break;
    }
    return handled;
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

void CDeviceKeyButtonUI::SetCover(CDeviceKeyButtonUI* cover) {
    if (m_cover)
        m_cover->m_coveredLight = nullptr;
    m_cover = cover;
    if (cover)
        cover->m_coveredLight = this;
    RequestRepaint();
}

bool CDeviceKeyButtonUI::DrawsCover() const {
    return m_cover && m_picture && m_lightShown && m_lightImage.isEmpty() && !m_cover->isHidden() &&
           !isHidden() && m_cover->geometry() == geometry();
}

void CDeviceKeyButtonUI::UpdateGlow(double dpr, CDeviceKeyButtonUI* cover) {
    // Without a light image the key glows as a rounded cap in its colour over its bevel, under its
    // cover when it draws one. The glow's shape is drawn once per size in white; with the still
    // layers it makes the light's weight per pixel, and a colour then costs one blending pass.
    const QSize pixels = (QSizeF(size()) * dpr).toSize();
    if (m_glowShape.isNull() || m_glowShape.size() != pixels) {
        m_glowShape = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
        m_glowShape.setDevicePixelRatio(dpr);
        m_glowShape.fill(Qt::transparent);
        const QRect local = rect();
        const double side = std::min(local.width(), local.height());
        const double inset = std::max(2.0, side * 0.1);
        const QRectF cap = QRectF(local).adjusted(inset, inset, -inset, -inset);
        if (!cap.isEmpty()) {
            const double radius = side * 0.16;
            QPainter sp(&m_glowShape);
            sp.setRenderHint(QPainter::Antialiasing);
            sp.setPen(QPen(QColor(255, 255, 255, 85), std::max(1.0, inset * 0.6)));
            sp.setBrush(QColor(255, 255, 255, 255));
            sp.drawRoundedRect(cap, radius, radius);
        }
    }
    QImage coverImage;
    if (cover) {
        cover->EnsureLayers(dpr);
        coverImage = cover->m_underImage;
        if (coverImage.size() != pixels)
            cover = nullptr;
    }
    const GlowFrom from{m_glowShape.cacheKey(), m_layerGeneration, cover,
                        cover ? cover->m_layerGeneration : 0};
    const size_t count = size_t(pixels.width()) * size_t(pixels.height());
    if (m_glowBase.isNull() || !(from == m_glowFrom)) {
        m_glowBase = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
        m_glowBase.setDevicePixelRatio(dpr);
        m_glowUnder.assign(count, 0);
        m_glowWeight.assign(count, 0);
        m_glowRun = {0, 0};
        const bool under = m_underImage.size() == pixels;
        size_t at = 0;
        for (int y = 0; y < pixels.height(); ++y) {
            const auto* shape = reinterpret_cast<const QRgb*>(m_glowShape.constScanLine(y));
            const auto* below =
                under ? reinterpret_cast<const QRgb*>(m_underImage.constScanLine(y)) : nullptr;
            const auto* above = cover ? reinterpret_cast<const QRgb*>(coverImage.constScanLine(y)) : nullptr;
            auto* base = reinterpret_cast<QRgb*>(m_glowBase.scanLine(y));
            for (int x = 0; x < pixels.width(); ++x, ++at) {
                const QRgb u = below ? below[x] : 0;
                const QRgb c = above ? above[x] : 0;
                base[x] = SourceOver(c, u);
                m_glowUnder[at] = u;
                // White premultiplied pixels carry their coverage in alpha.
                m_glowWeight[at] = uint8_t(qAlpha(shape[x]) * (255 - qAlpha(c)) / 255);
            }
        }
        // Only the pixels the light reaches change with its colour: from the first to the last of
        // them, as one run (a pixel of no weight comes out as the key without light), rounded up
        // to whole steps of the wide pass where the image allows.
        size_t first = 0, last = count;
        while (first < last && m_glowWeight[first] == 0)
            ++first;
        while (last > first && m_glowWeight[last - 1] == 0)
            --last;
        if (last > first) {
            const size_t length = std::min(count - first, (last - first + 7) / 8 * 8);
            m_glowRun = {first, length};
        }
        m_glowFrom = from;
        m_glow = QImage();
    }
    const QRgb colour = LiveColorToQColor(m_colour).rgb();
    if (!m_glow.isNull() && m_glowColour == colour && m_glowBrightness == m_brightness)
        return;
    if (m_glow.isNull()) {
        // Where no light reaches, the key stays as it is without light.
        m_glow = m_glowBase.copy();
        m_glow.setDevicePixelRatio(dpr);
    }
    // The buffers are whole rows one after another; an image's rows are too, at four bytes a pixel.
    const auto* base = reinterpret_cast<const uint32_t*>(m_glowBase.constBits());
    auto* out = reinterpret_cast<uint32_t*>(m_glow.bits());
    const auto [offset, length] = m_glowRun;
    const LightLayers layers{base + offset, m_glowUnder.data() + offset, m_glowWeight.data() + offset};
    BlendLight(out + offset, layers, length, colour & 0xFFFFFF, m_brightness);
    m_glowColour = colour;
    m_glowBrightness = m_brightness;
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
    QPainter p(this);
    PaintAt(p);
}

void CDeviceKeyButtonUI::EnsureLayers(double dpr) {
    const LayerKey key{size(),
                       dpr,
                       isDown(),
                       isChecked(),
                       underMouse() && testAttribute(Qt::WA_Hover),
                       focusPolicy() != Qt::NoFocus && hasFocus(),
                       text(),
                       icon().cacheKey(),
                       !m_keySetHidden && !m_keySetImage.isEmpty(),
                       m_dragSelected,
                       m_lightShown};
    if (m_layersValid && key == m_layerKey)
        return;
    QStyleOptionButton opt;
    initStyleOption(&opt);
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
    const bool overEmpty = !key.keySetShown && !key.dragSelected && opt.text.isEmpty() && opt.icon.isNull();
    if (m_lightShown) {
        // The bevel, the light and what lies above it: three layers, the middle one live.
        m_under =
            layer([&](QPainter& lp) { style()->drawControl(QStyle::CE_PushButtonBevel, &opt, &lp, this); });
        m_over = overEmpty ? QPixmap() : layer([&](QPainter& lp) { PaintOver(lp, opt); });
    } else {
        // Nothing between the bevel and the caption: one layer.
        m_under = layer([&](QPainter& lp) {
            style()->drawControl(QStyle::CE_PushButtonBevel, &opt, &lp, this);
            if (!overEmpty)
                PaintOver(lp, opt);
        });
        m_over = QPixmap();
    }
    m_underImage = m_under.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    m_layerKey = key;
    m_layersValid = true;
    ++m_layerGeneration;
}

void CDeviceKeyButtonUI::PaintAt(QPainter& p) {
    const double dpr = PainterDpr(p);
    EnsureLayers(dpr);
    if (m_lightShown && m_lightImage.isEmpty()) {
        const bool withCover = DrawsCover();
        UpdateGlow(dpr, withCover ? m_cover.data() : nullptr);
        p.drawImage(QPointF(0, 0), m_glow);
        if (!m_over.isNull())
            p.drawPixmap(QPointF(0, 0), m_over);
        return;
    }
    p.drawPixmap(QPointF(0, 0), m_under);
    if (m_lightShown) {
        const ImageTint tint{LiveColorToQColor(m_colour), m_brightness};
        if (!DrawImageString(p, rect(), m_lightImage, &tint)) {
            // The skin lacks the light image: the plain glow, with its bevel, stands in.
            UpdateGlow(dpr, nullptr);
            p.drawImage(QPointF(0, 0), m_glow);
        }
    }
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
