// The device pages a layout can name at its root: the one list of page classes, so that the window
// builds a kind's page from its layout without knowing the kind.
#pragma once

#include <QString>
#include <QWidget>

namespace nk7x {

using DevicePageMaker = QWidget* (*)();

// A new page of the named class ("BrindovaKeyboardDevice", ...; case does not matter), or null when
// no page has that name.
QWidget* CreateDevicePage(const QString& className);

// The page class of a kind added at run time (link/KindDescriptors.h), before the window reads its
// layout; false when the name is taken or empty.
bool AddDevicePage(const QString& className, DevicePageMaker make);

} // namespace nk7x
