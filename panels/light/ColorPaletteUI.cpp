#include "panels/light/ColorPaletteUI.h"

#include "panels/light/AccessibleColorPalette.h"
#include "panels/light/LightControlUI.h"
#include "ui/ControlFactory.h"
#include "ui/UiNotify.h"

#include <QAccessible>
#include <QColor>
#include <QKeyEvent>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace nk7x {
namespace {

constexpr qreal kRadius = 6.0;
constexpr qreal kInset = 1.0;

QColor FromArgb(uint32_t argb) {
    return QColor::fromRgb((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF);
}

uint32_t HueSatColour(qreal hue, qreal sat) {
    QColor c = QColor::fromHsvF(std::clamp(hue, 0.0, 1.0) * 359.0 / 360.0, std::clamp(sat, 0.0, 1.0), 1.0);
    return 0xFF000000u | uint32_t(c.red()) << 16 | uint32_t(c.green()) << 8 | uint32_t(c.blue());
}

} // namespace

CColorPaletteUI::CColorPaletteUI(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::CrossCursor);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    PlaceMarker(m_colour);
    AccessibleColorPalette::Install();
}

QRectF CColorPaletteUI::Field() const {
    return QRectF(rect()).adjusted(kInset, kInset, -kInset, -kInset);
}

uint32_t CColorPaletteUI::ColorAt(QPointF pos) const {
    QRectF f = Field();
    if (f.width() <= 0 || f.height() <= 0)
        return 0xFF000000u;
    return HueSatColour((pos.x() - f.left()) / f.width(), 1.0 - (pos.y() - f.top()) / f.height());
}

void CColorPaletteUI::SetSelectColor(uint32_t argb) {
    m_colour = argb;
    PlaceMarker(argb);
    update();
    TellColourChanged();
}

void CColorPaletteUI::PickColor(uint32_t argb) {
    // The field holds only full brightness: a darker colour is picked at its brightest.
    QColor c = FromArgb(argb);
    if (c.value() < 255) {
        float h = 0, s = 0, v = 0;
        c.getHsvF(&h, &s, &v);
        c = QColor::fromHsvF(std::max(h, 0.0f), s, 1.0f);
    }
    m_colour = 0xFF000000u | uint32_t(c.red()) << 16 | uint32_t(c.green()) << 8 | uint32_t(c.blue());
    PlaceMarker(m_colour);
    update();
    TellColourChanged();
    RaiseNotify(this, QStringLiteral("colorchanged"), static_cast<qint64>(m_colour));
}

void CColorPaletteUI::TellColourChanged() {
    // Only while a reader listens: otherwise the event would build an interface for nobody.
    if (!QAccessible::isActive())
        return;
    QAccessibleEvent described(this, QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&described);
}

void CColorPaletteUI::PlaceMarker(uint32_t argb) {
    QColor c = FromArgb(argb);
    float h = 0, s = 0, v = 0;
    c.getHsvF(&h, &s, &v);
    if (h < 0) // achromatic: keep the hue the marker had
        h = static_cast<float>(m_marker.x());
    // A dark colour sits where its hue and saturation are; the brightness slider sets the rest.
    m_marker = QPointF(std::clamp<qreal>(h, 0, 1), std::clamp<qreal>(1.0 - s, 0, 1));
}

void CColorPaletteUI::resizeEvent(QResizeEvent*) {
    m_field = QImage();
}

void CColorPaletteUI::paintEvent(QPaintEvent*) {
    QRectF f = Field();
    if (m_field.size() != f.size().toSize()) {
        QSize size = f.size().toSize();
        m_field = QImage(size.expandedTo(QSize(1, 1)), QImage::Format_RGB32);
        QPainter fp(&m_field);
        QLinearGradient hue(0, 0, size.width(), 0);
        for (int i = 0; i <= 6; ++i)
            hue.setColorAt(i / 6.0, QColor::fromHsvF(std::min(i / 6.0, 359.0 / 360.0), 1.0, 1.0));
        fp.fillRect(m_field.rect(), hue);
        QLinearGradient white(0, 0, 0, size.height());
        white.setColorAt(0, QColor(255, 255, 255, 0));
        white.setColorAt(1, QColor(255, 255, 255, 255));
        fp.fillRect(m_field.rect(), white);
    }

    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath clip;
    clip.addRoundedRect(f, kRadius, kRadius);
    p.save();
    p.setClipPath(clip);
    p.drawImage(f.topLeft(), m_field);
    p.restore();
    p.setPen(QPen(QColor(isEnabled() ? 0x3a404c : 0x2a2e36), 1.0));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(f, kRadius, kRadius);

    if (!isEnabled()) {
        // A disabled field fades into the panel, so it does not look pickable.
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(20, 22, 27, 170));
        p.drawRoundedRect(f, kRadius, kRadius);
        return;
    }
    QPointF at(f.left() + m_marker.x() * f.width(), f.top() + m_marker.y() * f.height());
    p.setBrush(FromArgb(m_colour));
    p.setPen(QPen(QColor(0, 0, 0, 120), 3.0));
    p.drawEllipse(at, 7.0, 7.0);
    p.setPen(QPen(Qt::white, 2.0));
    p.drawEllipse(at, 7.0, 7.0);
    if (hasFocus()) {
        p.setPen(QPen(QColor(0x2f6bff), 1.0));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(f.adjusted(-0.5, -0.5, 0.5, 0.5), kRadius + 0.5, kRadius + 0.5);
    }
}

void CColorPaletteUI::Pick(QPointF pos, bool raise) {
    QRectF f = Field();
    if (f.width() <= 0 || f.height() <= 0)
        return;
    qreal x = std::clamp((pos.x() - f.left()) / f.width(), 0.0, 1.0);
    qreal y = std::clamp((pos.y() - f.top()) / f.height(), 0.0, 1.0);
    m_marker = QPointF(x, y);
    m_colour = HueSatColour(x, 1.0 - y);
    update();
    TellColourChanged();
    if (raise)
        RaiseNotify(this, QStringLiteral("colorchanged"), static_cast<qint64>(m_colour));
}

void CColorPaletteUI::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    m_dragging = true;
    Pick(event->position(), false);
}

void CColorPaletteUI::mouseMoveEvent(QMouseEvent* event) {
    if (m_dragging)
        Pick(event->position(), false);
}

void CColorPaletteUI::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !m_dragging)
        return QWidget::mouseReleaseEvent(event);
    m_dragging = false;
    // One pick per press: the device is written once, not on every step of a drag.
    Pick(event->position(), true);
}

void CColorPaletteUI::keyPressEvent(QKeyEvent* event) {
    QRectF f = Field();
    QPointF at(f.left() + m_marker.x() * f.width(), f.top() + m_marker.y() * f.height());
    const qreal step = event->modifiers() & Qt::ShiftModifier ? 10.0 : 2.0;
    switch (event->key()) {
    case Qt::Key_Left:
        at.rx() -= step;
        break;
    case Qt::Key_Right:
        at.rx() += step;
        break;
    case Qt::Key_Up:
        at.ry() -= step;
        break;
    case Qt::Key_Down:
        at.ry() += step;
        break;
    default:
        return QWidget::keyPressEvent(event);
    }
    Pick(at, true);
}

void RegisterLightPanelControls(ControlFactory& factory) {
    if (!factory.Knows(QString::fromLatin1(kColorPaletteClass)))
        factory.Register(QString::fromLatin1(kColorPaletteClass),
                         [](QWidget* parent) { return new CColorPaletteUI(parent); });
    if (!factory.Knows(QString::fromLatin1(kLightControlClass)))
        factory.Register(QString::fromLatin1(kLightControlClass),
                         [](QWidget* parent) { return new CLightControlUI(parent); });
}

} // namespace nk7x
