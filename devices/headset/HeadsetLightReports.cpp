#include "devices/headset/HeadsetLightReports.h"

#include <algorithm>

#include "devices/headset/HeadsetTables.h"

namespace nk7x {

uint8_t HeadsetColourValue(uint8_t component, uint8_t alpha) {
    const unsigned value = (static_cast<unsigned>(component) * alpha) >> 8;
    return static_cast<uint8_t>(std::min<unsigned>(value, kHeadsetMaxColourValue));
}

HeadsetFrame BuildHeadsetFrame(std::span<const light::Rgba> colours) {
    // values[c][led]: the wire value of colour c (red, green, blue) of each LED.
    std::array<std::array<uint8_t, kHeadsetLedCount>, 3> values{};
    const std::size_t leds = std::min<std::size_t>(colours.size(), kHeadsetLedCount);
    for (std::size_t i = 0; i < leds; ++i) {
        const light::Rgba& c = colours[i];
        values[0][i] = HeadsetColourValue(c.r, c.a);
        values[1][i] = HeadsetColourValue(c.g, c.a);
        values[2][i] = HeadsetColourValue(c.b, c.a);
    }
    HeadsetFrame frame{};
    std::size_t next = 0;
    for (int colour = 0; colour < 3; ++colour) {
        for (const uint8_t bank : {kHeadsetBankA, kHeadsetBankB}) {
            for (int half = 0; half < 2; ++half) {
                HeadsetReport& report = frame[next++];
                report[0] = kHeadsetReportId;
                report[1] = bank;
                report[2] = half == 0 ? kHeadsetFirstHalfCodes[static_cast<std::size_t>(colour)]
                                      : kHeadsetSecondHalfCodes[static_cast<std::size_t>(colour)];
                report[3] = 0;
                const int first = half == 0 ? 0 : kHeadsetFirstHalfLeds;
                const int last = half == 0 ? kHeadsetFirstHalfLeds : kHeadsetLedCount;
                for (int led = first; led < last; ++led)
                    report[static_cast<std::size_t>(4 + led - first)] =
                        values[static_cast<std::size_t>(colour)][static_cast<std::size_t>(led)];
            }
        }
    }
    return frame;
}

} // namespace nk7x
