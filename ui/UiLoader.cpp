#include "ui/UiLoader.h"

#include "platform/DebugLog.h"

#include <QCoreApplication>
#include <QStringList>
#include <QWidget>

namespace nk7x {

namespace {

// The loader's base loads every Designer plugin on the library paths as it is made; one of them
// brings Qt Quick and QML along (megabytes resident, time at every layout). No layout names a
// plugin's class, so the paths are empty while the base is made and given back at once after.
QStringList g_hiddenPaths;

QObject* HideLibraryPaths(QObject* parent) {
    g_hiddenPaths = QCoreApplication::libraryPaths();
    QCoreApplication::setLibraryPaths({});
    return parent;
}

} // namespace

UiLoader::UiLoader(Hook hook, QObject* parent)
    : QUiLoader(HideLibraryPaths(parent)), m_hook(std::move(hook)) {
    QCoreApplication::setLibraryPaths(g_hiddenPaths);
    g_hiddenPaths.clear();
}

QWidget* UiLoader::createWidget(const QString& className, QWidget* parent, const QString& name) {
    if (m_hook) {
        if (QWidget* w = m_hook(className, parent)) {
            if (w->parentWidget() != parent)
                w->setParent(parent);
            w->setObjectName(name);
            m_custom.insert(w);
            return w;
        }
    }
    if (availableWidgets().contains(className)) {
        if (QWidget* w = QUiLoader::createWidget(className, parent, name))
            return w;
    }
    // An unknown class keeps its place (and name) in the layout as an empty container.
    DebugLogf("layout class %s unknown, empty container used for %s", className.toUtf8().constData(),
              name.toUtf8().constData());
    auto* w = new QWidget(parent);
    w->setObjectName(name);
    w->setProperty("layoutClass", className);
    return w;
}

} // namespace nk7x
