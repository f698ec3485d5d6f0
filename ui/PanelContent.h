// Gives a panel control (a container class of the program) the content of its layout file, built by
// the window that hosts it so that the content's notifications reach that window.
#pragma once

#include <QString>
#include <QWidget>

namespace nk7x {

class UiWindow;

// Builds `layoutPath` into `panel` as its only child, filling it without margins. False (the panel
// stays empty) when the file is missing or unreadable.
bool FillPanel(UiWindow& window, QWidget* panel, const QString& layoutPath);

} // namespace nk7x
