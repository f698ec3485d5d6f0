// Popup menus described in the skin: <Menu><Item name="exit" textKey="..."/><Separator/></Menu>.
#pragma once

#include <QMenu>
#include <QString>

#include <functional>
#include <memory>

namespace nk7x {

// Builds the menu from the file; each action is named by its item name and carries its text key.
// Choosing an item calls onChoice with that name. Null when the file is missing or malformed.
std::unique_ptr<QMenu> BuildMenu(const QString& path, std::function<void(const QString& item)> onChoice);

} // namespace nk7x
