#include "panels/light/AccessibleColorPalette.h"

#include "panels/light/ColorPaletteUI.h"

#include <QColor>

namespace nk7x {
namespace {

QAccessibleInterface* CreateForPalette(const QString& className, QObject* object) {
    if (className != QLatin1String(CColorPaletteUI::staticMetaObject.className()))
        return nullptr;
    auto* palette = qobject_cast<CColorPaletteUI*>(object);
    return palette ? new AccessibleColorPalette(palette) : nullptr;
}

QString ColourName(uint32_t argb) {
    return QColor::fromRgb(argb & 0xFFFFFFu).name(QColor::HexRgb).toUpper();
}

} // namespace

AccessibleColorPalette::AccessibleColorPalette(CColorPaletteUI* palette)
    : QAccessibleWidget(palette, QAccessible::ColorChooser) {}

CColorPaletteUI* AccessibleColorPalette::Palette() const {
    return static_cast<CColorPaletteUI*>(widget());
}

QString AccessibleColorPalette::text(QAccessible::Text t) const {
    switch (t) {
    case QAccessible::Description: {
        const QString colour = ColourName(Palette()->GetSelectColor());
        const QString more = Palette()->accessibleDescription();
        return more.isEmpty() ? colour : colour + QStringLiteral(", ") + more;
    }
    case QAccessible::Value:
        return ColourName(Palette()->GetSelectColor());
    default:
        return QAccessibleWidget::text(t);
    }
}

void AccessibleColorPalette::setText(QAccessible::Text t, const QString& text) {
    if (t != QAccessible::Value) {
        QAccessibleWidget::setText(t, text);
        return;
    }
    const QColor colour = QColor::fromString(text.trimmed());
    if (!colour.isValid() || !Palette()->isEnabled())
        return;
    Palette()->PickColor(colour.rgb());
}

void AccessibleColorPalette::Install() {
    static const bool installed = [] {
        QAccessible::installFactory(&CreateForPalette);
        return true;
    }();
    (void)installed;
}

} // namespace nk7x
