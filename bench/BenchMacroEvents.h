// Recorded-looking macro events for the macro benchmarks: presses and releases of A, B, C... with
// delays, as a recording leaves them.
#pragma once

#include "macros/MacroEvent.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace nk7x {

inline std::vector<MacroEvent> TypedEvents(std::size_t count) {
    std::vector<MacroEvent> events;
    events.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
        events.push_back(MacroEvent{i % 2 == 0, static_cast<int>(MacroEventType::KeyboardKey),
                                    static_cast<uint8_t>(0x04 + (i / 2) % 26),
                                    static_cast<uint16_t>(i % 300)});
    return events;
}

} // namespace nk7x
