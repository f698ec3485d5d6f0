#include "app/LayoutClasses.h"

#include "panels/DeviceOptionUI.h"
#include "panels/MpDevicePowerUI.h"
#include "panels/light/LightControlUI.h"
#include "panels/pages/DevicePages.h"
#include "panels/profile/DeviceProfileUI.h"
#include "ui/ControlFactory.h"
#include "ui/PanelContent.h"
#include "ui/ResourceList.h"
#include "ui/UiWindow.h"

#include <QWidget>

namespace nk7x {
namespace {

// Layout classes whose content is a panel layout of the skin, built with the window as creator.
struct ContentClass {
    const char* layoutClass;
    const char* layout;
};
const ContentClass kContentClasses[] = {
    {"Voice6533SetControlUI", "XML\\CustomControlXML\\Voice6533Control.xml"},
    {"MagicSetControlUI", "XML\\CustomControlXML\\MagicControl.xml"},
    {"KeySetControlUI", "XML\\CustomControlXML\\KeySetControl.xml"},
    {"MacroSetControlUI", "XML\\CustomControlXML\\MacroControl.xml"},
    {"ShootKeySetControlUI", "XML\\CustomControlXML\\ShootControl.xml"},
    {"VirtualSetControlUI", "XML\\CustomControlXML\\VirtualSet.xml"},
};

} // namespace

LayoutClasses::LayoutClasses(UiWindow& window, const ResourceList& resources)
    : m_window(window), m_resources(resources) {}

QWidget* LayoutClasses::BuildPanel(const QString& className, const char* layout) {
    auto is = [&className](const QString& name) { return className.compare(name, Qt::CaseInsensitive) == 0; };
    QWidget* panel = nullptr;
    if (is(CDeviceProfileUI::ClassName()))
        panel = new CDeviceProfileUI;
    else if (is(QString::fromLatin1(kLightControlClass)))
        panel = new CLightControlUI;
    else if (is(CDeviceOptionUI::ClassName()))
        panel = new CDeviceOptionUI;
    else if (is(CMpDevicePowerUI::ClassName()))
        panel = new CMpDevicePowerUI;
    if (!panel)
        return nullptr;
    // A layout whose root names the panel's own class gets a bare panel there, not a second copy
    // of the layout inside it.
    const QString key = className.toLower();
    if (m_filling.count(key))
        return panel;
    m_filling.insert(key);
    const bool filled = FillPanel(m_window, panel, m_resources.Resolve(QString::fromLatin1(layout)));
    m_filling.erase(key);
    if (!filled)
        panel->setProperty("layoutClass", className);
    return panel;
}

QWidget* LayoutClasses::Create(const QString& className) {
    struct PanelClass {
        const char* layoutClass;
        const char* layout;
    };
    static const PanelClass kPanels[] = {
        {"DeviceProfileUI", "XML\\CustomControlXML\\DeviceProfile.xml"},
        {kLightControlClass, kLightControlLayout},
        {"DeviceOption", "XML\\CustomControlXML\\DeviceOption.xml"},
        {"MpDevicePower", "XML\\CustomControlXML\\MpDevicePower.xml"},
    };
    for (const PanelClass& p : kPanels) {
        if (className.compare(QLatin1String(p.layoutClass), Qt::CaseInsensitive) == 0)
            return BuildPanel(className, p.layout);
    }
    // Panels without content of their own.
    if (className.compare(QLatin1String("DeviceProfile"), Qt::CaseInsensitive) == 0)
        return new CDeviceProfileUI;
    if (className.compare(QLatin1String("LightControl"), Qt::CaseInsensitive) == 0)
        return new CLightControlUI;
    if (QWidget* page = CreateDevicePage(className))
        return page;
    for (const ContentClass& c : kContentClasses) {
        if (className.compare(QLatin1String(c.layoutClass), Qt::CaseInsensitive) != 0)
            continue;
        QString path = m_resources.Resolve(QString::fromLatin1(c.layout));
        QWidget* content = path.isEmpty() ? nullptr : m_window.BuildLayout(path, nullptr);
        if (!content) {
            // The panel's layout is not in the skin yet: keep an empty, named place for it.
            content = new QWidget;
            content->setProperty("layoutClass", className);
        }
        return content;
    }
    return ControlFactory::Instance().Create(className, nullptr);
}

} // namespace nk7x
