#include "tools/sim/MouseDescriptor.h"

namespace nk7x {

namespace {
// clang-format off
void AppendMouseCollection(std::vector<uint8_t>& out) {
    const std::initializer_list<uint8_t> bytes = {
        0x05, 0x01,            // Usage Page (Generic Desktop)
        0x09, 0x02,            // Usage (Mouse)
        0xA1, 0x01,            // Collection (Application)
        0x85, kSimReportMouse, //   Report ID (1)
        0x09, 0x01,            //   Usage (Pointer)
        0xA1, 0x00,            //   Collection (Physical)
        0x05, 0x09,            //     Usage Page (Buttons)
        0x19, 0x01,            //     Usage Minimum (1)
        0x29, 0x05,            //     Usage Maximum (5)
        0x15, 0x00,            //     Logical Minimum (0)
        0x25, 0x01,            //     Logical Maximum (1)
        0x75, 0x01,            //     Report Size (1)
        0x95, 0x05,            //     Report Count (5)
        0x81, 0x02,            //     Input (Data, Variable, Absolute)
        0x75, 0x03,            //     Report Size (3)
        0x95, 0x01,            //     Report Count (1)
        0x81, 0x01,            //     Input (Constant)
        0x05, 0x01,            //     Usage Page (Generic Desktop)
        0x09, 0x30,            //     Usage (X)
        0x09, 0x31,            //     Usage (Y)
        0x16, 0x01, 0x80,      //     Logical Minimum (-32767)
        0x26, 0xFF, 0x7F,      //     Logical Maximum (32767)
        0x75, 0x10,            //     Report Size (16)
        0x95, 0x02,            //     Report Count (2)
        0x81, 0x06,            //     Input (Data, Variable, Relative)
        0x09, 0x38,            //     Usage (Wheel)
        0x15, 0x81,            //     Logical Minimum (-127)
        0x25, 0x7F,            //     Logical Maximum (127)
        0x75, 0x08,            //     Report Size (8)
        0x95, 0x01,            //     Report Count (1)
        0x81, 0x06,            //     Input (Data, Variable, Relative)
        0xC0,                  //   End Collection
        0xC0,                  // End Collection
    };
    out.insert(out.end(), bytes.begin(), bytes.end());
}
// clang-format on
} // namespace

const std::vector<uint8_t>& MouseInterfaceDescriptor() {
    static const std::vector<uint8_t> descriptor = [] {
        std::vector<uint8_t> d;
        AppendMouseCollection(d);
        AppendKeyboardCollection(d, kSimReportMouseKeys);
        AppendConsumerCollection(d);
        AppendVendorCollection(d);
        return d;
    }();
    return descriptor;
}

} // namespace nk7x
