// The controls the main window's layouts name by class: the panels filled from a layout file of
// their own (profile, lighting, device options, power), the device pages, the editors' content read
// from the skin, and the toolkit's controls for every other class.
#pragma once

#include <QString>

#include <set>

class QWidget;

namespace nk7x {

class ResourceList;
class UiWindow;

class LayoutClasses {
  public:
    // `window` builds every layout made here, so that their controls' notifications reach it.
    LayoutClasses(UiWindow& window, const ResourceList& resources);

    // The control for a layout class (the toolkit's factory for the classes not named here).
    QWidget* Create(const QString& className);

  private:
    QWidget* BuildPanel(const QString& className, const char* layout);

    UiWindow& m_window;
    const ResourceList& m_resources;
    std::set<QString> m_filling; // panel classes whose layout is being built
};

} // namespace nk7x
