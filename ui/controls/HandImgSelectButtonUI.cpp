#include "ui/controls/HandImgSelectButtonUI.h"

#include "ui/UiNotify.h"
#include "ui/controls/SkinImage.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <utility>

namespace nk7x {

CHandImgSelectButtonUI::CHandImgSelectButtonUI(QWidget* parent) : QPushButton(parent) {
    // The window's wiring leaves custom controls alone: they raise their own notifications.
    connect(this, &QAbstractButton::clicked, this, [this] { RaiseNotify(this, QStringLiteral("click")); });
}

std::optional<Qt::CursorShape> CHandImgSelectButtonUI::CursorShapeForName(const QString& name) {
    static const std::pair<const char*, Qt::CursorShape> kCursors[] = {
        {"arrow", Qt::ArrowCursor},    {"ibeam", Qt::IBeamCursor},        {"wait", Qt::WaitCursor},
        {"cross", Qt::CrossCursor},    {"uparrow", Qt::UpArrowCursor},    {"size", Qt::SizeAllCursor},
        {"icon", Qt::ArrowCursor},     {"sizenwse", Qt::SizeFDiagCursor}, {"sizenesw", Qt::SizeBDiagCursor},
        {"sizewe", Qt::SizeHorCursor}, {"sizens", Qt::SizeVerCursor},     {"sizeall", Qt::SizeAllCursor},
        {"no", Qt::ForbiddenCursor},   {"hand", Qt::PointingHandCursor},
    };
    const QString n = name.trimmed();
    for (const auto& [cursorName, shape] : kCursors) {
        if (n.compare(QLatin1String(cursorName), Qt::CaseInsensitive) == 0)
            return shape;
    }
    return std::nullopt;
}

void CHandImgSelectButtonUI::SetCursorName(const QString& name) {
    const auto shape = CursorShapeForName(name);
    if (!shape)
        return; // an unknown name keeps the cursor as it is
    m_cursorName = name.trimmed().toLower();
    setCursor(*shape);
}

bool CHandImgSelectButtonUI::SetAttribute(const QString& name, const QString& value) {
    if (name.compare(QLatin1String("handimage"), Qt::CaseInsensitive) == 0) {
        SetHandImage(value);
        return true;
    }
    if (name.compare(QLatin1String("cursor"), Qt::CaseInsensitive) == 0) {
        SetCursorName(value);
        return true;
    }
    return false;
}

void CHandImgSelectButtonUI::SetHandImage(const QString& image) {
    m_handImage = image;
    ImageString look;
    m_file.clear();
    m_imageSize = QSize();
    if (ParseImageString(image, &look)) {
        m_file = look.file;
        if (const auto img = SkinImage::Load(look.file))
            m_imageSize = img->Size();
    }
    m_source = EdgeRect{};
    RebuildSource();
}

void CHandImgSelectButtonUI::RebuildSource() {
    const int iw = m_imageSize.width();
    const int ih = m_imageSize.height();
    m_cropped = iw > 0 && ih > 0 && (width() < iw || height() < ih);
    if (m_cropped) {
        // Keep the part's corner where panning left it, sized as the control, inside the image.
        const int w = std::min(width(), iw);
        const int h = std::min(height(), ih);
        const int left = std::clamp(m_source.left, 0, iw - w);
        const int top = std::clamp(m_source.top, 0, ih - h);
        m_source = EdgeRect{left, top, left + w, top + h};
    } else {
        m_source = EdgeRect{0, 0, iw, ih};
    }
    RebuildString();
}

void CHandImgSelectButtonUI::RebuildString() {
    m_drawn = m_cropped ? FormatSourceImageString(m_file, m_source) : m_handImage;
    update();
}

void CHandImgSelectButtonUI::PanBy(int dx, int dy) {
    if (!m_cropped)
        return;
    const int w = m_source.Width();
    const int h = m_source.Height();
    const int left = std::clamp(m_source.left - dx, 0, std::max(0, m_imageSize.width() - w));
    const int top = std::clamp(m_source.top - dy, 0, std::max(0, m_imageSize.height() - h));
    const EdgeRect moved{left, top, left + w, top + h};
    if (moved == m_source)
        return;
    m_source = moved;
    RebuildString();
}

void CHandImgSelectButtonUI::paintEvent(QPaintEvent* event) {
    QPushButton::paintEvent(event);
    if (m_drawn.isEmpty())
        return;
    QPainter p(this);
    DrawImageString(p, rect(), m_drawn);
}

void CHandImgSelectButtonUI::resizeEvent(QResizeEvent* event) {
    QPushButton::resizeEvent(event);
    if (!m_handImage.isEmpty())
        RebuildSource();
}

void CHandImgSelectButtonUI::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && isEnabled() && rect().contains(event->position().toPoint())) {
        m_panning = true;
        m_ref = event->position().toPoint();
    }
    QPushButton::mousePressEvent(event);
}

void CHandImgSelectButtonUI::mouseMoveEvent(QMouseEvent* event) {
    if (m_panning) {
        const QPoint pt = event->position().toPoint();
        PanBy(pt.x() - m_ref.x(), pt.y() - m_ref.y());
        m_ref = pt;
    }
    QPushButton::mouseMoveEvent(event);
}

void CHandImgSelectButtonUI::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        m_panning = false;
    QPushButton::mouseReleaseEvent(event);
}

void CHandImgSelectButtonUI::enterEvent(QEnterEvent* event) {
    QPushButton::enterEvent(event);
    if (isEnabled() && !m_entered) {
        m_entered = true;
        RaiseNotify(this, QStringLiteral("msenter"));
    }
}

void CHandImgSelectButtonUI::leaveEvent(QEvent* event) {
    QPushButton::leaveEvent(event);
    if (m_entered) {
        m_entered = false;
        RaiseNotify(this, QStringLiteral("msleave"));
    }
}

} // namespace nk7x
