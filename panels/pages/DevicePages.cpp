#include "panels/pages/DevicePages.h"

#include "panels/pages/BrindovaHS6533Device.h"
#include "panels/pages/BrindovaKeyboardDevice.h"
#include "panels/pages/BrindovaMouseDevice.h"
#include "panels/pages/BrindovaMousePadDevice.h"
#include "panels/pages/BrindovaUSBDevice.h"

#include <vector>

namespace nk7x {
namespace {

template <class Page> QWidget* Make() {
    return new Page;
}

struct PageClass {
    QString name;
    DevicePageMaker make;
};

// The page classes of kinds added at run time.
std::vector<PageClass>& AddedPages() {
    static std::vector<PageClass> pages;
    return pages;
}

DevicePageMaker MakerOf(const QString& className) {
    static const PageClass kPages[] = {
        {CBrindovaKeyboardDevice::ClassName(), &Make<CBrindovaKeyboardDevice>},
        {CBrindovaMouseDevice::ClassName(), &Make<CBrindovaMouseDevice>},
        {CBrindovaMousePadDevice::ClassName(), &Make<CBrindovaMousePadDevice>},
        {CBrindovaHS6533Device::ClassName(), &Make<CBrindovaHS6533Device>},
        {CBrindovaUSBDevice::ClassName(), &Make<CBrindovaUSBDevice>},
    };
    for (const PageClass& page : kPages) {
        if (className.compare(page.name, Qt::CaseInsensitive) == 0)
            return page.make;
    }
    for (const PageClass& page : AddedPages()) {
        if (className.compare(page.name, Qt::CaseInsensitive) == 0)
            return page.make;
    }
    return nullptr;
}

} // namespace

QWidget* CreateDevicePage(const QString& className) {
    const DevicePageMaker make = MakerOf(className);
    return make ? make() : nullptr;
}

bool AddDevicePage(const QString& className, DevicePageMaker make) {
    if (className.isEmpty() || !make || MakerOf(className))
        return false;
    AddedPages().push_back({className, make});
    return true;
}

} // namespace nk7x
