#include "ui/controls/AccessibleKeyButton.h"

#include "ui/controls/DeviceKeyButtonUI.h"
#include "ui/controls/LiveColor.h"

#include <QAccessibleActionInterface>

namespace nk7x {
namespace {

QAccessibleInterface* CreateForKeyButton(const QString& className, QObject* object) {
    if (className != QLatin1String(CDeviceKeyButtonUI::staticMetaObject.className()))
        return nullptr;
    auto* button = qobject_cast<CDeviceKeyButtonUI*>(object);
    return button ? new AccessibleKeyButton(button) : nullptr;
}

QString ColourName(const CDeviceKeyButtonUI& light) {
    return LiveColorToQColor(light.LiveColor()).name(QColor::HexRgb).toUpper();
}

} // namespace

AccessibleKeyButton::AccessibleKeyButton(CDeviceKeyButtonUI* button)
    : QAccessibleWidget(button, QAccessible::Button) {}

CDeviceKeyButtonUI* AccessibleKeyButton::Button() const {
    return static_cast<CDeviceKeyButtonUI*>(widget());
}

QString AccessibleKeyButton::text(QAccessible::Text t) const {
    CDeviceKeyButtonUI* button = Button();
    switch (t) {
    case QAccessible::Name: {
        QString name = button->accessibleName();
        if (name.isEmpty())
            name = button->text();
        return name;
    }
    case QAccessible::Description: {
        // A cap shows the colour of the LED under it; an LED its own.
        const CDeviceKeyButtonUI* light = button->CoveredLight() ? button->CoveredLight() : button;
        const QString colour = light->IsLightShown() ? ColourName(*light) : QString();
        const QString more = button->accessibleDescription();
        if (more.isEmpty())
            return colour;
        return colour.isEmpty() ? more : colour + QStringLiteral(", ") + more;
    }
    default:
        return QAccessibleWidget::text(t);
    }
}

QAccessible::State AccessibleKeyButton::state() const {
    QAccessible::State s = QAccessibleWidget::state();
    if (widget()->size().isEmpty()) {
        s.invisible = true;
        s.offscreen = true;
    }
    return s;
}

QStringList AccessibleKeyButton::actionNames() const {
    QStringList names = QAccessibleWidget::actionNames();
    if (widget()->isEnabled())
        names.prepend(pressAction());
    return names;
}

void AccessibleKeyButton::doAction(const QString& actionName) {
    CDeviceKeyButtonUI* button = Button();
    if (actionName != pressAction()) {
        QAccessibleWidget::doAction(actionName);
        return;
    }
    if (!button->isEnabled())
        return;
    // An LED lets the pointer through to the cap above it; pressed here it does the same.
    CDeviceKeyButtonUI* target =
        button->Cover() && button->testAttribute(Qt::WA_TransparentForMouseEvents) ? button->Cover() : button;
    target->click();
}

void AccessibleKeyButton::Install() {
    static const bool installed = [] {
        QAccessible::installFactory(&CreateForKeyButton);
        return true;
    }();
    (void)installed;
}

} // namespace nk7x
