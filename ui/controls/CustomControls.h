// Makes the program's own controls usable in layouts under their layout class names
// ("DeviceKeyButton", "SelectPanel", ...); the start-up registers them once.
#pragma once

#include <QString>
#include <QStringList>

namespace nk7x {

class ControlFactory;

// Registers every custom control class with the factory (the process-wide one by default).
void RegisterCustomControls(ControlFactory& factory);
void RegisterCustomControls();

// Every layout class name RegisterCustomControls registers.
QStringList CustomControlClassNames();

} // namespace nk7x
