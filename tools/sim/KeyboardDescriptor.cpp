#include "tools/sim/KeyboardDescriptor.h"

namespace nk7x {

const std::vector<uint8_t>& KeyboardInterfaceDescriptor() {
    static const std::vector<uint8_t> descriptor = [] {
        std::vector<uint8_t> d;
        AppendSystemControlCollection(d, kSimReportSystem);
        AppendKeyboardCollection(d, kSimReportKeyboard);
        AppendConsumerCollection(d);
        AppendVendorCollection(d);
        return d;
    }();
    return descriptor;
}

} // namespace nk7x
