#include "tools/sim/SimDescriptorParts.h"

namespace nk7x {

namespace {
void Append(std::vector<uint8_t>& out, std::initializer_list<uint8_t> bytes) {
    out.insert(out.end(), bytes.begin(), bytes.end());
}
} // namespace

// clang-format off
void AppendSystemControlCollection(std::vector<uint8_t>& out, uint8_t reportId) {
    // Power down, sleep, wake up.
    Append(out, {
        0x05, 0x01,       // Usage Page (Generic Desktop)
        0x09, 0x80,       // Usage (System Control)
        0xA1, 0x01,       // Collection (Application)
        0x85, reportId,   //   Report ID
        0x19, 0x81,       //   Usage Minimum (0x81)
        0x29, 0x83,       //   Usage Maximum (0x83)
        0x15, 0x00,       //   Logical Minimum (0)
        0x25, 0x01,       //   Logical Maximum (1)
        0x75, 0x01,       //   Report Size (1)
        0x95, 0x03,       //   Report Count (3)
        0x81, 0x02,       //   Input (Data, Variable, Absolute)
        0x95, 0x05,       //   Report Count (5)
        0x81, 0x01,       //   Input (Constant)
        0xC0,             // End Collection
    });
}

void AppendKeyboardCollection(std::vector<uint8_t>& out, uint8_t reportId) {
    // Modifiers, reserved byte, six key slots; lock-key LEDs out.
    Append(out, {
        0x05, 0x01,       // Usage Page (Generic Desktop)
        0x09, 0x06,       // Usage (Keyboard)
        0xA1, 0x01,       // Collection (Application)
        0x85, reportId,   //   Report ID
        0x05, 0x07,       //   Usage Page (Keyboard)
        0x19, 0xE0,       //   Usage Minimum (Left Control)
        0x29, 0xE7,       //   Usage Maximum (Right GUI)
        0x15, 0x00,       //   Logical Minimum (0)
        0x25, 0x01,       //   Logical Maximum (1)
        0x75, 0x01,       //   Report Size (1)
        0x95, 0x08,       //   Report Count (8)
        0x81, 0x02,       //   Input (Data, Variable, Absolute)
        0x95, 0x01,       //   Report Count (1)
        0x75, 0x08,       //   Report Size (8)
        0x81, 0x01,       //   Input (Constant)
        0x19, 0x00,       //   Usage Minimum (0)
        0x2A, 0xFF, 0x00, //   Usage Maximum (255)
        0x15, 0x00,       //   Logical Minimum (0)
        0x26, 0xFF, 0x00, //   Logical Maximum (255)
        0x75, 0x08,       //   Report Size (8)
        0x95, 0x06,       //   Report Count (6)
        0x81, 0x00,       //   Input (Data, Array, Absolute)
        0x05, 0x08,       //   Usage Page (LEDs)
        0x19, 0x01,       //   Usage Minimum (Num Lock)
        0x29, 0x05,       //   Usage Maximum (Kana)
        0x15, 0x00,       //   Logical Minimum (0)
        0x25, 0x01,       //   Logical Maximum (1)
        0x75, 0x01,       //   Report Size (1)
        0x95, 0x05,       //   Report Count (5)
        0x91, 0x02,       //   Output (Data, Variable, Absolute)
        0x75, 0x03,       //   Report Size (3)
        0x95, 0x01,       //   Report Count (1)
        0x91, 0x01,       //   Output (Constant)
        0xC0,             // End Collection
    });
}

void AppendConsumerCollection(std::vector<uint8_t>& out) {
    // One 16-bit usage; the device also announces its own changes here.
    Append(out, {
        0x05, 0x0C,               // Usage Page (Consumer)
        0x09, 0x01,               // Usage (Consumer Control)
        0xA1, 0x01,               // Collection (Application)
        0x85, kSimReportConsumer, //   Report ID (3)
        0x19, 0x00,               //   Usage Minimum (0)
        0x2A, 0xFF, 0x0F,         //   Usage Maximum (0x0FFF)
        0x15, 0x00,               //   Logical Minimum (0)
        0x26, 0xFF, 0x0F,         //   Logical Maximum (0x0FFF)
        0x75, 0x10,               //   Report Size (16)
        0x95, 0x01,               //   Report Count (1)
        0x81, 0x00,               //   Input (Data, Array, Absolute)
        0xC0,                     // End Collection
    });
}

void AppendVendorCollection(std::vector<uint8_t>& out, const std::vector<uint8_t>& moreReports) {
    // 63 data bytes each way.
    Append(out, {
        0x06, 0x1C, 0xFF,         // Usage Page (0xFF1C)
        0x09, 0x92,               // Usage (0x92)
        0xA1, 0x01,               // Collection (Application)
        0x85, kSimReportVendor,   //   Report ID (4)
        0x15, 0x00,               //   Logical Minimum (0)
        0x26, 0xFF, 0x00,         //   Logical Maximum (255)
        0x75, 0x08,               //   Report Size (8)
        0x95, 0x3F,               //   Report Count (63)
        0x09, 0x01,               //   Usage (1)
        0x81, 0x02,               //   Input (Data, Variable, Absolute)
        0x95, 0x3F,               //   Report Count (63)
        0x09, 0x02,               //   Usage (2)
        0x91, 0x02,               //   Output (Data, Variable, Absolute)
    });
    out.insert(out.end(), moreReports.begin(), moreReports.end());
    Append(out, {
        0xC0,                     // End Collection
    });
}
// clang-format on

} // namespace nk7x
