#include "tools/sim/HeadsetLighting.h"

namespace nk7x {

bool IsSimHeadsetLightingReport(const uint8_t* message, size_t size) {
    return size == kSimHeadsetLightingReportBytes && message[0] == kSimReportHeadsetLighting;
}

bool ApplySimHeadsetLightingReport(SimHeadsetFrame& frame, const uint8_t* report) {
    ++frame.reports;
    const uint8_t bankByte = report[1];
    const uint8_t code = report[2];
    if ((bankByte != kSimHeadsetBank22 && bankByte != kSimHeadsetBank44) || code < kSimHeadsetFirstCode ||
        code > kSimHeadsetLastCode) {
        ++frame.refused;
        return false;
    }
    auto& bank = bankByte == kSimHeadsetBank22 ? frame.bank22 : frame.bank44;
    const size_t colour = (code - kSimHeadsetFirstCode) % 3; // 0 red, 1 green, 2 blue
    const bool secondHalf = code - kSimHeadsetFirstCode >= 3;
    const size_t first = secondHalf ? kSimHeadsetFirstHalfLeds : 0;
    const size_t end = secondHalf ? kSimHeadsetLedCount : kSimHeadsetFirstHalfLeds;
    for (size_t led = first; led < end; ++led)
        bank[led * 3 + colour] = report[kSimHeadsetValuesAt + led - first];
    return true;
}

} // namespace nk7x
