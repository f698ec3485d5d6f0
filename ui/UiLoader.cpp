#include "ui/UiLoader.h"

#include "platform/DebugLog.h"

#include <QWidget>

namespace nk7x {

UiLoader::UiLoader(Hook hook, QObject* parent) : QUiLoader(parent), m_hook(std::move(hook)) {}

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
