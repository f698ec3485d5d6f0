#include "panels/pages/DevicePages.h"

#include "panels/pages/BrindovaHS6533Device.h"
#include "panels/pages/BrindovaKeyboardDevice.h"
#include "panels/pages/BrindovaMouseDevice.h"
#include "panels/pages/BrindovaMousePadDevice.h"
#include "panels/pages/BrindovaUSBDevice.h"

namespace nk7x {
namespace {

template <class Page> QWidget* Make() {
    return new Page;
}

struct PageClass {
    QString name;
    QWidget* (*make)();
};

} // namespace

QWidget* CreateDevicePage(const QString& className) {
    static const PageClass kPages[] = {
        {CBrindovaKeyboardDevice::ClassName(), &Make<CBrindovaKeyboardDevice>},
        {CBrindovaMouseDevice::ClassName(), &Make<CBrindovaMouseDevice>},
        {CBrindovaMousePadDevice::ClassName(), &Make<CBrindovaMousePadDevice>},
        {CBrindovaHS6533Device::ClassName(), &Make<CBrindovaHS6533Device>},
        {CBrindovaUSBDevice::ClassName(), &Make<CBrindovaUSBDevice>},
    };
    for (const PageClass& page : kPages) {
        if (className.compare(page.name, Qt::CaseInsensitive) == 0)
            return page.make();
    }
    return nullptr;
}

} // namespace nk7x
