#include "tools/sim/HeadsetDescriptor.h"

#include "tools/sim/HeadsetLighting.h"
#include "tools/sim/KeyboardDescriptor.h"
#include "tools/sim/SimDescriptorParts.h"

namespace nk7x {

const std::vector<uint8_t>& HeadsetInterfaceDescriptor() {
    static const std::vector<uint8_t> descriptor = [] {
        // A host may only send an output report through a collection that declares it, so the LED
        // report sits with the command reports. Report size and logical range carry over from them.
        // clang-format off
        const std::vector<uint8_t> lighting = {
            0x85, kSimReportHeadsetLighting, // Report ID (0xFF)
            0x95, 0x10,                      // Report Count (16)
            0x09, 0x03,                      // Usage (3)
            0x91, 0x02,                      // Output (Data, Variable, Absolute)
        };
        // clang-format on
        std::vector<uint8_t> d;
        AppendSystemControlCollection(d, kSimReportSystem);
        AppendKeyboardCollection(d, kSimReportKeyboard);
        AppendConsumerCollection(d);
        AppendVendorCollection(d, lighting);
        return d;
    }();
    return descriptor;
}

} // namespace nk7x
