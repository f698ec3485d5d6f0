// What assistive technology sees of the lighting panel's colour field: a colour chooser named as
// the window's language calls it, described and valued by the colour picked as "#RRGGBB". A value
// set as "#RRGGBB" picks that colour's place in the field as a click there would, so the panel
// hears of it as of a pick by the user.
#pragma once

#include <QAccessibleWidget>

namespace nk7x {

class CColorPaletteUI;

class AccessibleColorPalette : public QAccessibleWidget {
  public:
    explicit AccessibleColorPalette(CColorPaletteUI* palette);

    QString text(QAccessible::Text t) const override;
    void setText(QAccessible::Text t, const QString& text) override;

    // Lets Qt's accessibility build this interface for every colour field; safe to call again.
    static void Install();

  private:
    CColorPaletteUI* Palette() const;
};

} // namespace nk7x
