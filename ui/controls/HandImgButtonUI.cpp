#include "ui/controls/HandImgButtonUI.h"

#include "ui/UiNotify.h"
#include "ui/controls/SkinImage.h"

#include <QPainter>

namespace nk7x {

CHandImgButtonUI::CHandImgButtonUI(QWidget* parent) : QPushButton(parent) {
    // The window's wiring leaves custom controls alone: they raise their own notifications.
    connect(this, &QAbstractButton::clicked, this, [this] { RaiseNotify(this, QStringLiteral("click")); });
}

void CHandImgButtonUI::SetHandImage(const QString& image) {
    m_handImage = image;
    update();
}

bool CHandImgButtonUI::SetAttribute(const QString& name, const QString& value) {
    if (name.compare(QLatin1String("handimage"), Qt::CaseInsensitive) == 0)
        SetHandImage(value);
    else if (name.compare(QLatin1String("deletenormalimage"), Qt::CaseInsensitive) == 0)
        SetDeleteNormalImage(value);
    else if (name.compare(QLatin1String("deletehotimage"), Qt::CaseInsensitive) == 0)
        SetDeleteHotImage(value);
    else
        return false;
    return true;
}

void CHandImgButtonUI::paintEvent(QPaintEvent* event) {
    QPushButton::paintEvent(event);
    if (m_handImage.isEmpty())
        return;
    QPainter p(this);
    DrawImageString(p, rect(), m_handImage);
}

void CHandImgButtonUI::enterEvent(QEnterEvent* event) {
    QPushButton::enterEvent(event);
    if (isEnabled() && !m_entered) {
        m_entered = true;
        RaiseNotify(this, QStringLiteral("msenter"));
    }
}

void CHandImgButtonUI::leaveEvent(QEvent* event) {
    QPushButton::leaveEvent(event);
    if (m_entered) {
        m_entered = false;
        RaiseNotify(this, QStringLiteral("msleave"));
    }
}

} // namespace nk7x
