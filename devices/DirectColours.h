// Colours another program sets LED by LED (the lighting server's direct mode): while held they are
// what the device shows and the page paints, instead of the device's own lighting. Safe from any
// thread: the server sets them, the light thread and the worker read them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>
#include <vector>

namespace nk7x {

struct DirectColour {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    bool operator==(const DirectColour&) const = default;
};

class DirectColours {
  public:
    // Holds `leds` colours from now on: those set before stay, new ones are black. True when they
    // were not held before (the device has just been taken over).
    bool Hold(std::size_t leds);
    // Colours for LEDs first .. first + size - 1 (those past the LEDs held are dropped); holds them.
    void Set(std::size_t first, std::span<const DirectColour> colours);
    // The device's own lighting again; true when they were held.
    bool Release();
    bool Held() const;
    // The colours held (empty when none are) and their generation, which changes with every Set.
    std::vector<DirectColour> Colours(uint64_t* generation = nullptr) const;

  private:
    mutable std::mutex m_mutex;
    std::vector<DirectColour> m_colours;
    bool m_held = false;
    uint64_t m_generation = 0;
};

} // namespace nk7x
