#include "kinds/KeypadKind.h"

#include "kinds/KeypadPage.h"
#include "panels/pages/DevicePages.h"

#include <cstdio>
#include <string>

namespace nk7x::test {
namespace {

QWidget* MakePage() {
    return new CKeypadPage;
}

} // namespace

bool AddKeypadKind() {
    static const bool added = [] {
        std::string why;
        if (!AddKind(kKeypad, &why)) {
            std::fprintf(stderr, "the keypad kind was refused: %s\n", why.c_str());
            return false;
        }
        return AddDevicePage(CKeypadPage::ClassName(), &MakePage);
    }();
    return added;
}

} // namespace nk7x::test
