// Turns SIGINT and SIGTERM into a call on the UI thread, so the program shuts down the same way as
// through its own exit instead of dying in the middle of a transfer.
#pragma once

#include <QObject>

#include <functional>

namespace nk7x {

// Installs the handlers once; `onQuit` runs on the thread that owns `context`, once per signal.
bool InstallQuitSignals(QObject* context, std::function<void()> onQuit);

} // namespace nk7x
