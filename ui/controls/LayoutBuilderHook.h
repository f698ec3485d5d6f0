// How controls that carry their own layout (the combo-edit list element) get it built: the window
// adapter installs its layout builder here at start-up.
#pragma once

#include <QString>
#include <QWidget>

#include <functional>

namespace nk7x {

// Builds the named layout ("XML\\CustomControlXML\\...") into a new widget owned by `parent`;
// null when the layout cannot be built.
using ControlLayoutBuilder = std::function<QWidget*(const QString& layoutName, QWidget* parent)>;

void SetControlLayoutBuilder(ControlLayoutBuilder builder);
const ControlLayoutBuilder& GetControlLayoutBuilder();

} // namespace nk7x
