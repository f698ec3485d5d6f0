// The device pages a layout can name at its root: the one list of page classes, so that the window
// builds a kind's page from its layout without knowing the kind.
#pragma once

#include <QString>
#include <QWidget>

namespace nk7x {

// A new page of the named class ("BrindovaKeyboardDevice", ...; case does not matter), or null when
// no page has that name.
QWidget* CreateDevicePage(const QString& className);

} // namespace nk7x
