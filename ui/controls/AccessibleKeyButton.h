// What assistive technology sees of a key or LED of a device picture: a button named by its caption
// (an LED by its key and the word for lighting, set by ui/AccessibleNames), described by the key's
// live colour as "#RRGGBB", and pressed as a click presses it. The picture draws the buttons in its
// own pass, so the colour is read from the button at the moment it is asked for.
#pragma once

#include <QAccessibleWidget>

namespace nk7x {

class CDeviceKeyButtonUI;

class AccessibleKeyButton : public QAccessibleWidget {
  public:
    explicit AccessibleKeyButton(CDeviceKeyButtonUI* button);

    QString text(QAccessible::Text t) const override;
    // A key the board has no place for (no size) is not shown to the user.
    QAccessible::State state() const override;
    QStringList actionNames() const override;
    void doAction(const QString& actionName) override;

    // Lets Qt's accessibility build this interface for every key button; safe to call again.
    static void Install();

  private:
    CDeviceKeyButtonUI* Button() const;
};

} // namespace nk7x
