#include "ui/controls/KeyPictureUI.h"

#include "ui/controls/DeviceKeyButtonUI.h"
#include "ui/controls/KeyArrowNavigation.h"

#include <QImage>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>

namespace nk7x {
namespace {

// The raster engine hands a blit of more than about a hundred lines to its thread pool; on a light
// that changes twenty times a second the threads' wake-ups cost more than the copy. The backdrop
// goes in bands below that.
constexpr int kBandLines = 60;

// Up to this many keys repaint each in its place; more repaint the area that holds them all.
constexpr size_t kSeparateRepaints = 12;

bool OpaqueOver(const QPixmap& pixmap, const QRect& area) {
    if (pixmap.isNull() || area.isEmpty())
        return false;
    const double dpr = pixmap.devicePixelRatio();
    const QRect pixels = QRectF(QRectF(area).topLeft() * dpr, QSizeF(area.size()) * dpr).toAlignedRect();
    const QImage image = pixmap.toImage();
    if (!image.rect().contains(pixels))
        return false;
    if (!image.hasAlphaChannel())
        return true;
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = pixels.top(); y <= pixels.bottom(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        for (int x = pixels.left(); x <= pixels.right(); ++x)
            if (qAlpha(line[x]) != 255)
                return false;
    }
    return true;
}

} // namespace

CKeyPictureUI::CKeyPictureUI(QWidget* panel) : QWidget(panel) {
    setObjectName(QStringLiteral("key_panel_picture"));
    // The buttons underneath take the pointer.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    hide();
}

CKeyPictureUI::~CKeyPictureUI() {
    for (auto& button : m_buttons)
        if (button)
            button->SetPicture(nullptr);
}

void CKeyPictureUI::SetButtons(std::vector<QPointer<CDeviceKeyButtonUI>> buttons) {
    for (auto& button : m_buttons)
        if (button)
            button->SetPicture(nullptr);
    m_buttons = std::move(buttons);
    KeyArrowNavigation::Of(this)->SetKeys(m_buttons);
    Attach(m_covering);
    update();
}

void CKeyPictureUI::SetBackdrop(const QPixmap& backdrop, const QRect& area) {
    m_backdrop = backdrop;
    const bool covering = OpaqueOver(backdrop, area);
    if (covering) {
        setGeometry(area);
        raise();
    }
    Attach(covering);
    setVisible(covering);
    update();
}

void CKeyPictureUI::Attach(bool covering) {
    m_covering = covering;
    for (auto& button : m_buttons)
        if (button)
            button->SetPicture(covering ? this : nullptr);
}

void CKeyPictureUI::RepaintArea(const QRect& panelRect) {
    if (!m_covering || panelRect.isEmpty())
        return;
    if (m_pending.empty())
        QMetaObject::invokeMethod(this, &CKeyPictureUI::FlushRepaints, Qt::QueuedConnection);
    m_pending.push_back(panelRect.translated(-pos()));
}

void CKeyPictureUI::FlushRepaints() {
    std::vector<QRect> pending;
    pending.swap(m_pending);
    if (pending.size() > kSeparateRepaints) {
        QRect bounds;
        for (const QRect& r : pending)
            bounds = bounds.united(r);
        update(bounds);
        return;
    }
    for (const QRect& r : pending)
        update(r);
}

void CKeyPictureUI::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    const QRegion region = event->region();
    const double dpr = m_backdrop.devicePixelRatio();
    const QPoint origin = pos();
    // The backdrop is opaque wherever the picture lies: copied, not blended.
    p.setCompositionMode(QPainter::CompositionMode_Source);
    for (const QRect& r : region) {
        for (int top = r.top(); top <= r.bottom(); top += kBandLines) {
            const QRect band(r.left(), top, r.width(), std::min(kBandLines, r.bottom() - top + 1));
            const QRectF source(QPointF(band.topLeft() + origin) * dpr, QSizeF(band.size()) * dpr);
            p.drawPixmap(QRectF(band), m_backdrop, source);
        }
    }
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    const QRect bounds = region.boundingRect();
    const bool plain = region.rectCount() == 1;
    for (auto& button : m_buttons) {
        if (!button || button->isHidden() || button->DrawnWithLightBelow())
            continue;
        const QRect place = button->geometry().translated(-origin);
        if (!place.intersects(bounds) || (!plain && !region.intersects(place)))
            continue;
        if (m_beforePaint) {
            // A cap drawn with its light settles its caption before the light draws it.
            if (button->DrawsCover())
                m_beforePaint(*button->Cover());
            m_beforePaint(*button);
        }
        p.setTransform(QTransform::fromTranslate(place.x(), place.y()));
        button->PaintAt(p);
    }
}

} // namespace nk7x
