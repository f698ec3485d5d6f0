// Shared helpers of the light engine tests: light settings and a keyboard engine on a manual clock.
#pragma once

#include <cstdint>
#include <set>

#include "devices/light/KeyboardLightEngine.h"
#include "devices/light/LightClock.h"

namespace nk7x::light::test {

inline LightState Settings(uint8_t mode, uint8_t brightness = 4, uint8_t speed = 0, bool forwards = true,
                           bool multi = false, Rgb colour = {255, 255, 255}) {
    LightState s;
    s.mode = mode;
    s.brightness = brightness;
    s.speed = speed;
    s.direction = forwards ? 1 : 0;
    s.multiColor = multi ? 1 : 0;
    s.red = colour.r;
    s.green = colour.g;
    s.blue = colour.b;
    return s;
}

// Keys whose intensity equals `value`.
inline std::set<int> KeysAt(const KeyboardLightEngine& e, uint8_t value) {
    std::set<int> out;
    for (int k = 0; k < 126; ++k)
        if (e.Intensity(static_cast<std::size_t>(k)) == value)
            out.insert(k);
    return out;
}

} // namespace nk7x::light::test
